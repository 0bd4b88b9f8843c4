#pragma once
// The in-process front-end of the simulated module: a virtual port that the
// program's KvSerialPort finds by name. It hands the module the exact line
// settings the program applied, so a wrong baud rate, data-bit count, parity or
// stop-bit count is noticed.
//
// Timing runs on the clock given: with paceAtBaud every character takes its
// frame time on the line (a write returns when its byte is out, answer bytes
// follow one another at the baud rate); without it, writes take no time and
// a whole answer is due after the module's latency.
//
// ReadByte waits at most the read time-out (readConstant + readMultiplier ms of
// SetTimeouts). With nothing due in that time it sleeps the whole time-out and
// returns false; otherwise it sleeps until the byte is due and returns it. With
// every read time-out 0 it waits for an answer byte already on its way and
// otherwise returns false at once. Answer bytes sent at settings other than the
// port's are lost, and so are bytes that fell due while the port was closed.
#include <cstdint>
#include <memory>

#include "KvClock.h"
#include "KvVirtualPort.h"
#include "TarnikModule.h"

namespace tarnik::sim {

// The program's line parameters as the module sees them: byteSize 7/8 gives
// '7'/'8', parity 0 'N', 1 'O', 2 'E' (3 and 4 'M' and 'S'), stopBits 0 '1',
// 1 'h' (one and a half), 2 '2'. Nothing the module listens at matches the
// odd values.
LineSettings FromLineParams(const KvLineParams& line);

class VirtualModulePort : public KvVirtualPort {
public:
    VirtualModulePort(std::shared_ptr<Module> module, KvClock& clock, bool paceAtBaud = true);

    // Fails while another open is active or when the port has vanished.
    bool Open() override;
    bool SetLine(const KvLineParams& line) override;
    bool SetTimeouts(const KvPortTimeouts& timeouts) override;
    bool WriteByte(std::uint8_t byte) override;
    bool ReadByte(std::uint8_t& byte) override;
    bool Close() override;

    int OpenCount() const { return openCount_; }
    bool IsOpen() const { return open_; }
    KvLineParams LastLine() const { return line_; }
    KvPortTimeouts LastTimeouts() const { return timeouts_; }

    Module& module() { return *module_; }
    KvClock& clock() { return clock_; }
    KvClock* Clock() override { return &clock_; }

private:
    std::shared_ptr<Module> module_;
    KvClock& clock_;
    bool open_ = false;
    int openCount_ = 0;
    Micros openedAt_{0};
    KvLineParams line_{};
    KvPortTimeouts timeouts_{};
};

}  // namespace tarnik::sim
