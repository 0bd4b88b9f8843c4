#pragma once
// The two pure halves of the POSIX serial port, apart from any descriptor so
// that tests and the fuzzer can run them as the port does.
#include <termios.h>

#include <cstdint>

#include "KvVirtualPort.h"

// What the port applies for one set of line parameters.
struct PosixLineSetup {
    struct termios state {};    // to be set with tcsetattr
    speed_t speed = 0;          // input and output speed, also set in `state`
    int modemLinesToClear = 0;  // TIOCM_ bits to clear (TIOCMBIC) once the line is set
};

// The terminal settings for `line`, made from what the port reported
// (`current`): raw 7- or 8-bit transfer without flow control, parity
// generated and checked exactly when odd or even parity is chosen, received
// errors marked in the data (PARMRK), one or two stop bits, reads that wait
// for one byte, and DTR and RTS inactive. False when the driver has no such
// setting (a baud rate or character size it does not know, parity above 2,
// a stop-bit code other than 0 or 2).
bool PosixLineFor(const struct termios& current, const KvLineParams& line, PosixLineSetup& out);

// The settings a terminal is left with when the program lets the device go:
// `current` with output speed 0 (B0), nothing else changed. The serial and USB-serial
// drivers keep a terminal's settings from one opening to the next (only a
// pseudo-terminal starts afresh) and raise DTR and RTS at an opening unless
// the speed is 0; the change to 0 drops them, HUPCL or not. Only the change
// from 0 to a speed raises them again, in the first PosixLineFor setting of
// the next opening, which drops them at once (modemLinesToClear).
// Async-signal-safe.
struct termios PosixLineAtRest(const struct termios& current);

// Decodes the input of a terminal with PARMRK set and IGNPAR clear: FF FF is
// a received FF, FF 00 x is a byte x that arrived with a parity or framing
// error (x = 0: a break), FF followed by anything else is an FF standing for
// itself, the other byte following it. A mark cut by a time-out is finished
// by the next bytes.
class PosixMarkDecoder {
public:
    enum class Step {
        More,      // part of a mark: feed the next byte
        Byte,      // `byte` is the next byte of the data
        LineError  // a byte came with a line error: the line has failed
    };
    Step Feed(std::uint8_t raw, std::uint8_t& byte);
    // A byte already decoded that comes before the next one read.
    bool TakePending(std::uint8_t& byte);
    void Reset();

private:
    std::uint8_t state_ = 0;  // 0 no mark, 1 after FF, 2 after FF 00
    int pending_ = -1;
};
