#pragma once
#include <cstdint>
#include <memory>

#include "KvClock.h"
#include "KvExceptions.h"
#include "KvPortReservation.h"
#include "KvString.h"
#include "KvVirtualPort.h"

// Thin wrapper around the operating system's serial port. Every operation
// reports success as a bool and never throws; KvSerialConduit turns false into
// exceptions. A name registered as a virtual port is served by that port
// instead of the operating system. A port that a KvPortReservation reserves
// opens and closes on the device the reservation holds (KvPortReservation.h).
// The destructor does not close the port.
class KvSerialPort {
public:
    KvSerialPort();
    virtual ~KvSerialPort();
    KvSerialPort(const KvSerialPort&) = delete;
    KvSerialPort& operator=(const KvSerialPort&) = delete;

    bool Open(KvString portName);
    // parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 2 two. On failure the port is closed.
    bool SetLine(std::uint32_t baudRate, std::uint8_t byteSize, std::uint32_t parityCheck, std::uint8_t parity,
                 std::uint8_t stopBits);
    // On failure the port is closed.
    bool SetTimeouts(std::uint32_t readInterval, std::uint32_t readMultiplier, std::uint32_t readConstant,
                     std::uint32_t writeMultiplier, std::uint32_t writeConstant);
    bool WriteByte(std::uint8_t byte);
    // Returns once the bytes written have left the driver for the line, or
    // after kSentBoundMs at most. A module's answer time-out counts from when
    // it can have heard the request: a USB adapter's driver keeps written
    // bytes until the adapter has taken them, which on a loaded host can take
    // longer than the time-out itself.
    void WaitSent();
    static constexpr int kSentBoundMs = 1000;
    // Sets byte to 0 first; true only when exactly one byte was read.
    bool ReadByte(std::uint8_t& byte);
    bool Close();
    // The clock the port's waits run on: a virtual port's own, else the steady clock.
    KvClock& Clock() const;

    // Why the last Open failed, as far as the system tells; cleared by a
    // successful Open.
    const KvPortOpenFailure& OpenFailure() const { return openFailure_; }
    // Why the last byte read or written failed when the device went away
    // (cause Gone: an adapter unplugged, a terminal hung up), with the
    // system's reason; cause Unknown after a time-out or a line error.
    // Cleared by Open.
    const KvPortFailure& IoFailure() const { return ioFailure_; }

private:
    bool OpenAny(const KvString& portName);
    bool OsOpen(const KvString& portName);
    bool OsSetLine(const KvLineParams& line);
    bool OsSetTimeouts(const KvPortTimeouts& t);
    bool OsWriteByte(std::uint8_t byte);
    void OsWaitSent();
    bool OsReadByte(std::uint8_t& byte);
    bool OsClose();

    std::shared_ptr<KvVirtualPort> virtualPort_;
    KvPortOpenFailure openFailure_;
    KvPortFailure ioFailure_;
    // The operating system's device while the port is open, shared with a
    // reservation of the port and the other ports that opened it.
    std::shared_ptr<KvHeldDevice> device_;
    KvString name_;  // as the last Open was given it
    // The device (`path`) has gone: the failure is remembered, and no
    // reservation keeps the device any more.
    void DeviceGone(const std::string& path, std::int64_t osCode, const KvString& osReason);

    // A read or write failed with the system's `error` (errno or a hang-up on
    // Linux, GetLastError on Windows): remembered when the device has gone; on
    // Windows a line error fails the port until it is opened again.
    void TransferFailed(std::int64_t error);

    // The platform's handle and line state, defined beside the platform's code
    // (KvSerialPortPosix.cpp, KvSerialPortWin32.cpp): no file that uses a port
    // sees <windows.h> or <termios.h>.
    struct Os;
    std::unique_ptr<Os> os_;
};
