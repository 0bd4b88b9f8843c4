#include "LinkTest.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "Failure.h"
#include "Language.h"
#include "Output.h"
#include "Values.h"

namespace {

using Micros = std::chrono::microseconds;
using namespace std::chrono_literals;

constexpr char kSync = '~';
constexpr std::size_t kHeaderBytes = 14;  // "~", kind, 8 + 4 hex digits
constexpr std::size_t kCrcBytes = 8;
constexpr std::size_t kMinSize = kHeaderBytes + kCrcBytes + 2;
constexpr std::size_t kMaxSize = 1024;
constexpr int kProbes = 3;

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Hex(std::uint32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int k = digits - 1; k >= 0; --k, value >>= 4) text[static_cast<std::size_t>(k)] = kDigits[value & 15u];
    return text;
}

bool ParseHex(std::string_view text, std::uint32_t& value) {
    value = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

std::string MakePacket(char kind, std::uint32_t seq, std::size_t size) {
    const std::size_t payload = size - kHeaderBytes - kCrcBytes;
    std::string body;
    body.reserve(size);
    body += kind;
    body += Hex(seq, 8);
    body += Hex(static_cast<std::uint32_t>(payload), 4);
    // Printable, never the sync character, different in every packet.
    for (std::size_t i = 0; i < payload; ++i) body += static_cast<char>('!' + (seq * 7 + i) % 93);
    return std::string(1, kSync) + body + Hex(Crc32(body), 8);
}

// A packet's worth of bytes from "~" on, as it came.
struct Slot {
    bool good = false;
    char kind = 0;
    std::uint32_t seq = 0;
    Micros at{0};
};

// Cuts what arrives into slots of one packet's size.
class Reader {
public:
    explicit Reader(std::size_t size) : size_(size) {}

    // A complete slot, when this byte ended one.
    std::optional<Slot> Feed(char c, Micros at) {
        if (c == kSync) {
            // A packet still open lost bytes on the way: nothing can be said of it.
            buffer_.assign(1, c);
            return std::nullopt;
        }
        if (buffer_.empty()) {
            if (stray_.size() < 64) stray_ += c;
            ++strayCount_;
            return std::nullopt;
        }
        buffer_ += c;
        if (buffer_.size() < size_) return std::nullopt;
        Slot slot;
        slot.at = at;
        const std::string_view body(buffer_.data() + 1, size_ - 1 - kCrcBytes);
        std::uint32_t crc = 0, length = 0;
        slot.good = ParseHex(std::string_view(buffer_).substr(size_ - kCrcBytes), crc) && crc == Crc32(body) &&
                    ParseHex(body.substr(1, 8), slot.seq) && ParseHex(body.substr(9, 4), length) &&
                    length == size_ - kHeaderBytes - kCrcBytes;
        slot.kind = buffer_[1];
        buffer_.clear();
        return slot;
    }
    // Bytes that came outside any packet (the first 64 kept).
    const std::string& Stray() const { return stray_; }
    std::uint64_t StrayCount() const { return strayCount_; }

private:
    std::size_t size_;
    std::string buffer_;
    std::string stray_;
    std::uint64_t strayCount_ = 0;
};

// One port of the test.
struct End {
    std::string name;
    KvSerialPort port;
    Reader reader;
    End(std::string n, std::size_t size) : name(std::move(n)), reader(size) {}
    ~End() { port.Close(); }
    End(const End&) = delete;
    End& operator=(const End&) = delete;
};

// The port failed under the test.
struct PortFailure {
    Said text;
};

// One direction's count.
struct Stream {
    std::uint64_t sent = 0, delivered = 0, corrupted = 0, duplicated = 0, outOfOrder = 0, foreign = 0;
    std::set<std::uint32_t> seen;
    std::optional<std::uint32_t> highest;
    // Slots after the probe, for the throughput.
    std::uint64_t timed = 0;
    Micros firstAt{0}, lastAt{0};

    std::uint64_t Lost() const { return sent > delivered + corrupted ? sent - delivered - corrupted : 0; }

    void Take(const Slot& slot, char kind, bool timing) {
        if (slot.good && slot.kind != kind) {
            ++foreign;
            return;
        }
        if (timing) {
            if (timed++ == 0) firstAt = slot.at;
            lastAt = slot.at;
        }
        if (!slot.good) {
            ++corrupted;
        } else if (!seen.insert(slot.seq).second) {
            ++duplicated;
        } else {
            ++delivered;
            if (highest && slot.seq < *highest) ++outOfOrder;
            highest = std::max(highest.value_or(0), slot.seq);
        }
    }
};

double CharactersPerSecond(const SerialSettings& line) {
    const int bits = 1 + (line.dataBits - '0') + (line.parity == 'N' ? 0 : 1) + (line.stopBits - '0');
    return static_cast<double>(line.baudRate) / bits;
}

class Test {
public:
    Test(const LinkTestOptions& o, KvClock& clock, std::FILE* err)
        : o_(o), clock_(clock), err_(err), a_(o.port, o.size), b_(o.peerPort, o.size) {
        const double cps = CharactersPerSecond(o.line);
        packetTime_ = Micros{static_cast<long long>(std::ceil(o.size * 1e6 / cps))};
        probeWait_ = 1s + 3 * packetTime_;
        idleWait_ = 300ms + 3 * packetTime_;
        pingWait_ = 200ms + 8 * packetTime_;
    }

    // Empty or why the test cannot start; `exit` the code.
    Said Open(int& exit) {
        for (End* end : {&a_, &b_}) {
            Said problem = OpenRawPort(end->port, end->name, o_.line);
            if (!problem.empty()) {
                exit = kExitPort;
                return problem;
            }
        }
        return {};
    }

    // The two streams and the ping-pong; empty when they ran, else why they stopped.
    Said Run() {
        const std::optional<Micros> total =
            o_.seconds ? std::optional<Micros>(Micros{static_cast<long long>(*o_.seconds * 1e6)}) : std::nullopt;
        const auto share = [&](double part) {
            return total ? std::optional<Micros>(Micros{static_cast<long long>(total->count() * part)}) : std::nullopt;
        };
        Said problem = StreamPhase(a_, b_, 'A', ab_, share(0.4));
        if (problem.empty()) problem = StreamPhase(b_, a_, 'B', ba_, share(0.4));
        if (problem.empty()) PingPhase(share(0.2));
        EndProgress();
        return problem;
    }

    nlohmann::ordered_json Report() const {
        const double lineRate = CharactersPerSecond(o_.line);
        const auto direction = [&](const Stream& s) {
            nlohmann::ordered_json j;
            j["sent"] = s.sent;
            j["delivered"] = s.delivered;
            j["lost"] = s.Lost();
            j["corrupted"] = s.corrupted;
            j["duplicated"] = s.duplicated;
            j["outOfOrder"] = s.outOfOrder;
            const double span = static_cast<double>((s.lastAt - s.firstAt).count()) / 1e6;
            if (s.timed >= 2 && span > 0) {
                const double rate = static_cast<double>((s.timed - 1) * o_.size) / span;
                j["bytesPerSecond"] = std::round(rate * 10) / 10;
                j["lineShare"] = std::round(rate / lineRate * 1000) / 10;
            } else {
                j["bytesPerSecond"] = nullptr;
                j["lineShare"] = nullptr;
            }
            return j;
        };
        nlohmann::ordered_json report;
        report["time"] = UtcNow();
        report["port"] = o_.port;
        report["peerPort"] = o_.peerPort;
        report["baudRate"] = o_.line.baudRate;
        report["dataBits"] = o_.line.dataBits - '0';
        report["parity"] = std::string(1, static_cast<char>(o_.line.parity));
        report["stopBits"] = o_.line.stopBits - '0';
        report["packetSize"] = o_.size;
        report["lineBytesPerSecond"] = std::round(lineRate * 10) / 10;
        report["aToB"] = direction(ab_);
        report["bToA"] = direction(ba_);
        nlohmann::ordered_json rt;
        rt["sent"] = pings_;
        rt["answered"] = rtt_.size();
        std::vector<double> sorted = rtt_;
        std::sort(sorted.begin(), sorted.end());
        // Nearest rank: the smallest time that q of the round trips do not exceed.
        const auto rank = [&](double q) -> nlohmann::ordered_json {
            if (sorted.empty()) return nullptr;
            const auto k = static_cast<std::size_t>(std::ceil(q * static_cast<double>(sorted.size())));
            return std::round(sorted[std::clamp<std::size_t>(k, 1, sorted.size()) - 1] * 100) / 100;
        };
        rt["medianMs"] = rank(0.5);
        rt["p95Ms"] = rank(0.95);
        rt["maxMs"] = rank(1.0);
        report["roundTrip"] = rt;
        report["deliveryPercent"] = DeliveryPercent();
        return report;
    }

    double DeliveryPercent() const {
        const std::uint64_t sent = ab_.sent + ba_.sent;
        if (sent == 0) return 0;
        return std::round(static_cast<double>(ab_.delivered + ba_.delivered) * 1000 / static_cast<double>(sent)) / 10;
    }

private:
    Micros Now() { return clock_.Now(); }

    void Send(End& end, const std::string& packet) {
        for (const char c : packet) {
            if (!end.port.WriteByte(static_cast<std::uint8_t>(c))) {
                const KvPortFailure& why = end.port.IoFailure();
                if (why.cause != KvPortFailure::Cause::Gone)
                    throw PortFailure{Say(N_("cannot write to %s"), end.name.c_str())};
                throw PortFailure{{Format("cannot write to %s: %s", end.name.c_str(), why.Summary().CStr()),
                                   TrFormat("cannot write to %s: %s", end.name.c_str(), FailureSummary(why).c_str())}};
            }
        }
    }

    // Takes what has arrived on `end`; `take` gets each complete slot.
    void Pump(End& end, const std::function<void(const Slot&)>& take) {
        std::uint8_t byte = 0;
        while (end.port.ReadByte(byte)) {
            if (std::optional<Slot> slot = end.reader.Feed(static_cast<char>(byte), Now())) take(*slot);
        }
        const KvPortFailure& why = end.port.IoFailure();
        if (why.cause == KvPortFailure::Cause::Gone) throw PortFailure{{why.Summary().CStr(), FailureSummary(why)}};
    }

    void Idle() { clock_.SleepFor(1ms); }

    Said NothingCame(const End& from, const End& to) const {
        const long long waited = std::chrono::duration_cast<std::chrono::milliseconds>(probeWait_).count();
        Said text = Say(N_("nothing came through from %s to %s in %d tries of %lld ms"), from.name.c_str(),
                        to.name.c_str(), kProbes, waited);
        if (!from.reader.Stray().empty() || !to.reader.Stray().empty()) {
            const End& talker = from.reader.Stray().empty() ? to : from;
            text += Say(N_("; %s sent \"%s\" instead"), talker.name.c_str(), talker.reader.Stray().c_str());
        }
        text +=
            Say(N_(". Both modules must run in transparent mode as a pair: after tarnik pair they switch at their next "
                   "power-up (switch both off and on); a module in standard mode passes nothing on. Nothing was sent "
                   "that a module in standard mode takes as a command."));
        return text;
    }

    Said StreamPhase(End& from, End& to, char kind, Stream& s, std::optional<Micros> duration) {
        const auto take = [&](bool timing) {
            return [&s, kind, timing](const Slot& slot) { s.Take(slot, kind, timing); };
        };
        const auto ignore = [](const Slot&) {};
        phase_ = kind == 'A' ? N_("A to B") : N_("B to A");
        // The probe: one packet at a time until something comes through.
        bool through = false;
        for (int probe = 0; probe < kProbes && !through; ++probe) {
            Send(from, MakePacket(kind, static_cast<std::uint32_t>(s.sent++), o_.size));
            const Micros until = Now() + probeWait_;
            while (Now() < until) {
                const std::uint64_t before = s.delivered + s.corrupted + s.duplicated + s.foreign;
                Pump(to, take(false));
                Pump(from, ignore);
                if (s.delivered + s.corrupted + s.duplicated + s.foreign != before) {
                    through = true;
                    break;
                }
                Idle();
            }
        }
        if (!through) return NothingCame(from, to);

        // The stream, at the line rate.
        const Micros start = Now();
        const std::uint64_t count = o_.packets ? static_cast<std::uint64_t>(*o_.packets) : 0;
        for (std::uint64_t k = 0;; ++k) {
            if (o_.packets ? s.sent >= count : Now() - start >= *duration) break;
            const Micros due = start + packetTime_ * static_cast<long>(k);
            while (Now() < due) {
                Pump(to, take(true));
                Pump(from, ignore);
                Progress(s);
                if (Now() < due) Idle();
            }
            Send(from, MakePacket(kind, static_cast<std::uint32_t>(s.sent++), o_.size));
            Pump(to, take(true));
        }
        // What is still on its way.
        Micros lastSeen = Now();
        while (s.delivered + s.corrupted < s.sent && Now() - lastSeen < idleWait_) {
            const std::uint64_t before = s.delivered + s.corrupted + s.duplicated;
            Pump(to, take(true));
            Pump(from, ignore);
            if (s.delivered + s.corrupted + s.duplicated != before) lastSeen = Now();
            Progress(s);
            Idle();
        }
        return {};
    }

    // Waits for a good packet of `kind` and `seq` on `end`.
    bool Await(End& end, End& other, char kind, std::uint32_t seq, Micros until) {
        bool got = false;
        const auto take = [&](const Slot& slot) { got = got || (slot.good && slot.kind == kind && slot.seq == seq); };
        while (!got && Now() < until) {
            Pump(end, take);
            Pump(other, [](const Slot&) {});
            if (!got) Idle();
        }
        return got;
    }

    void PingPhase(std::optional<Micros> duration) {
        phase_ = N_("round trip");
        const Micros start = Now();
        const std::uint64_t count =
            o_.packets ? std::max<std::uint64_t>(10, static_cast<std::uint64_t>(*o_.packets) / 4) : 0;
        for (std::uint32_t k = 0;; ++k) {
            if (o_.packets ? pings_ >= count : Now() - start >= *duration) break;
            ++pings_;
            const Micros sentAt = Now();
            Send(a_, MakePacket('P', k, o_.size));
            if (!Await(b_, a_, 'P', k, sentAt + pingWait_)) continue;
            Send(b_, MakePacket('Q', k, o_.size));
            if (!Await(a_, b_, 'Q', k, Now() + pingWait_)) continue;
            rtt_.push_back(static_cast<double>((Now() - sentAt).count()) / 1000);
            Progress(ab_);
        }
    }

    void Progress(const Stream& s) {
        if (o_.quiet || !o_.terminal) return;
        const Micros now = Now();
        if (now - lastProgress_ < 250ms) return;
        lastProgress_ = now;
        std::string text = "\r" + std::string(Tr(phase_.c_str())) + ": ";
        if (phase_ == "round trip") {
            text +=
                TrFormat("%s pings, %s answered", std::to_string(pings_).c_str(), std::to_string(rtt_.size()).c_str());
        } else {
            text += TrFormat("%s sent, %s delivered, %s corrupted", std::to_string(s.sent).c_str(),
                             std::to_string(s.delivered).c_str(), std::to_string(s.corrupted).c_str());
        }
        std::fputs((text + "\x1b[K").c_str(), err_);
        std::fflush(err_);
        progressShown_ = true;
    }

    void EndProgress() {
        if (!progressShown_) return;
        std::fputs("\r\x1b[K", err_);
        std::fflush(err_);
    }

    const LinkTestOptions& o_;
    KvClock& clock_;
    std::FILE* err_;
    End a_, b_;
    Micros packetTime_{0}, probeWait_{0}, idleWait_{0}, pingWait_{0};
    Stream ab_, ba_;
    std::uint64_t pings_ = 0;
    std::vector<double> rtt_;
    std::string phase_;
    Micros lastProgress_{0};
    bool progressShown_ = false;
};

std::string Number(const nlohmann::ordered_json& value, const char* unit) {
    if (value.is_null()) return "-";
    std::ostringstream text;
    text << value.get<double>() << unit;
    return text.str();
}

void PrintSummary(std::FILE* out, const nlohmann::ordered_json& r) {
    const auto direction = [&](const std::string& name, const nlohmann::ordered_json& d) {
        PrintLine(out, TrFormat("%s: %s sent, %s delivered, %s lost, %s corrupted, %s duplicated, %s out of order; "
                                "%s of %s on the line (%s)",
                                name.c_str(), d["sent"].dump().c_str(), d["delivered"].dump().c_str(),
                                d["lost"].dump().c_str(), d["corrupted"].dump().c_str(), d["duplicated"].dump().c_str(),
                                d["outOfOrder"].dump().c_str(), Number(d["bytesPerSecond"], " B/s").c_str(),
                                Number(r["lineBytesPerSecond"], " B/s").c_str(), Number(d["lineShare"], " %").c_str()));
    };
    direction(
        TrFormat("A to B (%s to %s)", r["port"].get<std::string>().c_str(), r["peerPort"].get<std::string>().c_str()),
        r["aToB"]);
    direction(Tr("B to A"), r["bToA"]);
    const auto& rt = r["roundTrip"];
    PrintLine(out, TrFormat("round trip: %s pings, %s answered; median %s, 95 %% %s, max %s", rt["sent"].dump().c_str(),
                            rt["answered"].dump().c_str(), Number(rt["medianMs"], " ms").c_str(),
                            Number(rt["p95Ms"], " ms").c_str(), Number(rt["maxMs"], " ms").c_str()));
    PrintLine(out, TrFormat("delivery: %s", Number(r["deliveryPercent"], " %").c_str()));
}

}  // namespace

Said OpenRawPort(KvSerialPort& port, const std::string& name, const SerialSettings& line) {
    if (!port.Open(KvString(name.c_str()))) {
        const KvPortFailure& why = port.OpenFailure();
        if (why.osReason.Bytes().empty()) return Say(N_("cannot open %s"), name.c_str());
        return {Format("cannot open %s: %s", name.c_str(), why.Summary().CStr()),
                TrFormat("cannot open %s: %s", name.c_str(), FailureSummary(why).c_str())};
    }
    const std::uint8_t parity = line.parity == 'O' ? 1 : line.parity == 'E' ? 2 : 0;
    if (!port.SetLine(static_cast<std::uint32_t>(line.baudRate), static_cast<std::uint8_t>(line.dataBits - '0'),
                      parity != 0 ? 1 : 0, parity, line.stopBits == '2' ? 2 : 0) ||
        // A read returns at once with what is there: the interval time-out of
        // "no wait" for Windows (all zero would wait for ever there); POSIX
        // goes by the total, 0.
        !port.SetTimeouts(0xFFFFFFFFu, 0, 0, 0, 1000)) {
        return Say(N_("cannot set %s to %s"), name.c_str(), FormatSerialSettings(line).CStr());
    }
    return {};
}

bool LineFromPairRecord(const nlohmann::json& record, SerialSettings& line) {
    if (!record.is_object() || !record.contains("baudRate") || !record["baudRate"].is_number_integer()) return false;
    const auto text = [&](const char* key) -> std::string {
        const auto it = record.find(key);
        if (it == record.end()) return "";
        return it->is_string() ? it->get<std::string>() : it->dump();
    };
    const std::string joined =
        record["baudRate"].dump() + "," + text("dataBits") + "," + text("parity") + "," + text("stopBits");
    return ParseLine(joined, line.baudRate, line.dataBits, line.parity, line.stopBits).empty();
}

int RunLinkTest(const LinkTestOptions& options, KvClock& clock, std::FILE* out, std::FILE* err) {
    Test test(options, clock, err);
    int exit = kExitOk;
    Said problem = test.Open(exit);
    if (!problem.empty()) {
        PrintLine(err, "tarnik: link-test: " + problem.shown);
        return exit;
    }
    try {
        problem = test.Run();
    } catch (const PortFailure& failure) {
        problem = failure.text;
    }
    nlohmann::ordered_json report = test.Report();
    exit = problem.empty() ? kExitOk : kExitLink;
    if (exit == kExitOk && options.minDelivery && test.DeliveryPercent() < *options.minDelivery) {
        std::ostringstream delivered, wanted;
        delivered << test.DeliveryPercent();
        wanted << *options.minDelivery;
        problem =
            Say(N_("delivery %s %% is below --min-delivery %s %%"), delivered.str().c_str(), wanted.str().c_str());
        exit = kExitLink;
    }
    nlohmann::ordered_json record;
    record["time"] = report["time"];
    record["result"] = exit == kExitOk ? "link-test done" : "link-test failed";
    record["reason"] = problem.english;
    for (auto it = report.begin(); it != report.end(); ++it) {
        if (it.key() != "time") record[it.key()] = it.value();
    }
    if (options.json) {
        PrintJson(out, record);
    } else if (problem.empty() || report["aToB"]["delivered"].get<std::uint64_t>() > 0) {
        PrintSummary(out, report);
    }
    if (!problem.empty()) PrintLine(err, "tarnik: link-test: " + problem.shown);
    if (options.log) {
        const std::string logged = options.log->Append(record);
        if (!logged.empty()) {
            PrintLine(err, "tarnik: --log: " + logged);
            if (exit == kExitOk) exit = kExitLink;
        }
    }
    return exit;
}

namespace {

// Its per cents are text, not conversions.
// xgettext:no-c-format
const char* const kSecondsHelp = N_("how long the whole test runs (default 10): 40 % each way, 20 % ping-pong");

}  // namespace

void LinkTestCommand::Register(CLI::App& app, bool& json) {
    command_ = app.add_subcommand(
        "link-test",
        Tr("prove that two modules in transparent mode carry data: framed packets from --port to --peer-port and "
           "back, then a ping-pong; no command is ever sent (line settings from --line or the pair's record in "
           "--log)"));
    command_->add_option("--peer-port", options_.peerPort, Tr("the other module's port"))
        ->type_name("PORT")
        ->required();
    command_->add_option("--seconds", seconds_, Tr(kSecondsHelp))->type_name("N");
    command_
        ->add_option("--packets", packets_,
                     Tr("packets each way instead of a time; a quarter as many pings (at least 10)"))
        ->type_name("N");
    command_
        ->add_option("--size", size_, Tr("bytes of one packet on the line, framing included: 24 to 1024 (default 64)"))
        ->type_name("N");
    command_
        ->add_option("--min-delivery", minDelivery_, Tr("exit 5 when fewer than P percent of the packets came through"))
        ->type_name("P");
    command_->add_flag("--json", json, Tr("print the result as JSON"));
    command_
        ->add_option("--log", logPath_,
                     Tr("append the result (one JSON line) to FILE; without --line the line settings come from the "
                        "last pair record there"))
        ->type_name("FILE");
}

namespace {

std::string ReadNumber(const std::string& option, const std::string& text, double low, double high, double& value) {
    std::istringstream in(text);
    in >> value;
    if (!in || !in.eof() || !(value >= low && value <= high)) {
        std::ostringstream from, to;
        from << low;
        to << high;
        return TrFormat("%s: '%s' is not a number from %s to %s", option.c_str(), text.c_str(), from.str().c_str(),
                        to.str().c_str());
    }
    return "";
}

}  // namespace

std::string LinkTestCommand::Check(const std::string& port, const std::optional<SerialSettings>& line) {
    LinkTestOptions& o = options_;
    o.port = port;
    if (o.peerPort == port) return Tr("--peer-port: the same port as --port; the test needs both modules of the pair");
    double value = 0;
    if (!seconds_.empty() && !packets_.empty()) return Tr("give --seconds or --packets, not both");
    if (!seconds_.empty()) {
        std::string problem = ReadNumber("--seconds", seconds_, 1, 86400, value);
        if (!problem.empty()) return problem;
        o.seconds = value;
    }
    if (!packets_.empty()) {
        std::string problem = ReadNumber("--packets", packets_, 1, 10000000, value);
        if (!problem.empty()) return problem;
        if (value != std::floor(value)) return TrFormat("--packets: '%s' is not a whole number", packets_.c_str());
        o.packets = static_cast<long>(value);
    }
    if (!o.seconds && !o.packets) o.seconds = 10;
    if (!size_.empty()) {
        std::string problem = ReadNumber("--size", size_, kMinSize, kMaxSize, value);
        if (!problem.empty()) return problem;
        if (value != std::floor(value)) return TrFormat("--size: '%s' is not a whole number", size_.c_str());
        o.size = static_cast<std::size_t>(value);
    }
    if (!minDelivery_.empty()) {
        std::string problem = ReadNumber("--min-delivery", minDelivery_, 0, 100, value);
        if (!problem.empty()) return problem;
        o.minDelivery = value;
    }
    std::optional<SerialSettings> known = line;
    if (!logPath_.empty()) {
        auto log = std::make_shared<RecordFile>();
        std::string earlier;
        const std::string problem = log->Open(logPath_, earlier);
        if (!problem.empty()) return "--log: " + problem;
        // The last pair that went through names the line settings both modules got.
        std::istringstream lines(earlier);
        std::string text;
        std::optional<SerialSettings> fromRecord;
        while (std::getline(lines, text)) {
            const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
            SerialSettings recorded;
            if (record.is_object() && record.value("result", "") == "done" && LineFromPairRecord(record, recorded)) {
                fromRecord = recorded;
            }
        }
        if (!known) known = fromRecord;
        o.log = std::move(log);
    }
    if (!known) {
        return Tr(
            "link-test needs the modules' line settings: give --line B,D,P,S, or --log with the file that "
            "tarnik pair --log wrote");
    }
    o.line = *known;
    return "";
}
