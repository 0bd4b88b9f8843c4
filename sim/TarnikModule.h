#pragma once
// The simulated Tarnik module: an independent model of the module's side of the
// line. It shares no code with the program's protocol or device layers.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tarnik::sim {

// Line settings as the module sees them on its side of the wire.
struct LineSettings {
    std::uint32_t baud = 9600;
    char dataBits = '8';  // '7' or '8'
    char parity = 'N';    // 'N', 'E', 'O'
    char stopBits = '1';  // '1' or '2'
    bool operator==(const LineSettings&) const = default;
};

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
};

enum class FaultKind {
    Silence,        // no answer at all
    LateFirstByte,  // first byte later than any per-byte time-out of the program
    CutAnswer,      // answer stops after `cutAfter` bytes
    Garbage,        // a line of noise instead of the answer
    NulInAnswer,    // a NUL byte inside the answer
    Overlong,       // 300 bytes without CR LF
    Nak,            // "*NAK:" + nakCode
    NonNumericMan,  // MAN answers with letters where the digits belong
    PortVanishes,   // the port disappears: open, read and write fail
};

struct Fault {
    FaultKind kind = FaultKind::Silence;
    int count = 1;             // for the next `count` matching requests (-1: forever)
    std::string mnemonic;      // only requests with this mnemonic ("" = every request)
    int cutAfter = 3;          // CutAnswer
    int nakCode = 3;           // Nak
};

struct ModuleConfig {
    LineSettings line;                 // line settings at start (running and stored)
    std::uint32_t serialNumber = 123456789;
    std::string version = "1.00.003";
    bool fixedPins = false;
    int storedMode = 0;                // mode the module powered up with
    std::chrono::milliseconds firstByteLatency{2};
    std::chrono::milliseconds restartTime{800};   // deaf after INI, at most 1200 ms
    std::chrono::milliseconds escapeWindow{30000};
    bool neighbours = false;           // accept routed requests ("!")
};

// One request heard and what was answered, for logs and tests.
struct Exchange {
    std::string request;
    std::string answer;
};

}  // namespace tarnik::sim
