// The operating system's serial port on Linux and macOS: termios for the line,
// a bounded wait for every byte, flock plus TIOCEXCL for exclusive access.
#include "KvSerialPort.h"

#include "KvOpenPorts.h"
#include "KvPortHolders.h"
#include "KvPortName.h"
#include "KvPortReservation.h"
#include "PosixLine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#ifdef __APPLE__
#include <sys/select.h>
#else
#include <poll.h>
#endif

#if defined(__linux__)
#include <linux/serial.h>
#endif

// One descriptor of the device, with its flock and the terminal's exclusive
// flag, shared by the ports of this process that opened it and by a
// reservation of the port. The last of them to let go releases the device.
class KvHeldDevice {
public:
    KvHeldDevice(int descriptor, std::string devicePath) : fd(descriptor), path(std::move(devicePath)) {}
    ~KvHeldDevice() { KvOpenPorts::Release(fd); }
    KvHeldDevice(const KvHeldDevice&) = delete;
    KvHeldDevice& operator=(const KvHeldDevice&) = delete;

    const int fd;
    const std::string path;
};

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// What a failed read() or write() is told by, besides its errno: the terminal
// was hung up (a read of 0 bytes, or a descriptor that reports a hang-up or
// an error and has nothing to transfer).
constexpr int kHungUp = -1;

// A terminal hung up (the driver of a removed USB adapter does that to every
// descriptor of it), or a device the driver no longer has.
bool DeviceGoneError(int error) { return error == kHungUp || error == EIO || error == ENXIO || error == ENODEV; }

// A descriptor held across openings still leads to the device: a terminal
// hung up since (an adapter unplugged and perhaps plugged in again) does not.
bool StillThere(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) >= 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

// DTR and RTS inactive. A pseudo-terminal has no modem lines; its refusal is
// of no consequence.
void DropModemLines(int fd, int lines) {
    if (lines != 0) (void)ioctl(fd, TIOCMBIC, &lines);
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
// descriptor fail at once; the transfer tried then says what it was.
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

// One byte read or written (`forWrite`) within the deadline. On Failed,
// `error` holds the errno of the transfer, or kHungUp.
Transfer TransferByte(int fd, bool forWrite, std::uint8_t& byte, Deadline deadline, int& error) {
    for (;;) {
        const Wait wait = WaitFor(fd, forWrite, deadline);
        if (wait == Wait::TimedOut) return Transfer::TimedOut;
        const ssize_t done = forWrite ? write(fd, &byte, 1) : read(fd, &byte, 1);
        if (done == 1) return Transfer::Done;
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            error = errno;
            return Transfer::Failed;
        }
        // Readable yet nothing to read is the end of the terminal's input: it
        // was hung up. So is a descriptor in a failed state that transfers nothing.
        if ((!forWrite && done == 0) || wait == Wait::Failed) {
            error = kHungUp;
            return Transfer::Failed;
        }
    }
}

}  // namespace

struct KvSerialPort::Os {
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
    // Starts on descriptor `fd` (-1: closed) with a clean line state.
    void Use(int fd) {
        handle = fd;
        lineError = false;
        marks.Reset();
        errorCountBase = -1;
    }
};

KvSerialPort::KvSerialPort() : os_(std::make_unique<Os>()) {}
KvSerialPort::~KvSerialPort() = default;

bool KvSerialPort::OsOpen(const KvString& portName) {
    if (os_->handle >= 0) OsClose();
    const std::string path = KvPortDevicePath(portName.Bytes());
    if (path.empty()) {
        openFailure_.cause = KvPortOpenFailure::Cause::NoSuchPort;
        openFailure_.port = portName;
        openFailure_.osReason = "not a port name (COMn or a device path)";
        return false;
    }
    const bool reserved = KvPortReservations::Reserved(portName.Bytes());
    if (reserved) {
        if (std::shared_ptr<KvHeldDevice> held = KvPortReservations::Held(portName.Bytes())) {
            if (StillThere(held->fd)) {
                // The device is ours already: no opening, no raised modem lines,
                // no moment in which another program could take it.
                device_ = std::move(held);
                os_->Use(device_->fd);
                return true;
            }
            // Gone since it was held: the port is opened anew.
            KvPortReservations::Forget(held.get());
        }
    }

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, errno);
        return false;
    }
    // /dev/null, a file or a pseudo-terminal's master side (/dev/ptmx opens a
    // new one) is no serial port: it is refused for what it is, before anyone
    // is looked for who holds it.
    bool ptyMaster = false;
#ifdef TIOCGPTN
    unsigned ptyNumber = 0;
    ptyMaster = ioctl(fd, TIOCGPTN, &ptyNumber) == 0;
#endif
    if (!isatty(fd) || ptyMaster) {
        close(fd);
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, ENOTTY);
        openFailure_.osReason = "not a serial port";
        return false;
    }
    // A program that opened the device before us without a lock would take
    // the module's answers: the port is exclusive, so it counts as busy.
    const std::string holder = os_->holderCheck_.Holder(path);
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
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, error);
        return false;
    }
    // Listed before the flag is set, so a program ended by a signal clears it.
    KvOpenPorts::Add(fd);
    if (ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        KvOpenPorts::Remove(fd);
        close(fd);
        openFailure_ = KvOpenFailureFor(portName.Bytes(), path, error);
        return false;
    }
    DropModemLines(fd, TIOCM_DTR | TIOCM_RTS);

    device_ = std::make_shared<KvHeldDevice>(fd, path);
    if (reserved) KvPortReservations::Hold(portName.Bytes(), device_);
    os_->Use(fd);
    return true;
}

bool KvSerialPort::OsSetLine(const KvLineParams& line) {
    if (os_->handle < 0) return false;
    struct termios current {};
    PosixLineSetup setup;
    if (tcgetattr(os_->handle, &current) != 0 || !PosixLineFor(current, line, setup)) {
        OsClose();
        return false;
    }
    const struct termios& state = setup.state;
    const speed_t speed = setup.speed;

    struct termios applied {};
    // The C library reports EINVAL when the driver overrode the character size
    // or the parity bit and took the rest: a pseudo-terminal always runs 8 data
    // bits without parity. The speed check below still decides.
    const bool set = tcsetattr(os_->handle, TCSANOW, &state) == 0 || errno == EINVAL;
    // The drivers raise DTR and RTS when a terminal leaves speed 0 (as it
    // rests between runs, PosixLineAtRest): down again at once.
    DropModemLines(os_->handle, setup.modemLinesToClear);
    if (!set || tcgetattr(os_->handle, &applied) != 0 || cfgetospeed(&applied) != speed ||
        cfgetispeed(&applied) != speed) {
        // tcsetattr succeeds when any part was taken: a driver that refused
        // the speed shows it only in what it reports back.
        OsClose();
        return false;
    }
    os_->lineState = applied;
    // Whatever waits in the input queue came before the port was ours (a late
    // answer to an earlier request, noise at other settings): it must never be
    // taken for the answer to the next request.
    (void)tcflush(os_->handle, TCIFLUSH);
    // What arrived while the port still ran at its old settings is no error
    // of this line.
    os_->errorCountBase = os_->ReadErrorCount();
    return true;
}

bool KvSerialPort::OsSetTimeouts(const KvPortTimeouts& t) {
    if (os_->handle < 0) return false;
    os_->timeouts = t;
    return true;
}

bool KvSerialPort::OsWriteByte(std::uint8_t byte) {
    if (os_->handle < 0 || os_->LineFailed()) return false;
    const Deadline deadline = DeadlineAfter(os_->timeouts.writeMultiplier, os_->timeouts.writeConstant);
    int error = 0;
    if (TransferByte(os_->handle, true, byte, deadline, error) == Transfer::Done) return true;
    if (error != 0) TransferFailed(error);
    return false;
}

void KvSerialPort::OsWaitSent() {
    if (os_->handle < 0) return;
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSentBoundMs);
    // The output queue's length counts what the driver has not passed on yet
    // (a pseudo-terminal reports none). A failing descriptor ends the wait:
    // the read that follows says what happened.
    for (;;) {
        int queued = 0;
        if (ioctl(os_->handle, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void KvSerialPort::TransferFailed(std::int64_t error) {
    if (!DeviceGoneError(error)) return;
    int code = static_cast<int>(error);
    if (code == kHungUp) {
        // A hung-up terminal refuses every request with the system's own reason.
        struct termios probe {};
        code = tcgetattr(os_->handle, &probe) != 0 ? errno : 0;
    }
    DeviceGone(device_->path, code, code != 0 ? KvString(std::strerror(code)) : KvString("hung up"));
}

bool KvSerialPort::OsReadByte(std::uint8_t& byte) {
    if (os_->handle < 0 || os_->LineFailed()) return false;
    if (os_->marks.TakePending(byte)) return true;
    const Deadline deadline = DeadlineAfter(os_->timeouts.readMultiplier, os_->timeouts.readConstant);
    for (;;) {
        std::uint8_t raw = 0;
        // A time-out in the middle of a mark keeps the decoder's state, so the
        // rest of the mark is decoded by the next read.
        int error = 0;
        if (TransferByte(os_->handle, false, raw, deadline, error) != Transfer::Done) {
            if (error != 0) TransferFailed(error);
            return false;
        }
        switch (os_->marks.Feed(raw, byte)) {
        case PosixMarkDecoder::Step::More: continue;
        case PosixMarkDecoder::Step::Byte: return !os_->LineFailed();
        case PosixMarkDecoder::Step::LineError: os_->lineError = true; return false;
        }
    }
}

bool KvSerialPort::OsClose() {
    if (os_->handle < 0) return false;
    // The last user of the device releases it (KvOpenPorts::Release): the
    // exclusive flag belongs to the terminal, not to the descriptor, and would
    // outlive it while anybody else (a pseudo-terminal's master) keeps the
    // terminal open. Under a reservation the device stays held.
    device_.reset();
    os_->Use(-1);
    return true;
}

long long KvSerialPort::Os::ReadErrorCount() const {
#if defined(__linux__) && defined(TIOCGICOUNT)
    // An overrun is never marked in the data; the driver only counts it.
    serial_icounter_struct count{};
    if (ioctl(handle, TIOCGICOUNT, &count) == 0) {
        return static_cast<long long>(count.frame) + count.parity + count.overrun + count.brk + count.buf_overrun;
    }
#endif
    return -1;
}

bool KvSerialPort::Os::LineFailed() {
    if (!lineError && errorCountBase >= 0) {
        const long long count = ReadErrorCount();
        if (count >= 0 && count != errorCountBase) lineError = true;
    }
    return lineError;
}
