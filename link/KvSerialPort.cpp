#include "KvSerialPort.h"

// The platform-independent half: a registered virtual port takes precedence
// over the operating system's port of the same name.

KvSerialPort::KvSerialPort() = default;
KvSerialPort::~KvSerialPort() = default;

bool KvSerialPort::Open(KvString portName) {
    virtualPort_ = KvVirtualPorts::Find(portName.CStr());
    if (virtualPort_) {
        if (virtualPort_->Open()) return true;
        virtualPort_.reset();
        return false;
    }
    return OsOpen(portName);
}

bool KvSerialPort::SetLine(std::uint32_t baudRate, std::uint8_t byteSize, std::uint32_t parityCheck,
                           std::uint8_t parity, std::uint8_t stopBits) {
    const KvLineParams line{baudRate, byteSize, parityCheck, parity, stopBits};
    if (virtualPort_) {
        if (virtualPort_->SetLine(line)) return true;
        Close();
        return false;
    }
    return OsSetLine(line);
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
    if (virtualPort_) return virtualPort_->WriteByte(byte);
    return OsWriteByte(byte);
}

bool KvSerialPort::ReadByte(std::uint8_t& byte) {
    byte = 0;
    if (virtualPort_) return virtualPort_->ReadByte(byte);
    return OsReadByte(byte);
}

bool KvSerialPort::Close() {
    if (virtualPort_) {
        const bool ok = virtualPort_->Close();
        virtualPort_.reset();
        return ok;
    }
    return OsClose();
}

KvClock& KvSerialPort::Clock() const {
    if (virtualPort_) {
        if (KvClock* clock = virtualPort_->Clock()) return *clock;
    }
    return SteadyClock();
}
