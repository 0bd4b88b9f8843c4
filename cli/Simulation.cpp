#include "Simulation.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "TarnikSim.h"
#include "Values.h"

namespace {

using tarnik::sim::Fault;
using tarnik::sim::FaultKind;

bool ReadInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// KIND[:MNEMONIC[:COUNT]]; "" when the text names a fault.
std::string ParseFault(const std::string& text, Fault& fault) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() > 3) return "'" + text + "' is not KIND[:MNEMONIC[:COUNT]]";

    std::string kind = parts[0];
    std::transform(kind.begin(), kind.end(), kind.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (kind == "silence") {
        fault.kind = FaultKind::Silence;
    } else if (kind == "late") {
        fault.kind = FaultKind::LateFirstByte;
    } else if (kind == "cut") {
        fault.kind = FaultKind::CutAnswer;
    } else if (kind == "garbage") {
        fault.kind = FaultKind::Garbage;
    } else if (kind == "nul") {
        fault.kind = FaultKind::NulInAnswer;
    } else if (kind == "overlong") {
        fault.kind = FaultKind::Overlong;
    } else if (kind == "bad-man") {
        fault.kind = FaultKind::NonNumericMan;
    } else if (kind == "vanish") {
        fault.kind = FaultKind::PortVanishes;
    } else if (kind.rfind("nak", 0) == 0) {
        fault.kind = FaultKind::Nak;
        long long code = 3;
        if (kind.size() > 3 && (kind[3] != '=' || !ReadInt(kind.substr(4), 0, 99, code))) {
            return "'" + parts[0] + "': a rejection is nak or nak=CODE (0-99)";
        }
        fault.nakCode = static_cast<int>(code);
    } else {
        return "'" + parts[0] +
               "' is no fault (silence, late, cut, garbage, nul, overlong, nak[=CODE], bad-man, vanish)";
    }

    if (parts.size() > 1) {
        std::string mnemonic = parts[1];
        std::transform(mnemonic.begin(), mnemonic.end(), mnemonic.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        fault.mnemonic = mnemonic == "*" ? "" : mnemonic;
    }
    if (parts.size() > 2) {
        long long count = 0;
        if (!ReadInt(parts[2], -1, 1000000, count) || count == 0) {
            return "'" + parts[2] + "' is no count (a positive number, or -1 for every matching request)";
        }
        fault.count = static_cast<int>(count);
    }
    return "";
}

std::string Printable(const std::string& bytes) {
    std::string text;
    for (const unsigned char c : bytes) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            static const char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 15];
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

}  // namespace

std::string Simulation::Check(const SimulationOptions& options) {
    int baud = 0, dataBits = 0, parity = 0, stopBits = 0;
    std::string problem = ParseLine(options.line, baud, dataBits, parity, stopBits);
    if (!problem.empty()) return "--sim-line: " + problem;
    long long number = 0;
    if (!options.serial.empty() && !ReadInt(options.serial, 0, 999999999, number)) {
        return "--sim-serial: '" + options.serial + "' is out of range (0-999999999)";
    }
    if (!options.storedMode.empty() && !ReadInt(options.storedMode, 0, 2, number)) {
        return "--sim-stored-mode: '" + options.storedMode + "' is not 0, 1 or 2";
    }
    for (const std::string& text : options.faults) {
        Fault fault;
        problem = ParseFault(text, fault);
        if (!problem.empty()) return "--sim-fault: " + problem;
    }
    for (const std::string& text : options.changeFaults) {
        Fault fault;
        problem = ParseFault(text, fault);
        if (!problem.empty()) return "--sim-change-fault: " + problem;
    }
    return "";
}

Simulation::Simulation(const std::string& portName, const SimulationOptions& options, KvClock& clock)
    : changeFaults_(options.changeFaults) {
    tarnik::sim::ModuleConfig config;
    int baud = 0, dataBits = 0, parity = 0, stopBits = 0;
    ParseLine(options.line, baud, dataBits, parity, stopBits);
    config.line.baud = static_cast<std::uint32_t>(baud);
    config.line.dataBits = static_cast<char>(dataBits);
    config.line.parity = static_cast<char>(parity);
    config.line.stopBits = static_cast<char>(stopBits);
    long long number = 0;
    if (ReadInt(options.serial, 0, 999999999, number)) config.serialNumber = static_cast<std::uint32_t>(number);
    if (!options.version.empty()) config.version = options.version;
    config.fixedPins = options.fixedPins;
    if (ReadInt(options.storedMode, 0, 2, number)) config.storedMode = static_cast<int>(number);

    port_ = std::make_unique<tarnik::sim::SimulatedPort>(portName, config, clock, true);
    for (const std::string& text : options.faults) {
        Fault fault;
        ParseFault(text, fault);
        port_->module().InjectFault(fault);
    }
}

Simulation::~Simulation() = default;

void Simulation::ArmChangeFaults() {
    for (const std::string& text : changeFaults_) {
        Fault fault;
        ParseFault(text, fault);
        port_->module().InjectFault(fault);
    }
    changeFaults_.clear();
}

void Simulation::PrintLog(std::FILE* out) const {
    for (const tarnik::sim::Exchange& exchange : port_->module().Log()) {
        std::fprintf(out, "sim: %s -> %s\n", Printable(exchange.request).c_str(),
                     exchange.answer.empty() ? "(silence)" : Printable(exchange.answer).c_str());
    }
}
