#include "KvSerialConduit.h"

#include "KvExceptions.h"

#include <chrono>
#include <climits>

KvSerialConduit::KvSerialConduit() = default;

// Users close the conduit before they let it go. Should one not (an exception
// that left hold mode open), the port is released here rather than held
// exclusively until the program ends.
KvSerialConduit::~KvSerialConduit() {
    if (isOpen) ClosePort();
}

void KvSerialConduit::SetLineSettings(std::uint32_t baud, std::int32_t dataBits, std::int32_t parityToken,
                                      std::int32_t stopBitsToken) {
    baudRate = baud;
    byteSize = dataBits == '7' ? 7 : 8;
    if (parityToken == 'E') {
        parity = 2;
        parityCheck = 1;
    } else if (parityToken == 'O') {
        parity = 1;
        parityCheck = 1;
    } else {
        parity = 0;
        parityCheck = 0;
    }
    stopBits = stopBitsToken == '2' ? 2 : 0;
}

std::uint32_t KvSerialConduit::TimeoutForBaudRate(std::uint32_t baud) {
    switch (baud) {
    case 2400: return 150;
    case 4800: return 100;
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200: return 70;
    default: return 240;
    }
}

void KvSerialConduit::SelectTimeout() { timeoutMs = TimeoutForBaudRate(baudRate); }

void KvSerialConduit::SetTimeout(std::uint32_t milliseconds) { timeoutMs = milliseconds; }

void KvSerialConduit::OpenPort() {
    if (!port.Open(portName)) throw KvConduitOpenException(port.OpenFailure());
    if (!port.SetLine(baudRate, byteSize, parityCheck, parity, stopBits)) {
        throw KvConduitConfigException(port.OpenFailure());
    }
    if (!port.SetTimeouts(0, 0, timeoutMs, 0, timeoutMs)) throw KvConduitConfigException(port.OpenFailure());
    isOpen = true;
}

void KvSerialConduit::ClosePort() {
    port.Close();
    isOpen = false;
}

void KvSerialConduit::Open() {
    if (keepOpen && !isOpen) OpenPort();
}

void KvSerialConduit::Close() {
    if (keepOpen && isOpen) ClosePort();
}

std::uint32_t KvSerialConduit::AnswerBoundMs() const {
    // Start bit, data bits, parity bit, stop bits.
    const std::uint64_t bitsPerCharacter = 1u + byteSize + (parity != 0 ? 1u : 0u) + (stopBits == 2 ? 2u : 1u);
    const std::uint64_t baud = baudRate == 0 ? 1 : baudRate;
    const std::uint64_t lineMs =
        (2u * static_cast<std::uint64_t>(answerLimit < 0 ? 0 : answerLimit) * bitsPerCharacter * 1000u + baud - 1) /
        baud;
    const std::uint64_t bound = timeoutMs + lineMs + kAnswerMarginMs;
    return bound > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bound);
}

// One byte within the per-byte time-out, and within what is left of the
// answer's overall bound. The port's read time-out is shortened only for the
// last waits of a line; ReadLine puts it back.
bool KvSerialConduit::ReadAnswerByte(std::uint8_t& byte, KvClock::Duration end, std::uint32_t& readTimeout) {
    if (!isOpen) return false;
    KvClock& clock = port.Clock();
    const KvClock::Duration now = clock.Now();
    if (now >= end) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
    const std::uint32_t wanted = left < timeoutMs ? static_cast<std::uint32_t>(left) : timeoutMs;
    if (wanted != readTimeout) {
        readTimeout = wanted;
        if (!port.SetTimeouts(0, 0, wanted, 0, timeoutMs)) {
            // The port has closed itself.
            isOpen = false;
            return false;
        }
    }
    return port.ReadByte(byte);
}

KvString KvSerialConduit::ReadLine() {
    char buffer[256];
    int n = 0;
    bool previousWasCr = false;
    bool firstFailed = false;
    std::uint32_t readTimeout = timeoutMs;
    const KvClock::Duration end =
        (isOpen ? port.Clock().Now() : KvClock::Duration::zero()) + std::chrono::milliseconds(AnswerBoundMs());
    for (;;) {
        std::uint8_t byte = 0;
        const bool ok = ReadAnswerByte(byte, end, readTimeout);
        buffer[n] = static_cast<char>(ok ? byte : 0);
        ++n;
        if (!ok) {
            firstFailed = (n == 1);
            break;
        }
        if (byte == 13) {
            previousWasCr = true;
        } else if (previousWasCr && byte == 10) {
            break;
        } else {
            previousWasCr = false;
        }
        if (n >= 254) break;
    }
    buffer[n] = 0;
    if (readTimeout != timeoutMs && isOpen && !port.SetTimeouts(0, 0, timeoutMs, 0, timeoutMs)) isOpen = false;
    // An adapter pulled while the answer was awaited says so; a silent line does not.
    if (firstFailed) throw KvConduitReadException(port.IoFailure());
    return KvString(buffer);
}

void KvSerialConduit::WriteAll(const KvString& text) {
    const char* bytes = text.CStr();
    for (std::int32_t i = 0; i < text.Length(); ++i) {
        if (!isOpen) throw KvConduitWriteException();
        if (!port.WriteByte(static_cast<std::uint8_t>(bytes[i]))) throw KvConduitWriteException(port.IoFailure());
    }
    port.WaitSent();
}

KvString KvSerialConduit::Read() {
    if (!keepOpen && !isOpen) OpenPort();
    try {
        KvString line = ReadLine();
        if (!keepOpen && isOpen) ClosePort();
        return line;
    } catch (const KvConduitException&) {
        // In hold mode the port is closed and stays closed until Open().
        // In per-call mode it is closed as well, so that a failed read does
        // not keep the port held until some later operation.
        if (isOpen) ClosePort();
        throw;
    }
}

void KvSerialConduit::Write(const KvString& text) {
    if (!keepOpen && !isOpen) OpenPort();
    try {
        WriteAll(text);
    } catch (const KvConduitException&) {
        if (!keepOpen && isOpen) ClosePort();
        throw;
    }
    if (!keepOpen && isOpen) ClosePort();
}

KvString KvSerialConduit::Transact(const KvString& request) {
    if (!keepOpen && !isOpen) OpenPort();
    KvString answer;
    try {
        WriteAll(request);
        answer = ReadLine();
    } catch (const KvConduitException&) {
        if (!keepOpen && isOpen) ClosePort();
        throw;
    }
    if (!keepOpen && isOpen) ClosePort();
    return answer;
}
