#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "KvClock.h"

// Line parameters as the conduit hands them to its port: parity 0 none, 1 odd,
// 2 even; stopBits 0 one stop bit, 2 two stop bits.
struct KvLineParams {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    std::uint32_t parityCheck = 0;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
};

// Time-outs in milliseconds, in the order the conduit passes them.
struct KvPortTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readMultiplier = 0;
    std::uint32_t readConstant = 0;
    std::uint32_t writeMultiplier = 0;
    std::uint32_t writeConstant = 0;
};

// A port that lives inside the process (a simulated module, a test script).
// KvSerialPort::Open looks a name up here before it asks the operating system.
// Every operation returns false where the operating system's call would fail;
// ReadByte waits at most the read time-out, through the port's own clock.
class KvVirtualPort {
public:
    virtual ~KvVirtualPort() = default;
    virtual bool Open() = 0;
    virtual bool SetLine(const KvLineParams& line) = 0;
    virtual bool SetTimeouts(const KvPortTimeouts& timeouts) = 0;
    virtual bool WriteByte(std::uint8_t byte) = 0;
    virtual bool ReadByte(std::uint8_t& byte) = 0;
    virtual bool Close() = 0;
    // The clock its waits run on; nullptr: the steady clock.
    virtual KvClock* Clock() { return nullptr; }
};

namespace KvVirtualPorts {
// Names are compared without regard to letter case ("com1" finds "COM1").
void Register(const std::string& name, std::shared_ptr<KvVirtualPort> port);
void Unregister(const std::string& name);
std::shared_ptr<KvVirtualPort> Find(const std::string& name);

// Registers a port for the life of the object (tests, demo).
class Registration {
public:
    Registration(std::string name, std::shared_ptr<KvVirtualPort> port);
    ~Registration();
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    std::string name_;
};
}  // namespace KvVirtualPorts
