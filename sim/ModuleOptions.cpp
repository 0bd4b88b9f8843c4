#include "ModuleOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tarnik::sim {

namespace {

bool ReadInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

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

    const std::string kind = Lower(parts[0]);
    // The kinds that take nothing after their name.
    static const std::pair<const char*, FaultKind> kPlainKinds[] = {{"silence", FaultKind::Silence},
                                                                    {"late", FaultKind::LateFirstByte},
                                                                    {"cut", FaultKind::CutAnswer},
                                                                    {"garbage", FaultKind::Garbage},
                                                                    {"nul", FaultKind::NulInAnswer},
                                                                    {"overlong", FaultKind::Overlong},
                                                                    {"bad-man", FaultKind::NonNumericMan},
                                                                    {"vanish", FaultKind::PortVanishes},
                                                                    {"stored-ignored", FaultKind::StoredIgnored},
                                                                    {"stored-off", FaultKind::StoredOffByOne},
                                                                    {"swap", FaultKind::Swap}};
    bool plain = false;
    for (const auto& [name, plainKind] : kPlainKinds) {
        if (kind == name) {
            fault.kind = plainKind;
            plain = true;
        }
    }
    if (plain) {
    } else if (kind.rfind("kill", 0) == 0) {
        fault.kind = FaultKind::Kill;
        long long nth = 1;
        if (kind.size() > 4 && (kind[4] != '=' || !ReadInt(kind.substr(5), 1, 100000, nth))) {
            return "'" + parts[0] + "': kill or kill=N (at the N-th matching request)";
        }
        fault.skip = static_cast<int>(nth - 1);
    } else if (kind.rfind("nak", 0) == 0) {
        fault.kind = FaultKind::Nak;
        long long code = 3;
        if (kind.size() > 3 && (kind[3] != '=' || !ReadInt(kind.substr(4), 0, 99, code))) {
            return "'" + parts[0] + "': a rejection is nak or nak=CODE (0-99)";
        }
        fault.nakCode = static_cast<int>(code);
    } else {
        return "'" + parts[0] +
               "' is no fault (silence, late, cut, garbage, nul, overlong, nak[=CODE], bad-man, vanish, "
               "stored-ignored, stored-off, swap, kill[=N])";
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

bool TakeModuleOption(const std::vector<std::string>& words, std::size_t& i, ModuleConfig& config,
                      std::vector<Fault>& faults, std::string& problem) {
    const std::string& option = words[i];
    const bool hasValue = i + 1 < words.size();
    const std::string value = hasValue ? words[i + 1] : std::string();
    long long number = 0;
    // Takes the value as a number in [low, high]; false (with the problem set) otherwise.
    auto numeric = [&](long long low, long long high, const char* expected) {
        if (!hasValue || !ReadInt(value, low, high, number)) {
            problem = option + " takes " + expected;
            return false;
        }
        ++i;
        return true;
    };

    if (option == "--baud") {
        if (!numeric(0, 57600, "1200, 2400, 4800, 9600, 19200, 38400 or 57600")) return true;
        switch (number) {
        case 1200:
        case 2400:
        case 4800:
        case 9600:
        case 19200:
        case 38400:
        case 57600: break;
        default: problem = "--baud takes 1200, 2400, 4800, 9600, 19200, 38400 or 57600"; return true;
        }
        config.line.baud = static_cast<std::uint32_t>(number);
    } else if (option == "--frame") {
        const std::string frame = value;
        if (!hasValue || frame.size() != 3 || (frame[0] != '7' && frame[0] != '8') ||
            (frame[1] != 'N' && frame[1] != 'E' && frame[1] != 'O') || (frame[2] != '1' && frame[2] != '2')) {
            problem = "--frame takes data bits, parity and stop bits, e.g. 8N1 or 7E2";
            return true;
        }
        config.line.dataBits = frame[0];
        config.line.parity = frame[1];
        config.line.stopBits = frame[2];
        ++i;
    } else if (option == "--serial") {
        if (numeric(0, 999999999, "0 to 999999999")) config.serialNumber = static_cast<std::uint32_t>(number);
    } else if (option == "--firmware") {
        if (!hasValue) {
            problem = "--firmware needs the firmware's version text";
            return true;
        }
        config.version = value;
        ++i;
    } else if (option == "--fixed-pins") {
        config.fixedPins = true;
    } else if (option == "--stored-mode") {
        if (numeric(0, 2, "0, 1 or 2")) config.storedMode = static_cast<int>(number);
    } else if (option == "--restart-ms") {
        if (numeric(0, 1200, "0 to 1200")) config.restartTime = std::chrono::milliseconds{number};
    } else if (option == "--escape-window-ms") {
        if (numeric(0, 86400000, "a number of milliseconds")) config.escapeWindow = std::chrono::milliseconds{number};
    } else if (option == "--latency-ms") {
        if (numeric(0, 60000, "a number of milliseconds")) config.firstByteLatency = std::chrono::milliseconds{number};
    } else if (option == "--neighbours") {
        config.neighbours = true;
    } else if (option == "--fault") {
        Fault fault;
        if (!hasValue) {
            problem = "--fault takes KIND[:MNEMONIC[:COUNT]]";
            return true;
        }
        problem = ParseFault(value, fault);
        if (!problem.empty()) {
            problem = "--fault: " + problem;
            return true;
        }
        faults.push_back(fault);
        ++i;
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

ModuleConfig NextModuleConfig(const ModuleConfig& previous) {
    ModuleConfig next = previous;
    next.serialNumber = previous.serialNumber >= 999999999u ? 0 : previous.serialNumber + 1;
    next.line = LineSettings{};
    next.storedMode = 0;
    next.fixedPins = false;
    return next;
}

std::string ParseSwap(const std::string& options, const ModuleConfig& previous, ModuleConfig& config,
                      std::vector<Fault>& faults) {
    config = NextModuleConfig(previous);
    faults.clear();
    const std::vector<std::string> words = SplitWords(options);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string problem;
        if (!TakeModuleOption(words, i, config, faults, problem)) return "'" + words[i] + "' is no module option";
        if (!problem.empty()) return problem;
    }
    return "";
}

void SwapModule(Module& module, const ModuleConfig& config, const std::vector<Fault>& faults, KvClock* clock) {
    const bool paced = module.PacedAtBaud();
    Radio* radio = module.AttachedRadio();
    module = Module(config);
    module.AttachRadio(radio);
    module.AttachClock(clock);
    module.SetPacedAtBaud(paced);
    for (const Fault& fault : faults) module.InjectFault(fault);
}

}  // namespace tarnik::sim
