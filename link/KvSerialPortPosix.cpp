// The operating system's serial port on Linux and macOS: termios for the line,
// a bounded wait for every byte, flock plus TIOCEXCL for exclusive access.
#include "KvSerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

#ifdef __APPLE__
#include <sys/select.h>
#else
#include <poll.h>
#endif

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace {

using Deadline = std::chrono::steady_clock::time_point;

constexpr std::uint8_t kMarkByte = 0xFF;

// "COM1" (any letter case) is the first serial port, /dev/ttyS0; a name that
// starts with "/" is a device path. Anything else names no port.
bool DevicePathFor(const std::string& name, std::string& path) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    if (name[0] == '/') {
        path = name;
        return true;
    }
    if (name.size() < 4) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (static_cast<char>(name[i] & ~0x20) != "COM"[i]) return false;
    }
    const std::string digits = name.substr(3);
    // Decimal without a leading zero, at most nine digits (no overflow).
    if (digits.size() > 9 || digits[0] == '0') return false;
    long number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    path = "/dev/ttyS" + std::to_string(number - 1);
    return true;
}

bool SpeedFor(std::uint32_t baudRate, speed_t& speed) {
    switch (baudRate) {
        case 1200: speed = B1200; return true;
        case 2400: speed = B2400; return true;
        case 4800: speed = B4800; return true;
        case 9600: speed = B9600; return true;
        case 19200: speed = B19200; return true;
        case 38400: speed = B38400; return true;
        case 57600: speed = B57600; return true;
        case 115200: speed = B115200; return true;
        default: return false;
    }
}

bool CharacterSizeFor(std::uint8_t byteSize, tcflag_t& size) {
    switch (byteSize) {
        case 5: size = CS5; return true;
        case 6: size = CS6; return true;
        case 7: size = CS7; return true;
        case 8: size = CS8; return true;
        default: return false;
    }
}

// DTR and RTS inactive. A pseudo-terminal has no modem lines; its refusal is
// of no consequence.
void DropModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);
}

Deadline DeadlineAfter(std::uint32_t multiplier, std::uint32_t constant) {
    // One byte per call: the multiplier counts once.
    const auto total = std::chrono::milliseconds(static_cast<std::int64_t>(multiplier) + constant);
    return std::chrono::steady_clock::now() + total;
}

// Milliseconds left until the deadline, rounded up, 0 once it has passed.
int MillisecondsLeft(Deadline deadline) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

enum class Wait { Ready, TimedOut, Failed };

// Waits until the port can be read (or written) or the deadline has passed.
// A hang-up without pending input, an error condition or an invalid
// descriptor fail at once.
Wait WaitFor(int fd, bool forWrite, Deadline deadline) {
    for (;;) {
        const int left = MillisecondsLeft(deadline);
#ifdef __APPLE__
        // poll() does not serve character devices on macOS; select() does.
        if (fd >= FD_SETSIZE) return Wait::Failed;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval timeout{left / 1000, static_cast<suseconds_t>((left % 1000) * 1000)};
        const int ready = forWrite ? select(fd + 1, nullptr, &set, nullptr, &timeout)
                                   : select(fd + 1, &set, nullptr, nullptr, &timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        if (ready > 0) return Wait::Ready;
#else
        pollfd entry{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int ready = poll(&entry, 1, left);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        if (ready > 0) {
            if (entry.revents & (POLLERR | POLLNVAL)) return Wait::Failed;
            if (entry.revents & (forWrite ? POLLOUT : POLLIN)) return Wait::Ready;
            if (entry.revents & POLLHUP) return Wait::Failed;
            continue;
        }
#endif
        if (left == 0) return Wait::TimedOut;
    }
}

enum class Transfer { Done, TimedOut, Failed };

Transfer ReadRaw(int fd, std::uint8_t& byte, Deadline deadline) {
    for (;;) {
        switch (WaitFor(fd, false, deadline)) {
            case Wait::TimedOut: return Transfer::TimedOut;
            case Wait::Failed: return Transfer::Failed;
            case Wait::Ready: break;
        }
        const ssize_t got = read(fd, &byte, 1);
        if (got == 1) return Transfer::Done;
        // Readable yet nothing to read: the device has gone.
        if (got == 0) return Transfer::Failed;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return Transfer::Failed;
    }
}

}  // namespace

bool KvSerialPort::OsOpen(const KvString& portName) {
    if (handle >= 0) OsClose();
    std::string path;
    if (!DevicePathFor(portName.Bytes(), path)) {
        openFailure_.cause = KvPortOpenFailure::Cause::NoSuchPort;
        openFailure_.port = portName;
        openFailure_.osReason = "not a port name (COMn or a device path)";
        return false;
    }

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, errno);
        return false;
    }
    // A program that opened the device before us without a lock would take
    // the module's answers: the port is exclusive, so it counts as busy.
    const std::string holder = holderCheck_.Holder(path);
    if (!holder.empty()) {
        close(fd);
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, EBUSY);
        openFailure_.heldBy = KvString(holder.c_str(), static_cast<std::int32_t>(holder.size()));
        return false;
    }
    // flock holds against every other opener, root included, and against a
    // second descriptor in this process; TIOCEXCL keeps ordinary users from
    // opening the device at all while it is held. The lock comes first: an
    // opener that loses it must not touch the holder's exclusive flag.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        close(fd);
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, error);
        return false;
    }
    DropModemLines(fd);

    handle = fd;
    lineError = false;
    pendingByte = -1;
    markState = 0;
    errorCountBase = -1;
    return true;
}

bool KvSerialPort::OsSetLine(const KvLineParams& line) {
    if (handle < 0) return false;
    speed_t speed{};
    tcflag_t size{};
    const bool valid = SpeedFor(line.baudRate, speed) && CharacterSizeFor(line.byteSize, size) &&
                       line.parity <= 2 && (line.stopBits == 0 || line.stopBits == 2);
    struct termios state {};
    if (!valid || tcgetattr(handle, &state) != 0) {
        OsClose();
        return false;
    }

    // Raw transfer: no line editing, no echo, no signals, no translation of
    // CR or LF in either direction, no output processing.
    state.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    state.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    state.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                            IXOFF | IXANY);
#ifdef IUCLC
    state.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
#ifdef IMAXBEL
    state.c_iflag &= ~static_cast<tcflag_t>(IMAXBEL);
#endif
    // Received errors (parity, framing, break) come through as the marks
    // FF 00 x, a received FF as FF FF. Framing errors are only reported while
    // input checking is on, so it stays on unless parity is generated but
    // deliberately not checked.
    state.c_iflag |= PARMRK;
    if (line.parity != 0 && line.parityCheck == 0) {
        state.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    } else {
        state.c_iflag |= INPCK;
    }

    state.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | HUPCL);
#ifdef CRTSCTS
    state.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
#ifdef CMSPAR
    state.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    state.c_cflag |= size | CLOCAL | CREAD;
    if (line.parity == 1) state.c_cflag |= PARENB | PARODD;
    if (line.parity == 2) state.c_cflag |= PARENB;
    if (line.stopBits == 2) state.c_cflag |= CSTOPB;

    // Reads wait through poll with their own deadline, never in the driver.
    state.c_cc[VMIN] = 1;
    state.c_cc[VTIME] = 0;

    struct termios applied {};
    // The C library reports EINVAL when the driver overrode the character size
    // or the parity bit and took the rest: a pseudo-terminal always runs 8 data
    // bits without parity. The speed check below still decides.
    if (cfsetispeed(&state, speed) != 0 || cfsetospeed(&state, speed) != 0 ||
        (tcsetattr(handle, TCSANOW, &state) != 0 && errno != EINVAL) || tcgetattr(handle, &applied) != 0 ||
        cfgetospeed(&applied) != speed || cfgetispeed(&applied) != speed) {
        // tcsetattr succeeds when any part was taken: a driver that refused
        // the speed shows it only in what it reports back.
        OsClose();
        return false;
    }
    // A change of speed may raise the modem lines again.
    DropModemLines(handle);
    lineState = applied;
    // What arrived while the port still ran at its old settings is no error
    // of this line.
    errorCountBase = ReadErrorCount();
    return true;
}

bool KvSerialPort::OsSetTimeouts(const KvPortTimeouts& t) {
    if (handle < 0) return false;
    timeouts = t;
    return true;
}

bool KvSerialPort::OsWriteByte(std::uint8_t byte) {
    if (handle < 0 || LineFailed()) return false;
    const Deadline deadline = DeadlineAfter(timeouts.writeMultiplier, timeouts.writeConstant);
    for (;;) {
        if (WaitFor(handle, true, deadline) != Wait::Ready) return false;
        const ssize_t put = write(handle, &byte, 1);
        if (put == 1) return true;
        if (put < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    }
}

bool KvSerialPort::OsReadByte(std::uint8_t& byte) {
    if (handle < 0 || LineFailed()) return false;
    if (pendingByte >= 0) {
        byte = static_cast<std::uint8_t>(pendingByte);
        pendingByte = -1;
        return true;
    }
    const Deadline deadline = DeadlineAfter(timeouts.readMultiplier, timeouts.readConstant);
    for (;;) {
        std::uint8_t raw = 0;
        // A time-out in the middle of a mark keeps markState, so the rest of
        // the mark is decoded by the next read.
        if (ReadRaw(handle, raw, deadline) != Transfer::Done) return false;
        if (markState == 0) {
            if (raw == kMarkByte) {
                markState = 1;
                continue;
            }
            if (LineFailed()) return false;
            byte = raw;
            return true;
        }
        if (markState == 1) {
            if (raw == 0) {
                markState = 2;
                continue;
            }
            markState = 0;
            // FF FF is a received FF. An FF followed by anything else is no
            // mark: the FF stands for itself and the other byte comes next.
            if (raw != kMarkByte) pendingByte = raw;
            if (LineFailed()) return false;
            byte = kMarkByte;
            return true;
        }
        // FF 00 x: x arrived with a parity or framing error, or x = 0 is a break.
        markState = 0;
        lineError = true;
        return false;
    }
}

bool KvSerialPort::OsClose() {
    if (handle < 0) return false;
    // The exclusive flag belongs to the terminal, not to this descriptor, and
    // would outlive it while anybody else (a pseudo-terminal's master) keeps
    // the terminal open.
    (void)ioctl(handle, TIOCNXCL);
    const bool closed = close(handle) == 0;
    handle = -1;
    lineError = false;
    pendingByte = -1;
    markState = 0;
    errorCountBase = -1;
    return closed;
}

long long KvSerialPort::ReadErrorCount() const {
#if defined(__linux__) && defined(TIOCGICOUNT)
    // An overrun is never marked in the data; the driver only counts it.
    serial_icounter_struct count {};
    if (ioctl(handle, TIOCGICOUNT, &count) == 0) {
        return static_cast<long long>(count.frame) + count.parity + count.overrun + count.brk + count.buf_overrun;
    }
#endif
    return -1;
}

bool KvSerialPort::LineFailed() {
    if (!lineError && errorCountBase >= 0) {
        const long long count = ReadErrorCount();
        if (count >= 0 && count != errorCountBase) lineError = true;
    }
    return lineError;
}
