// The operating system's serial port on Windows: a synchronous COM handle
// with per-byte time-outs; a line error aborts every later read and write
// until the port is opened again.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <utility>

#include "KvPortName.h"
#include "KvPortReservation.h"
#include "KvSerialPort.h"

// The exclusive handle of the device, shared by the ports of this process
// that opened it and by a reservation of the port. The last of them to let
// go closes it.
class KvHeldDevice {
public:
    KvHeldDevice(HANDLE h, std::string devicePath) : handle(h), path(std::move(devicePath)) {}
    ~KvHeldDevice() { CloseHandle(handle); }
    KvHeldDevice(const KvHeldDevice&) = delete;
    KvHeldDevice& operator=(const KvHeldDevice&) = delete;

    const HANDLE handle;
    const std::string path;
};

// Not every Windows SDK's headers name it (mingw-w64's do not).
#ifndef ERROR_NO_SUCH_DEVICE
#define ERROR_NO_SUCH_DEVICE 433L
#endif

namespace {

// The system's own text for an error code, in the user's language as the
// system has it (a Japanese Windows says it in Japanese), as UTF-8, without the
// line break (and the English full stop) it ends with. The wide call: the narrow one gives
// the ANSI code page (932 on a Japanese Windows), which is no UTF-8.
KvString SystemErrorText(DWORD error) {
    constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(kFlags, nullptr, error, GetUserDefaultUILanguage(), text, 512, nullptr);
    // No text in that language: the system's own choice of language.
    if (n == 0) n = FormatMessageW(kFlags, nullptr, error, 0, text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L' ' || text[n - 1] == L'.')) {
        --n;
    }
    std::string message;
    if (n > 0) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        message.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), message.data(), bytes, nullptr, nullptr);
    }
    if (message.empty()) message = "error " + std::to_string(error);
    return KvString(message.c_str(), static_cast<std::int32_t>(message.size()));
}

// Why a port could not be had: the system's code and text, and what they mean.
KvPortOpenFailure OpenFailureFor(const KvString& portName, const std::string& path, DWORD error) {
    KvPortOpenFailure failure;
    failure.port = portName;
    failure.path = KvString(path.c_str(), static_cast<std::int32_t>(path.size()));
    failure.osCode = error;
    failure.osReason = SystemErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: failure.cause = KvPortOpenFailure::Cause::NoSuchPort; break;
    // A COM port that another program has open is refused with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: failure.cause = KvPortOpenFailure::Cause::Busy; break;
    default: failure.cause = KvPortOpenFailure::Cause::Other; break;
    }
    return failure;
}

// A driver may refuse a state only because it holds all of it that it can
// hold already: a pseudo-terminal behind Wine always runs 8 data bits and
// drops the parity-enable flag, and reopened at 7 data bits or with parity,
// at the settings it was left at, Wine's request changes nothing it can take
// and comes back as "invalid parameter" (Wine then also leaves the flow control
// and the special characters unset). Through a neighbouring state, one with
// the other number of stop bits, the same request is a change again. A driver
// that refuses the settings themselves refuses them the second time as well;
// nothing is sent on the line in between.
bool SetCommStateAgain(HANDLE handle, const DCB& wanted) {
    if (GetLastError() != ERROR_INVALID_PARAMETER) return false;
    DCB neighbour = wanted;
    neighbour.StopBits = wanted.StopBits == ONESTOPBIT ? TWOSTOPBITS : ONESTOPBIT;
    DCB copy = wanted;
    return SetCommState(handle, &neighbour) && SetCommState(handle, &copy);
}

}  // namespace

struct KvSerialPort::Os {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB lineState{};
    COMMTIMEOUTS timeouts{};
    DWORD lastWritten = 0;
    // A line error fails every later read and write until the port is opened again.
    bool lineError = false;

    // The driver refused the line settings or the time-outs: why, as the
    // system says it, is kept as the port's open failure (the port could not
    // be had at these settings), and the port is closed.
    static void LineRefused(KvSerialPort& port);
};

void KvSerialPort::Os::LineRefused(KvSerialPort& port) {
    const DWORD error = GetLastError();
    port.openFailure_ = OpenFailureFor(port.name_, port.device_ ? port.device_->path : std::string(), error);
    port.OsClose();
}

KvSerialPort::KvSerialPort() : os_(std::make_unique<Os>()) {}
KvSerialPort::~KvSerialPort() = default;

bool KvSerialPort::OsOpen(const KvString& portName) {
    if (os_->handle != INVALID_HANDLE_VALUE) OsClose();
    const std::string& name = portName.Bytes();
    // An embedded NUL would silently cut the name short.
    if (name.empty() || name.find('\0') != std::string::npos) {
        openFailure_.cause = KvPortOpenFailure::Cause::NoSuchPort;
        openFailure_.port = portName;
        openFailure_.osReason = "not a port name";
        return false;
    }
    // The device namespace reaches every COM port, COM10 and above included,
    // and any other device by its name (a virtual port driver's "CNCA0").
    std::string path = KvPortDevicePath(name);
    if (path.empty()) path = "\\\\.\\" + name;
    const bool reserved = KvPortReservations::Reserved(name);
    if (reserved) {
        if (std::shared_ptr<KvHeldDevice> held = KvPortReservations::Held(name)) {
            // The device is ours already. Its errors are cleared as a new
            // opening would find them; a device that has gone since (an
            // adapter unplugged) cannot even be asked, and is opened anew.
            DWORD errors = 0;
            if (ClearCommError(held->handle, &errors, nullptr)) {
                device_ = std::move(held);
                os_->handle = device_->handle;
                os_->lineError = false;
                return true;
            }
            KvPortReservations::Forget(held.get());
        }
    }
    os_->handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* exclusive */, nullptr, OPEN_EXISTING,
                              0 /* synchronous */, nullptr);
    if (os_->handle == INVALID_HANDLE_VALUE) {
        openFailure_ = OpenFailureFor(portName, path, GetLastError());
        return false;
    }
    // A name that leads to no serial port (another kind of device, or one
    // that has gone behind a name still listed) answers no line state: refused
    // for that, with the system's reason, before any setting is tried.
    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(os_->handle, &state)) {
        openFailure_ = OpenFailureFor(portName, path, GetLastError());
        CloseHandle(os_->handle);
        os_->handle = INVALID_HANDLE_VALUE;
        return false;
    }
    device_ = std::make_shared<KvHeldDevice>(os_->handle, path);
    if (reserved) KvPortReservations::Hold(name, device_);
    os_->lineError = false;
    return true;
}

bool KvSerialPort::OsSetLine(const KvLineParams& line) {
    if (os_->handle == INVALID_HANDLE_VALUE) return false;
    os_->lineState = DCB{};
    os_->lineState.DCBlength = sizeof(DCB);
    if (!GetCommState(os_->handle, &os_->lineState)) {
        Os::LineRefused(*this);
        return false;
    }
    os_->lineState.BaudRate = line.baudRate;
    os_->lineState.ByteSize = line.byteSize;
    os_->lineState.Parity = line.parity;
    os_->lineState.StopBits = line.stopBits;

    os_->lineState.fBinary = TRUE;
    os_->lineState.fParity = line.parityCheck != 0 ? TRUE : FALSE;
    os_->lineState.fOutxCtsFlow = FALSE;
    os_->lineState.fOutxDsrFlow = FALSE;
    os_->lineState.fDtrControl = DTR_CONTROL_DISABLE;
    os_->lineState.fDsrSensitivity = FALSE;
    os_->lineState.fOutX = FALSE;
    os_->lineState.fInX = FALSE;
    os_->lineState.fNull = FALSE;
    os_->lineState.fRtsControl = RTS_CONTROL_DISABLE;
    os_->lineState.fAbortOnError = TRUE;
    // fTXContinueOnXoff, fErrorChar, the XON/XOFF limits and characters and
    // the error, end and event characters keep what the port reported.

    if (!SetCommState(os_->handle, &os_->lineState) && !SetCommStateAgain(os_->handle, os_->lineState)) {
        Os::LineRefused(*this);
        return false;
    }
    // Whatever waits in the input queue came before the port was ours (a late
    // answer to an earlier request): it must never be taken for the next answer.
    (void)PurgeComm(os_->handle, PURGE_RXCLEAR);
    return true;
}

bool KvSerialPort::OsSetTimeouts(const KvPortTimeouts& t) {
    if (os_->handle == INVALID_HANDLE_VALUE) return false;
    if (!GetCommTimeouts(os_->handle, &os_->timeouts)) {
        Os::LineRefused(*this);
        return false;
    }
    os_->timeouts.ReadIntervalTimeout = t.readInterval;
    os_->timeouts.ReadTotalTimeoutMultiplier = t.readMultiplier;
    os_->timeouts.ReadTotalTimeoutConstant = t.readConstant;
    os_->timeouts.WriteTotalTimeoutMultiplier = t.writeMultiplier;
    os_->timeouts.WriteTotalTimeoutConstant = t.writeConstant;
    if (!SetCommTimeouts(os_->handle, &os_->timeouts)) {
        Os::LineRefused(*this);
        return false;
    }
    return true;
}

bool KvSerialPort::OsWriteByte(std::uint8_t byte) {
    if (os_->handle == INVALID_HANDLE_VALUE || os_->lineError) return false;
    os_->lastWritten = 0;
    if (!WriteFile(os_->handle, &byte, 1, &os_->lastWritten, nullptr)) {
        TransferFailed(GetLastError());
        return false;
    }
    // A write time-out returns success with nothing written: the byte has
    // not gone out, so that is a failure too.
    return os_->lastWritten == 1;
}

// WriteFile on a port opened without overlapped I/O returns once the driver
// has passed the byte on: there is nothing left to wait for.
void KvSerialPort::OsWaitSent() {}

bool KvSerialPort::OsReadByte(std::uint8_t& byte) {
    if (os_->handle == INVALID_HANDLE_VALUE || os_->lineError) return false;
    std::uint8_t received = 0;
    DWORD count = 0;
    if (!ReadFile(os_->handle, &received, 1, &count, nullptr)) {
        TransferFailed(GetLastError());
        return false;
    }
    if (count != 1) return false;
    byte = received;
    return true;
}

void KvSerialPort::TransferFailed(std::int64_t code) {
    const DWORD error = static_cast<DWORD>(code);
    switch (error) {
    case ERROR_OPERATION_ABORTED: {
        // A line error aborts every transfer (fAbortOnError) until the
        // errors are cleared; the port keeps failing until it is opened
        // again. A device that has gone cannot even be asked.
        DWORD errors = 0;
        if (ClearCommError(os_->handle, &errors, nullptr)) {
            os_->lineError = true;
            return;
        }
        break;
    }
    // What the serial and USB-serial drivers answer once their device is removed.
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NO_SUCH_DEVICE:
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED: break;
    default: return;
    }
    DeviceGone(device_->path, error, SystemErrorText(error));
}

bool KvSerialPort::OsClose() {
    if (os_->handle == INVALID_HANDLE_VALUE) return false;
    // The last user of the device closes its os_->handle; under a reservation the
    // device stays held.
    device_.reset();
    os_->handle = INVALID_HANDLE_VALUE;
    os_->lineError = false;
    return true;
}
