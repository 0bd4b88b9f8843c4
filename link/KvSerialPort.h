#pragma once
#include <cstdint>
#include <memory>

#include "KvExceptions.h"
#include "KvClock.h"
#include "KvPortReservation.h"
#include "KvString.h"
#include "KvVirtualPort.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> defines far and near as empty macros; they would eat names in
// every file that includes this header.
#undef far
#undef near
#else
#include <termios.h>

#include "KvPortHolders.h"
#include "PosixLine.h"
#endif

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

#ifdef _WIN32
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB lineState{};
    COMMTIMEOUTS timeouts{};
    DWORD lastWritten = 0;
    // A line error fails every later read and write until the port is opened again.
    bool lineError = false;
    // A read or write failed with `error` (GetLastError): remembered when the
    // device has gone; a line error fails the port until it is opened again.
    void TransferFailed(DWORD error);
#else
    int handle = -1;
    struct termios lineState {};
    KvPortTimeouts timeouts{};
    // A parity, framing or overrun error fails every later read and write
    // until the port is opened again (as the Windows abort-on-error does).
    bool lineError = false;
    // The PARMRK marks in the input; a mark cut by a time-out is finished by
    // the next read.
    PosixMarkDecoder marks;
    // The driver's error counters (frame, parity, overrun, break) when the
    // line was set, or -1 where the driver keeps none (pseudo-terminals).
    long long errorCountBase = -1;
    // Who else has the device open (checked at every opening).
    KvPortHolderCheck holderCheck_;
    long long ReadErrorCount() const;
    bool LineFailed();
    // A read or write failed with `error` (errno, or a hang-up): remembered
    // when the device has gone.
    void TransferFailed(int error);
#endif
};
