#include "PosixLine.h"

#include <sys/ioctl.h>

namespace {

constexpr std::uint8_t kMarkByte = 0xFF;

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

}  // namespace

bool PosixLineFor(const struct termios& current, const KvLineParams& line, PosixLineSetup& out) {
    speed_t speed{};
    tcflag_t size{};
    if (!SpeedFor(line.baudRate, speed) || !CharacterSizeFor(line.byteSize, size) || line.parity > 2 ||
        (line.stopBits != 0 && line.stopBits != 2)) {
        return false;
    }
    struct termios state = current;

    // Raw transfer: no line editing, no echo, no signals, no translation of
    // CR or LF in either direction, no output processing.
    state.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    state.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    state.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
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

    if (cfsetispeed(&state, speed) != 0 || cfsetospeed(&state, speed) != 0) return false;
    out.state = state;
    out.speed = speed;
    out.modemLinesToClear = TIOCM_DTR | TIOCM_RTS;
    return true;
}

struct termios PosixLineAtRest(const struct termios& current) {
    // The output speed is the one that drives the modem lines; the input
    // speed stays as it was.
    struct termios rest = current;
    (void)cfsetospeed(&rest, B0);
    return rest;
}

PosixMarkDecoder::Step PosixMarkDecoder::Feed(std::uint8_t raw, std::uint8_t& byte) {
    if (state_ == 0) {
        if (raw == kMarkByte) {
            state_ = 1;
            return Step::More;
        }
        byte = raw;
        return Step::Byte;
    }
    if (state_ == 1) {
        if (raw == 0) {
            state_ = 2;
            return Step::More;
        }
        state_ = 0;
        // FF FF is a received FF. An FF followed by anything else is no mark:
        // the FF stands for itself and the other byte comes next.
        if (raw != kMarkByte) pending_ = raw;
        byte = kMarkByte;
        return Step::Byte;
    }
    // FF 00 x: x arrived with a parity or framing error, or x = 0 is a break.
    state_ = 0;
    return Step::LineError;
}

bool PosixMarkDecoder::TakePending(std::uint8_t& byte) {
    if (pending_ < 0) return false;
    byte = static_cast<std::uint8_t>(pending_);
    pending_ = -1;
    return true;
}

void PosixMarkDecoder::Reset() {
    state_ = 0;
    pending_ = -1;
}
