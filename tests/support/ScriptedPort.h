#pragma once
// A virtual port scripted by a test: it records what the program writes and
// answers each complete request line (ending in LF) with the next scripted
// answer. Reads with nothing pending wait the read time-out on the clock.
#include <cstdint>
#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include "KvClock.h"
#include "KvVirtualPort.h"

// Line parameters and time-outs as one comparable value each, in the order of
// their fields, so that a test checks all of them in one expectation.
inline std::tuple<unsigned, int, unsigned, int, int> LineOf(const KvLineParams& l) {
    return {l.baudRate, l.byteSize, l.parityCheck, l.parity, l.stopBits};
}
inline std::tuple<unsigned, unsigned, unsigned, unsigned, unsigned> TimeoutsOf(const KvPortTimeouts& t) {
    return {t.readInterval, t.readMultiplier, t.readConstant, t.writeMultiplier, t.writeConstant};
}

class ScriptedPort : public KvVirtualPort {
public:
    explicit ScriptedPort(KvClock& clock) : clock_(clock) {}

    bool Open() override;
    bool SetLine(const KvLineParams& line) override;
    bool SetTimeouts(const KvPortTimeouts& timeouts) override;
    bool WriteByte(std::uint8_t byte) override;
    bool ReadByte(std::uint8_t& byte) override;
    bool Close() override;
    KvClock* Clock() override { return &clock_; }

    // Script
    std::deque<std::string> answers;  // one per request line; "" = silence; a leading "*~"
                                      // is "*" and the mnemonic heard ("*~: 0/0\r\n")
    std::string pendingInput;         // bytes ready to read now
    bool failOpen = false;
    bool failSetLine = false;
    bool failSetTimeouts = false;
    int failWriteAfter = -1;  // bytes accepted before writes fail (-1: never)

    // Record
    std::string written;
    std::vector<std::string> lines;  // complete request lines as written
    std::string currentLine;
    int openCount = 0;
    int closeCount = 0;
    bool isOpen = false;
    KvLineParams line;
    KvPortTimeouts timeouts;

private:
    KvClock& clock_;
};
