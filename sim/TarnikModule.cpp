#include "TarnikModule.h"

#include <algorithm>
#include <cstdio>

#include "KvClock.h"
#include "Radio.h"

namespace tarnik::sim {

namespace {

constexpr char kEscape[] = {0x02, 0x03, 'T', 'o', 'v', 'e', 'n', 'k', 0x03, 0x02};
constexpr std::size_t kEscapeLength = sizeof(kEscape);
// Longest request line the module takes; anything longer is not understood.
constexpr std::size_t kMaxRequest = 128;
constexpr std::size_t kOverlongLength = 300;
constexpr std::size_t kGarbageLength = 16;

const char* const kMnemonics[] = {"MOD", "VER", "SAD", "PAD", "PAN", "FRQ", "RTY", "LED", "SCI", "PFC", "MAN", "INI"};

bool IsDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A plain decimal number of at most 9 digits, no sign, no spaces.
bool ParseNumber(const std::string& text, long& value) {
    if (!IsDigits(text) || text.size() > 9) return false;
    value = std::stol(text);
    return true;
}

bool IsKnownBaud(long baud) {
    switch (baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600: return true;
    default: return false;
    }
}

// "9600,8,N,1" into a line; false for anything else.
bool ParseLine(const std::string& text, LineSettings& line) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    if (parts.size() != 4) return false;
    long baud = 0;
    if (!ParseNumber(parts[0], baud) || !IsKnownBaud(baud)) return false;
    if (parts[1] != "7" && parts[1] != "8") return false;
    if (parts[2] != "N" && parts[2] != "E" && parts[2] != "O") return false;
    if (parts[3] != "1" && parts[3] != "2") return false;
    line = LineSettings{static_cast<std::uint32_t>(baud), parts[1][0], parts[2][0], parts[3][0]};
    return true;
}

// A route: "!" then hops of 1 to 9 digits separated by ",".
bool IsWellFormedRoute(const std::string& route) {
    if (route.size() < 2 || route[0] != '!') return false;
    std::size_t begin = 1;
    for (;;) {
        const std::size_t comma = route.find(',', begin);
        const std::string hop = route.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        if (!IsDigits(hop) || hop.size() > 9) return false;
        if (comma == std::string::npos) return true;
        begin = comma + 1;
    }
}

std::string Nak(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "*NAK:%02d\r\n", std::clamp(code, 0, 99));
    return text;
}

std::string Accept(const std::string& mnemonic, const std::string& data) {
    return "*" + mnemonic + ": " + data + "\r\n";
}

std::string Pins(const Bank& bank) { return std::string(bank.pins, 4); }

// Value-pair settings: mnemonic, field, largest value taken by a write.
struct PairSetting {
    const char* mnemonic;
    int Bank::*field;
    long maximum;
};
const PairSetting kPairs[] = {
    {"MOD", &Bank::mode, 2},    {"SAD", &Bank::address, 65535}, {"PAD", &Bank::partnerAddress, 65535},
    {"PAN", &Bank::pan, 65535}, {"FRQ", &Bank::frequency, 75},  {"RTY", &Bank::retryCount, 255},
    {"LED", &Bank::led, 1},
};

}  // namespace

std::string FormatLine(const LineSettings& line) {
    return std::to_string(line.baud) + "," + line.dataBits + "," + line.parity + "," + line.stopBits;
}

Micros FrameTime(const LineSettings& line) {
    if (line.baud == 0) return Micros{0};
    const int dataBits = line.dataBits >= '5' && line.dataBits <= '8' ? line.dataBits - '0' : 8;
    const int bits = 1 + dataBits + (line.parity == 'N' ? 0 : 1) + (line.stopBits == '2' ? 2 : 1);
    // Rounded up to whole microseconds.
    return Micros{(bits * 1000000LL + line.baud - 1) / line.baud};
}

Bank FactoryBank() { return Bank{}; }

Module::Module(ModuleConfig config) : config_(std::move(config)) {
    config_.restartTime =
        std::clamp(config_.restartTime, std::chrono::milliseconds{0}, std::chrono::milliseconds{1200});
    running_.line = config_.line;
    running_.mode = config_.storedMode;
    transparent_ = config_.storedMode == 1 || config_.storedMode == 2;
    if (transparent_) {
        running_.address = config_.storedMode == 1 ? 0 : 1;
        running_.partnerAddress = config_.storedMode == 1 ? 1 : 0;
    }
    stored_ = running_;
}

void Module::AttachClock(KvClock* clock) {
    clock_ = clock;
    if (clock_) {
        poweredAt_ = clock_->Now();
        lastEvent_ = std::max(lastEvent_, poweredAt_);
    }
}

Micros Module::Now() const { return clock_ ? clock_->Now() : lastEvent_; }

void Module::PowerCycle() { PowerCycle(Now()); }

void Module::PowerCycle(Micros at) {
    running_ = stored_;
    transparent_ = stored_.mode == 1 || stored_.mode == 2;
    poweredAt_ = at;
    lastEvent_ = std::max(lastEvent_, at);
    holdLine_.reset();
    deafUntil_ = Micros{0};
    lineBuffer_.clear();
    lineOverflow_ = false;
    lastByte_ = 0;
    recent_.clear();
    output_.clear();
}

void Module::InjectFault(const Fault& f) { faults_.push_back(f); }

void Module::ClearFaults() {
    faults_.clear();
    vanished_ = false;
}

LineSettings Module::CurrentLine() const { return LineAt(Now()); }

LineSettings Module::LineAt(Micros at) const {
    if (holdLine_ && at < holdUntil_) return *holdLine_;
    return running_.line;
}

OutputByte Module::TakeOutput() {
    OutputByte front = output_.front();
    output_.pop_front();
    return front;
}

Micros Module::Receive(std::uint8_t byte, const LineSettings& sentAt, Micros at) {
    const Micros arrival = paced_ ? std::max(at, rxBusyUntil_) + FrameTime(sentAt) : at;
    rxBusyUntil_ = arrival;
    lastEvent_ = std::max(lastEvent_, arrival);
    if (vanished_) return arrival;

    // While it restarts, or at settings other than its own, the module makes
    // nothing of the byte, and the line it was assembling is spoilt.
    if (Restarting(arrival) || !(LineAt(arrival) == sentAt)) {
        ++ignoredBytes_;
        lineBuffer_.clear();
        lineOverflow_ = false;
        lastByte_ = 0;
        recent_.clear();
        return arrival;
    }

    CheckEscape(byte, arrival);
    if (transparent_) {
        // Passed on to the radio link, never answered.
        if (radio_) radio_->Carry(*this, byte, arrival);
        return arrival;
    }
    if (recent_.empty()) return arrival;  // the escape string was just taken

    const bool terminated = byte == '\n' && lastByte_ == '\r';
    lastByte_ = static_cast<char>(byte);
    if (lineBuffer_.size() < kMaxRequest) {
        lineBuffer_.push_back(static_cast<char>(byte));
    } else {
        lineOverflow_ = true;
    }
    if (terminated) {
        std::string line;
        line.swap(lineBuffer_);
        const bool overflow = lineOverflow_;
        lineOverflow_ = false;
        lastByte_ = 0;
        if (overflow) {
            // Too long to be a request: not understood.
            log_.push_back({line, Nak(1), arrival});
            Send(Nak(1), arrival + config_.firstByteLatency, LineAt(arrival));
        } else {
            HandleLine(line, arrival);
        }
    }
    return arrival;
}

void Module::CheckEscape(std::uint8_t byte, Micros at) {
    recent_.push_back(static_cast<char>(byte));
    if (recent_.size() > kEscapeLength) recent_.erase(0, recent_.size() - kEscapeLength);
    if (recent_.size() != kEscapeLength || recent_.compare(0, kEscapeLength, kEscape, kEscapeLength) != 0) return;
    // In command mode the string is simply dropped; in transparent mode it ends
    // transparent mode while the window after power-up is open.
    if (transparent_ && at - poweredAt_ < Micros{config_.escapeWindow}) {
        transparent_ = false;
        running_.mode = 0;
    }
    if (!transparent_) {
        recent_.clear();
        lineBuffer_.clear();
        lineOverflow_ = false;
        lastByte_ = 0;
    }
}

std::optional<Fault> Module::TakeFault(char scope, const std::string& mnemonic) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        // "SAD" matches every SAD request, "+SAD" only those with that scope character.
        const bool scoped = it->mnemonic.size() == 4;
        if (!it->mnemonic.empty() && it->mnemonic != (scoped ? scope + mnemonic : mnemonic)) continue;
        if (it->kind == FaultKind::NonNumericMan && mnemonic != "MAN") continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        Fault taken = *it;
        if (it->count > 0 && --it->count == 0) faults_.erase(it);
        return taken;
    }
    return std::nullopt;
}

namespace {

// A request line without its CR LF, read by the module's grammar.
struct Request {
    char scope = 0;
    std::string mnemonic;  // empty when the line is not understood
    std::string route;
    std::string param;
    bool hasParam = false;
    bool understood = false;
};

Request ParseRequest(const std::string& body) {
    // Grammar: scope, three-letter mnemonic, optional route "!hop,hop", optional ":" parameter.
    Request r;
    r.scope = body[0];
    r.mnemonic = body.size() >= 4 ? body.substr(1, 3) : std::string();
    r.understood =
        (r.scope == '-' || r.scope == '@' || r.scope == '+') &&
        std::any_of(std::begin(kMnemonics), std::end(kMnemonics), [&](const char* m) { return r.mnemonic == m; });
    if (r.understood) {
        const std::string rest = body.substr(4);
        const std::size_t colon = rest.find(':');
        r.route = rest.substr(0, colon);
        if (colon != std::string::npos) {
            r.hasParam = true;
            r.param = rest.substr(colon + 1);
        }
        if (!r.route.empty() && r.route[0] != '!') r.understood = false;
    }
    if (!r.understood) r.mnemonic.clear();
    return r;
}

}  // namespace

void Module::Distort(const Fault& fault, std::string& answer, Micros& start) {
    switch (fault.kind) {
    case FaultKind::Silence: answer.clear(); break;
    case FaultKind::LateFirstByte: start += fault.delay; break;
    case FaultKind::CutAnswer:
        answer.resize(std::min(answer.size(), static_cast<std::size_t>(std::max(fault.cutAfter, 0))));
        break;
    case FaultKind::Garbage: {
        answer.clear();
        while (answer.size() < kGarbageLength) {
            garbageSeed_ = garbageSeed_ * 1103515245u + 12345u;
            const auto b = static_cast<std::uint8_t>(garbageSeed_ >> 16);
            if (b == 0 || b == '\r' || b == '\n') continue;
            answer.push_back(static_cast<char>(b));
        }
        answer += "\r\n";
        break;
    }
    case FaultKind::NulInAnswer: {
        const std::size_t pos = std::min(answer.size(), static_cast<std::size_t>(std::max(fault.nulAt, 0)));
        answer.insert(pos, 1, '\0');
        break;
    }
    case FaultKind::Overlong: {
        if (answer.size() >= 2) answer.resize(answer.size() - 2);  // without its CR LF
        std::size_t i = 0;
        while (answer.size() < kOverlongLength) answer.push_back(static_cast<char>('0' + i++ % 10));
        answer.resize(kOverlongLength);
        break;
    }
    case FaultKind::NonNumericMan: answer = Accept("MAN", "XXXXXXXXX"); break;
    case FaultKind::Nak:
    case FaultKind::PortVanishes:
    case FaultKind::StoredIgnored:
    case FaultKind::StoredOffByOne:
    case FaultKind::Swap:
    case FaultKind::Kill: break;
    }
}

void Module::HandleLine(const std::string& line, Micros at) {
    const std::string body = line.substr(0, line.size() - 2);
    if (body.empty()) return;  // a bare CR LF asks nothing

    const Request request = ParseRequest(body);
    const char scope = request.scope;
    const std::string& mnemonic = request.mnemonic;
    const std::string& route = request.route;
    const std::string& param = request.param;
    const bool understood = request.understood;
    const bool hasParam = request.hasParam;

    const std::optional<Fault> fault = TakeFault(scope, mnemonic);
    if (fault && fault->kind == FaultKind::PortVanishes) {
        vanished_ = true;
        output_.clear();
        return;
    }
    if (fault && fault->kind == FaultKind::Kill) {
        killRequested_ = true;
        return;
    }
    if (fault && fault->kind == FaultKind::Swap) {
        config_.serialNumber = config_.serialNumber >= 999999999u ? 0 : config_.serialNumber + 1;
        const LineSettings runningLine = running_.line;
        const LineSettings storedLine = stored_.line;
        running_ = FactoryBank();
        stored_ = FactoryBank();
        running_.line = runningLine;
        stored_.line = storedLine;
    }
    // What a write changes: the scope character, unless the module leaves its stored bank alone.
    char effectiveScope = scope;
    if (fault && fault->kind == FaultKind::StoredIgnored)
        effectiveScope = scope == '+' ? '-' : scope == '@' ? '?' : scope;

    const LineSettings answerLine = LineAt(at);
    bool sciChanged = false;
    bool initialised = false;
    std::string answer;
    if (!understood) {
        answer = Nak(1);
    } else if (fault && fault->kind == FaultKind::Nak) {
        answer = Nak(fault->nakCode);
    } else if (!route.empty() && (!config_.neighbours || !IsWellFormedRoute(route))) {
        answer = Nak(2);
    } else {
        answer = Execute(effectiveScope, mnemonic, param, hasParam, sciChanged, initialised);
        if (fault && fault->kind == FaultKind::StoredOffByOne && hasParam && (scope == '@' || scope == '+')) {
            for (const PairSetting& pair : kPairs) {
                if (mnemonic == pair.mnemonic) stored_.*pair.field += 1;
            }
        }
    }

    Micros start = at + config_.firstByteLatency;
    if (fault) Distort(*fault, answer, start);

    log_.push_back({line, answer, at});
    Send(answer, start, answerLine);

    // SCI and INI: the answer goes out at the old settings, the next request is
    // heard at the new ones.
    if (sciChanged || initialised) {
        const Micros answerEnd = output_.empty() || answer.empty() ? start : output_.back().due;
        holdLine_ = answerLine;
        holdUntil_ = answerEnd;
        if (initialised) deafUntil_ = answerEnd + config_.restartTime;
    }
}

std::string Module::Execute(char scope, const std::string& mnemonic, const std::string& param, bool hasParam,
                            bool& sciChanged, bool& initialised) {
    const bool toRunning = scope == '-' || scope == '+';
    const bool toStored = scope == '@' || scope == '+';

    for (const PairSetting& pair : kPairs) {
        if (mnemonic != pair.mnemonic) continue;
        if (hasParam) {
            long value = 0;
            if (!ParseNumber(param, value) || value > pair.maximum) return Nak(3);
            if (toRunning) running_.*pair.field = static_cast<int>(value);
            if (toStored) stored_.*pair.field = static_cast<int>(value);
        }
        return Accept(mnemonic, std::to_string(running_.*pair.field) + "/" + std::to_string(stored_.*pair.field));
    }

    if (mnemonic == "PFC") {
        if (hasParam) {
            if (config_.fixedPins) return Nak(3);
            if (param.size() != 4 || !IsDigits(param)) return Nak(3);
            // I/O 1-2 and 3-4 take functions 0 to 2, I/O 5-6 and 7-8 take 0 and 1.
            for (int pin = 0; pin < 4; ++pin) {
                if (param[pin] > (pin < 2 ? '2' : '1')) return Nak(3);
            }
            for (int pin = 0; pin < 4; ++pin) {
                if (toRunning) running_.pins[pin] = param[pin];
                if (toStored) stored_.pins[pin] = param[pin];
            }
        }
        return Accept(mnemonic, Pins(running_) + "/" + Pins(stored_));
    }

    if (mnemonic == "SCI") {
        if (hasParam) {
            LineSettings line;
            if (!ParseLine(param, line)) return Nak(3);
            if (toRunning) {
                sciChanged = !(running_.line == line);
                running_.line = line;
            }
            if (toStored) stored_.line = line;
        }
        return Accept(mnemonic, FormatLine(running_.line) + "/" + FormatLine(stored_.line));
    }

    // The rest take no parameter.
    if (hasParam) return Nak(3);
    if (mnemonic == "VER") return Accept(mnemonic, config_.version);
    if (mnemonic == "MAN") {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%09lu", static_cast<unsigned long>(config_.serialNumber));
        return Accept(mnemonic, digits);
    }
    // INI
    running_ = FactoryBank();
    stored_ = FactoryBank();
    initialised = true;
    return Accept(mnemonic, "OK");
}

void Module::FromAir(const std::string& bytes, Micros at) {
    lastEvent_ = std::max(lastEvent_, at);
    if (transparent_ && !vanished_) Send(bytes, at, running_.line);
}

void Module::Send(const std::string& answer, Micros start, const LineSettings& line) {
    const Micros frame = paced_ ? FrameTime(line) : Micros{0};
    // The module has one transmitter: an answer that is ready while an earlier
    // one (a late or an overlong one) is still going out waits for it to end,
    // so two answers never mix byte by byte.
    if (!output_.empty() && output_.back().due > start) start = output_.back().due;
    for (std::size_t k = 0; k < answer.size(); ++k) {
        const OutputByte out{static_cast<std::uint8_t>(answer[k]), start + frame * static_cast<long>(k + 1), line};
        const auto position = std::upper_bound(output_.begin(), output_.end(), out.due,
                                               [](Micros due, const OutputByte& b) { return due < b.due; });
        output_.insert(position, out);
    }
}

}  // namespace tarnik::sim
