#pragma once
// The simulated Tarnik module: an independent model of the module's side of the
// line. It shares no code with the program's protocol or device layers.
//
// The model does no I/O of its own. A front-end (the in-process virtual port or
// the pseudo-terminal server of tarnik-sim) hands it every byte the program
// sends, with the line settings the byte was sent at and the time it was sent,
// and takes the answer bytes from it, each with the time it is due and the line
// settings it goes out at. Single-threaded.
//
// What the module answers (every line ends in CR LF):
//   acceptance   "*" mnemonic ": " data, e.g. "*MOD: 0/1", "*VER: 1.00.003",
//                "*MAN: 123456789", "*SCI: 9600,8,N,1/19200,8,E,1", "*PFC: 0120/0000",
//                "*INI: OK"; data is "running/stored" for MOD, SAD, PAD, PAN, FRQ,
//                RTY, LED and PFC; a write is answered with the pair after it
//   rejection    "*NAK:" two-digit code: 01 unknown command (or a line that is no
//                request), 02 route not served, 03 parameter not taken
//
// Factory settings (taken by INI, both banks): mode 0, address 0, partner
// address 0, PAN 0, frequency 0, retry count 3, LED 1, line 9600 baud 8N1, pin
// functions 0000. The serial number and the version are not touched.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class KvClock;

namespace tarnik::sim {

class Radio;

using Micros = std::chrono::microseconds;

// Line settings as the module sees them on its side of the wire.
struct LineSettings {
    std::uint32_t baud = 9600;
    char dataBits = '8';  // '7' or '8'
    char parity = 'N';    // 'N', 'E', 'O'
    char stopBits = '1';  // '1' or '2'
    bool operator==(const LineSettings&) const = default;
};

// "9600,8,N,1", the form of the SCI command.
std::string FormatLine(const LineSettings& line);
// Time one character takes on the line: start bit, data bits, parity bit, stop bits.
Micros FrameTime(const LineSettings& line);

struct Bank {
    int mode = 0;
    int address = 0;
    int partnerAddress = 0;
    int pan = 0;
    int frequency = 0;
    int retryCount = 3;
    int led = 1;
    LineSettings line;
    char pins[4] = {'0', '0', '0', '0'};
    bool operator==(const Bank&) const = default;
};

// The settings INI restores.
Bank FactoryBank();

enum class FaultKind {
    Silence,         // no answer at all
    LateFirstByte,   // first byte `delay` late (later than any per-byte time-out of the program)
    CutAnswer,       // answer stops after `cutAfter` bytes
    Garbage,         // a line of noise (16 bytes, then CR LF) instead of the answer
    NulInAnswer,     // a NUL byte inserted before index `nulAt` of the answer
    Overlong,        // 300 bytes without CR LF
    Nak,             // "*NAK:" + nakCode; the request is not carried out
    NonNumericMan,   // MAN answers "*MAN: XXXXXXXXX" (matches MAN requests only)
    PortVanishes,    // the port disappears when the request comes: open, read and write fail
    StoredIgnored,   // a write changes the running value only ("@" none), and is answered as taken
    StoredOffByOne,  // a write of a value-pair setting stores one more than it was given
    Swap,            // another module takes this one's place as the request comes: the next
                     // serial number, factory settings at the same line settings
    Kill,            // the process serving the module ends at once, as by kill -9
};

// A fault applies to the next `count` requests the module hears whose mnemonic
// matches. Except for Nak and PortVanishes the request is carried out and only
// its answer is disturbed. A vanished port stays away until ClearFaults().
struct Fault {
    FaultKind kind = FaultKind::Silence;
    int count = 1;                          // for the next `count` matching requests (-1: forever)
    std::string mnemonic;                   // only requests with this mnemonic ("" = every request); with a
                                            // scope character before it ("+SAD") only requests with that scope
    int cutAfter = 3;                       // CutAnswer
    int nakCode = 3;                        // Nak, 0 to 99
    int skip = 0;                           // matching requests let pass before the fault applies (kill=N: N - 1)
    int nulAt = 6;                          // NulInAnswer
    std::chrono::milliseconds delay{1000};  // LateFirstByte, added to the usual latency
};

struct ModuleConfig {
    LineSettings line;  // line settings at start (running and stored)
    std::uint32_t serialNumber = 123456789;
    std::string version = "1.00.003";
    bool fixedPins = false;  // pin functions cannot be changed: every PFC write gets NAK 03
    int storedMode = 0;      // mode the module powered up with (1, 2: transparent, with the
                             // addresses the mode forces: master 0 and partner 1, slave 1 and 0)
    std::chrono::milliseconds firstByteLatency{2};
    std::chrono::milliseconds restartTime{800};  // deaf after INI; clamped to 0..1200 ms
    std::chrono::milliseconds escapeWindow{30000};
    bool neighbours = false;  // accept routed requests ("!"); the module answers for them itself
};

// One request heard and what was answered, for logs and tests. Both keep their
// CR LF; `answer` is the bytes sent (empty when the module kept silent).
struct Exchange {
    std::string request;
    std::string answer;
    Micros heardAt{0};
};

// One answer byte: due at the program's end of the line at `due`, sent at `line`.
struct OutputByte {
    std::uint8_t byte = 0;
    Micros due{0};
    LineSettings line;
};

class Module {
public:
    explicit Module(ModuleConfig config = {});

    // Switches the module off and on: running := stored; a stored mode of 1 or 2
    // starts transparent mode and the escape window opens.
    void PowerCycle();
    void PowerCycle(Micros at);

    void InjectFault(const Fault& f);
    // Removes every fault and brings a vanished port back.
    void ClearFaults();

    const Bank& Running() const { return running_; }
    const Bank& Stored() const { return stored_; }
    Bank& MutableRunning() { return running_; }
    Bank& MutableStored() { return stored_; }

    // The settings it listens at now (the old ones until an SCI or INI answer is out).
    LineSettings CurrentLine() const;
    LineSettings LineAt(Micros at) const;
    bool Transparent() const { return transparent_; }
    std::uint32_t SerialNumber() const { return config_.serialNumber; }
    const std::string& Version() const { return config_.version; }
    const ModuleConfig& Config() const { return config_; }
    const std::vector<Exchange>& Log() const { return log_; }
    // True while the module restarts after INI (it hears nothing).
    bool Restarting(Micros at) const { return at < deafUntil_; }
    bool PortVanished() const { return vanished_; }
    // A Kill fault met a request: the front-end ends its process.
    bool KillRequested() const { return killRequested_; }
    // Bytes that arrived at settings other than the module's (or while it was deaf).
    std::uint64_t IgnoredBytes() const { return ignoredBytes_; }

    // --- byte and time level, for the front-ends ---

    // Time source for PowerCycle() and CurrentLine(); the front-end attaches its
    // clock. Attaching re-bases the power-up time: the module is switched on when
    // it is connected. Without a clock the time of the latest byte serves.
    void AttachClock(KvClock* clock);
    // Characters take their frame time on the line in both directions.
    void SetPacedAtBaud(bool paced) { paced_ = paced; }
    bool PacedAtBaud() const { return paced_; }

    // One byte from the program, sent at `sentAt` starting at time `at`. Returns
    // the time the byte is complete at the module.
    Micros Receive(std::uint8_t byte, const LineSettings& sentAt, Micros at);

    // Answer bytes not yet taken, in order of their due times.
    const std::deque<OutputByte>& PendingOutput() const { return output_; }
    OutputByte TakeOutput();
    void DiscardOutput() { output_.clear(); }

    // The radio that carries what the module hears in transparent mode (null:
    // none; the bytes go nowhere).
    void AttachRadio(Radio* radio) { radio_ = radio; }
    Radio* AttachedRadio() const { return radio_; }
    // Bytes that came over the air, due at the module at `at`: in transparent
    // mode they go out on the serial line at the module's line settings.
    void FromAir(const std::string& bytes, Micros at);

private:
    Micros Now() const;
    void HandleLine(const std::string& line, Micros at);
    // What a fault does to an answer on its way out: cut, replaced, delayed.
    void Distort(const Fault& fault, std::string& answer, Micros& start);
    // Carries a request out; returns the answer line (CR LF included).
    std::string Execute(char scope, const std::string& mnemonic, const std::string& param, bool hasParam,
                        bool& sciChanged, bool& initialised);
    void Send(const std::string& answer, Micros start, const LineSettings& line);
    std::optional<Fault> TakeFault(char scope, const std::string& mnemonic);
    void CheckEscape(std::uint8_t byte, Micros at);

    ModuleConfig config_;
    Bank running_;
    Bank stored_;
    bool transparent_ = false;
    Micros poweredAt_{0};
    KvClock* clock_ = nullptr;
    bool paced_ = true;
    Micros lastEvent_{0};

    // Line held after an SCI or INI request until its answer is out.
    std::optional<LineSettings> holdLine_;
    Micros holdUntil_{0};
    Micros deafUntil_{0};
    Micros rxBusyUntil_{0};

    std::string lineBuffer_;
    bool lineOverflow_ = false;
    char lastByte_ = 0;
    std::string recent_;  // last bytes heard, for the escape string
    std::deque<OutputByte> output_;
    std::vector<Fault> faults_;
    bool vanished_ = false;
    bool killRequested_ = false;
    std::vector<Exchange> log_;
    std::uint64_t ignoredBytes_ = 0;
    std::uint32_t garbageSeed_ = 0x5eed1234u;
    Radio* radio_ = nullptr;
};

}  // namespace tarnik::sim
