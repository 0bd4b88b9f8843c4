#include "KvSerialPort.h"

#include "KvPortTrace.h"

// The platform-independent half: a registered virtual port takes precedence
// over the operating system's port of the same name.

namespace {
KvPortTracer* tracer = nullptr;
}  // namespace

void KvSetPortTracer(KvPortTracer* t) { tracer = t; }
KvPortTracer* KvCurrentPortTracer() { return tracer; }

// Constructed and destroyed beside the platform's state (KvSerialPortPosix.cpp,
// KvSerialPortWin32.cpp).

bool KvSerialPort::Open(KvString portName) {
    const bool ok = OpenAny(portName);
    if (tracer) tracer->Opened(portName, ok);
    return ok;
}

bool KvSerialPort::OpenAny(const KvString& portName) {
    openFailure_ = KvPortOpenFailure{};
    ioFailure_ = KvPortFailure{};
    name_ = portName;
    virtualPort_ = KvVirtualPorts::Find(portName.CStr());
    if (virtualPort_) {
        if (virtualPort_->Open()) return true;
        virtualPort_.reset();
        openFailure_.cause = KvPortOpenFailure::Cause::Other;
        openFailure_.port = portName;
        openFailure_.osReason = "the simulated module's port is in use or has gone";
        return false;
    }
    return OsOpen(portName);
}

bool KvSerialPort::SetLine(std::uint32_t baudRate, std::uint8_t byteSize, std::uint32_t parityCheck,
                           std::uint8_t parity, std::uint8_t stopBits) {
    const KvLineParams line{baudRate, byteSize, parityCheck, parity, stopBits};
    bool ok = false;
    if (virtualPort_) {
        ok = virtualPort_->SetLine(line);
        if (!ok) Close();
    } else {
        ok = OsSetLine(line);
    }
    if (tracer) tracer->LineSet(line, ok);
    return ok;
}

bool KvSerialPort::SetTimeouts(std::uint32_t readInterval, std::uint32_t readMultiplier, std::uint32_t readConstant,
                               std::uint32_t writeMultiplier, std::uint32_t writeConstant) {
    const KvPortTimeouts t{readInterval, readMultiplier, readConstant, writeMultiplier, writeConstant};
    if (virtualPort_) {
        if (virtualPort_->SetTimeouts(t)) return true;
        Close();
        return false;
    }
    return OsSetTimeouts(t);
}

bool KvSerialPort::WriteByte(std::uint8_t byte) {
    const bool ok = virtualPort_ ? virtualPort_->WriteByte(byte) : OsWriteByte(byte);
    if (tracer) tracer->Wrote(byte, ok);
    return ok;
}

void KvSerialPort::WaitSent() {
    if (!virtualPort_) OsWaitSent();
}

bool KvSerialPort::ReadByte(std::uint8_t& byte) {
    byte = 0;
    const bool ok = virtualPort_ ? virtualPort_->ReadByte(byte) : OsReadByte(byte);
    if (tracer) tracer->Read(byte, ok);
    return ok;
}

bool KvSerialPort::Close() {
    bool ok = false;
    if (virtualPort_) {
        ok = virtualPort_->Close();
        virtualPort_.reset();
    } else {
        ok = OsClose();
    }
    if (tracer && ok) tracer->Closed();
    return ok;
}

void KvSerialPort::DeviceGone(const std::string& path, std::int64_t osCode, const KvString& osReason) {
    ioFailure_ = KvPortFailure{};
    ioFailure_.cause = KvPortFailure::Cause::Gone;
    ioFailure_.port = name_;
    ioFailure_.path = KvString(path.c_str(), static_cast<std::int32_t>(path.size()));
    ioFailure_.osCode = osCode;
    ioFailure_.osReason = osReason;
    // The port still uses the device until it is closed; a reservation must
    // not keep it beyond that (a removed adapter keeps its name taken while a
    // descriptor of it is open).
    KvPortReservations::Forget(device_.get());
}

KvClock& KvSerialPort::Clock() const {
    if (virtualPort_) {
        if (KvClock* clock = virtualPort_->Clock()) return *clock;
    }
    return SteadyClock();
}
