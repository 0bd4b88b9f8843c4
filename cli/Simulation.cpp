#include "Simulation.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

#include "DeviceSettings.h"
#include "KvDevice.h"
#include "Language.h"
#include "TarnikSim.h"
#include "Values.h"

namespace {

using tarnik::sim::Fault;
using tarnik::sim::ParseFault;

bool ReadInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
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

SimulationOptions NextModuleOptions(const SimulationOptions& options) {
    SimulationOptions next;
    long long number = 123456789;
    if (!options.serial.empty()) ReadInt(options.serial, 0, KvDevice::kLastSerialNumber, number);
    next.serial = std::to_string(number >= KvDevice::kLastSerialNumber ? 0 : number + 1);
    next.version = options.version;
    next.log = options.log;
    return next;
}

std::string Simulation::Check(const SimulationOptions& options) {
    int baud = 0, dataBits = 0, parity = 0, stopBits = 0;
    std::string problem = ParseLine(options.line, baud, dataBits, parity, stopBits);
    if (!problem.empty()) return "--sim-line: " + problem;
    long long number = 0;
    if (!options.serial.empty() && !ReadInt(options.serial, 0, KvDevice::kLastSerialNumber, number)) {
        return TrFormat("--sim-serial: '%s' is out of range (0-%s)", options.serial.c_str(),
                        std::to_string(KvDevice::kLastSerialNumber).c_str());
    }
    if (!options.storedMode.empty() && !ReadInt(options.storedMode, 0, 2, number)) {
        return TrFormat("--sim-stored-mode: '%s' is not 0, 1 or 2", options.storedMode.c_str());
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
    tarnik::sim::ModuleConfig previous, next;
    std::vector<Fault> faults;
    for (const std::string& text : options.swaps) {
        problem = tarnik::sim::ParseSwap(text, previous, next, faults);
        if (!problem.empty()) return "--sim-swap: " + problem;
    }
    return "";
}

Simulation::Simulation(const std::string& portName, const SimulationOptions& options, KvClock& clock)
    : changeFaults_(options.changeFaults), swaps_(options.swaps) {
    tarnik::sim::ModuleConfig config;
    int baud = 0, dataBits = 0, parity = 0, stopBits = 0;
    ParseLine(options.line, baud, dataBits, parity, stopBits);
    config.line.baud = static_cast<std::uint32_t>(baud);
    config.line.dataBits = static_cast<char>(dataBits);
    config.line.parity = static_cast<char>(parity);
    config.line.stopBits = static_cast<char>(stopBits);
    long long number = 0;
    if (ReadInt(options.serial, 0, KvDevice::kLastSerialNumber, number))
        config.serialNumber = static_cast<std::uint32_t>(number);
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

bool Simulation::Swap() {
    if (swapped_ >= swaps_.size()) return false;
    tarnik::sim::Module& module = port_->module();
    tarnik::sim::ModuleConfig config;
    std::vector<Fault> faults;
    tarnik::sim::ParseSwap(swaps_[swapped_++], module.Config(), config, faults);
    earlierLog_ += LogText();
    tarnik::sim::SwapModule(module, config, faults, &port_->port().clock());
    earlierLog_ += "sim: swap: module " + FormatSerialNumber(config.serialNumber) + "\n";
    return true;
}

std::uint32_t Simulation::SerialNumber() { return port_->module().SerialNumber(); }

std::string Simulation::LogText() const {
    std::string text;
    for (const tarnik::sim::Exchange& exchange : port_->module().Log()) {
        text += "sim: " + Printable(exchange.request) + " -> " +
                (exchange.answer.empty() ? "(silence)" : Printable(exchange.answer)) + "\n";
    }
    return text;
}

void Simulation::PrintLog(std::FILE* out) const { std::fputs((earlierLog_ + LogText()).c_str(), out); }
