#include "VirtualModulePort.h"

#include <csignal>
#include <cstdlib>

namespace tarnik::sim {

LineSettings FromLineParams(const KvLineParams& line) {
    static constexpr char kParity[] = {'N', 'O', 'E', 'M', 'S'};
    static constexpr char kStop[] = {'1', 'h', '2'};
    LineSettings settings;
    settings.baud = line.baudRate;
    settings.dataBits = static_cast<char>('0' + (line.byteSize <= 9 ? line.byteSize : 0));
    settings.parity = line.parity < sizeof kParity ? kParity[line.parity] : '?';
    settings.stopBits = line.stopBits < sizeof kStop ? kStop[line.stopBits] : '?';
    return settings;
}

VirtualModulePort::VirtualModulePort(std::shared_ptr<Module> module, KvClock& clock, bool paceAtBaud)
    : module_(std::move(module)), clock_(clock) {
    module_->AttachClock(&clock_);
    module_->SetPacedAtBaud(paceAtBaud);
}

bool VirtualModulePort::Open() {
    if (open_ || module_->PortVanished()) return false;
    open_ = true;
    ++openCount_;
    openedAt_ = clock_.Now();
    return true;
}

bool VirtualModulePort::SetLine(const KvLineParams& line) {
    if (!open_ || module_->PortVanished()) return false;
    // What a serial driver refuses: no speed, a character size or a parity or
    // stop-bit code it does not know.
    if (line.baudRate == 0 || line.byteSize < 5 || line.byteSize > 8 || line.parity > 4 || line.stopBits > 2) {
        return false;
    }
    line_ = line;
    return true;
}

bool VirtualModulePort::SetTimeouts(const KvPortTimeouts& timeouts) {
    if (!open_ || module_->PortVanished()) return false;
    timeouts_ = timeouts;
    return true;
}

bool VirtualModulePort::WriteByte(std::uint8_t byte) {
    if (!open_ || module_->PortVanished()) return false;
    const Micros done = module_->Receive(byte, FromLineParams(line_), clock_.Now());
    // The module lives in this process: a kill ends it, and the program with it.
    if (module_->KillRequested()) {
#ifdef SIGKILL
        std::raise(SIGKILL);
#else
        std::_Exit(137);
#endif
    }
    if (module_->PacedAtBaud()) clock_.SleepUntil(done);
    return true;
}

bool VirtualModulePort::ReadByte(std::uint8_t& byte) {
    byte = 0;
    if (!open_ || module_->PortVanished()) return false;
    const LineSettings mine = FromLineParams(line_);
    const bool waitForAny = timeouts_.readInterval == 0 && timeouts_.readMultiplier == 0 && timeouts_.readConstant == 0;
    const Micros deadline = clock_.Now() + std::chrono::milliseconds{timeouts_.readConstant + timeouts_.readMultiplier};
    for (;;) {
        const auto& pending = module_->PendingOutput();
        // Bytes that arrived while nobody listened are gone.
        if (!pending.empty() && pending.front().due < openedAt_) {
            module_->TakeOutput();
            continue;
        }
        if (pending.empty() || (!waitForAny && pending.front().due > deadline)) {
            if (!waitForAny) clock_.SleepUntil(deadline);
            return false;
        }
        clock_.SleepUntil(pending.front().due);
        const OutputByte out = module_->TakeOutput();
        if (module_->PortVanished()) return false;
        if (!(out.line == mine)) continue;  // not readable at this port's settings
        byte = out.byte;
        return true;
    }
}

bool VirtualModulePort::Close() {
    if (!open_) return false;
    open_ = false;
    return true;
}

}  // namespace tarnik::sim
