// The terminal settings the POSIX port applies, as a function of the line
// settings. A pseudo-terminal forces 8 data bits and no parity on itself, so
// this is where character size and parity are checked.
#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include "PosixLine.h"

TEST(PosixLine, TermiosFollowsTheLineSettings) {
    struct Row {
        KvLineParams line;  // baud, byteSize, parityCheck, parity (0 N, 1 O, 2 E), stopBits (0 one, 2 two)
        bool valid;
        speed_t speed;
        tcflag_t size, parenb, parodd, cstopb, inpck;
    };
    const Row rows[] = {
        {{9600, 8, 0, 0, 0}, true, B9600, CS8, 0, 0, 0, INPCK},
        {{57600, 7, 1, 2, 0}, true, B57600, CS7, PARENB, 0, 0, INPCK},          // 7E1
        {{1200, 7, 1, 1, 2}, true, B1200, CS7, PARENB, PARODD, CSTOPB, INPCK},  // 7O2
        {{38400, 8, 1, 1, 0}, true, B38400, CS8, PARENB, PARODD, 0, INPCK},     // 8O1
        {{2400, 8, 1, 2, 2}, true, B2400, CS8, PARENB, 0, CSTOPB, INPCK},       // 8E2
        {{4800, 8, 0, 2, 0}, true, B4800, CS8, PARENB, 0, 0, 0},                // parity sent but not checked
        {{300, 8, 0, 0, 0}, false, 0, 0, 0, 0, 0, 0},
        {{9600, 9, 0, 0, 0}, false, 0, 0, 0, 0, 0, 0},
        {{9600, 8, 1, 3, 0}, false, 0, 0, 0, 0, 0, 0},
        {{9600, 8, 0, 0, 1}, false, 0, 0, 0, 0, 0, 0},
    };
    // Whatever the port reported before: every flag set.
    struct termios dirty {};
    dirty.c_iflag = dirty.c_oflag = dirty.c_cflag = dirty.c_lflag = ~static_cast<tcflag_t>(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.line.baudRate << " " << int(row.line.byteSize) << " parity "
                                        << int(row.line.parity) << " stop " << int(row.line.stopBits));
        PosixLineSetup setup;
        ASSERT_EQ(PosixLineFor(dirty, row.line, setup), row.valid);
        if (!row.valid) continue;
        const struct termios& t = setup.state;
        EXPECT_EQ(cfgetispeed(&t), row.speed);
        EXPECT_EQ(cfgetospeed(&t), row.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, row.size);
        EXPECT_EQ(t.c_cflag & PARENB, row.parenb);
        EXPECT_EQ(t.c_cflag & PARODD, row.parodd);
        EXPECT_EQ(t.c_cflag & CSTOPB, row.cstopb);
        EXPECT_EQ(t.c_iflag & INPCK, row.inpck);
        // Raw, no flow control, errors marked, one byte per read.
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & (CRTSCTS | HUPCL), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ISTRIP | IGNPAR | ICRNL | INLCR | IGNCR | IGNBRK | BRKINT), 0u);
        EXPECT_EQ(t.c_iflag & PARMRK, tcflag_t(PARMRK));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 1);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        // DTR and RTS inactive.
        EXPECT_EQ(setup.modemLinesToClear, TIOCM_DTR | TIOCM_RTS);

        // Let go, the line rests at speed 0 (no modem lines raised by the next
        // opening) and keeps the rest of its settings.
        const struct termios rest = PosixLineAtRest(t);
        EXPECT_EQ(cfgetospeed(&rest), speed_t(B0));
        EXPECT_EQ(rest.c_cflag & ~static_cast<tcflag_t>(CBAUD), t.c_cflag & ~static_cast<tcflag_t>(CBAUD));
        EXPECT_EQ(rest.c_iflag, t.c_iflag);
        EXPECT_EQ(rest.c_lflag, t.c_lflag);
        // And from rest the next setting takes its speed again.
        PosixLineSetup again;
        ASSERT_TRUE(PosixLineFor(rest, row.line, again));
        EXPECT_EQ(cfgetospeed(&again.state), row.speed);
    }
}
