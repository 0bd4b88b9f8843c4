// A reserved port stays this process's own between its openings: other
// processes are refused as busy and told who holds it, openings in this
// process work on the device already held, and the device rests at speed 0
// once the last reservation has let it go.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "KvPortReservation.h"
#include "KvSerialConduit.h"
#include "KvSerialPort.h"
#include "Processes.h"

namespace {

speed_t SpeedOf(const TestTerminal& terminal) {
    termios state{};
    EXPECT_EQ(tcgetattr(terminal.master(), &state), 0);
    return cfgetospeed(&state);
}

// Whether another process could take the device now: open it and lock it.
bool AnotherProcessCanLock(const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

char Receive(int fd) {
    char c = 0;
    return read(fd, &c, 1) == 1 ? c : '\0';
}

void Send(int fd, char c) { EXPECT_EQ(write(fd, &c, 1), 1); }

}  // namespace

TEST(PortReservation, AnotherProcessIsRefusedUntilTheReservationEnds) {
    TestTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string path = terminal.path();
    int toHolder[2], fromHolder[2];
    ASSERT_EQ(pipe(toHolder), 0);
    ASSERT_EQ(pipe(fromHolder), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        // Nothing of the test's pseudo-terminal: the holder is a rival, not its far end.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != toHolder[0] && fd != fromHolder[1]) close(fd);
        }
        {
            KvPortReservation reservation(path.c_str());
            KvSerialConduit conduit;
            conduit.portName = path.c_str();
            conduit.SetLineSettings(19200, '8', 'N', '1');
            conduit.SelectTimeout();
            conduit.Write("x");  // opened, written, closed again
            Send(fromHolder[1], 'h');
            if (Receive(toHolder[0]) != 'e') _exit(1);
        }
        Send(fromHolder[1], 'r');
        Receive(toHolder[0]);  // until the test is done
        _exit(0);
    }
    close(toHolder[0]);
    close(fromHolder[1]);
    ASSERT_EQ(Receive(fromHolder[0]), 'h');

    // Between its openings the port is still the holder's, with its line.
    KvSerialPort rival;
    EXPECT_FALSE(rival.Open(path.c_str()));
    EXPECT_EQ(rival.OpenFailure().cause, KvPortFailure::Cause::Busy);
    EXPECT_NE(rival.OpenFailure().heldBy.Bytes().find("(pid " + std::to_string(holder) + ")"), std::string::npos)
        << rival.OpenFailure().Summary().Bytes();
    EXPECT_EQ(SpeedOf(terminal), B19200);

    // Let go: at rest, and open to the next program at once.
    Send(toHolder[1], 'e');
    ASSERT_EQ(Receive(fromHolder[0]), 'r');
    EXPECT_EQ(SpeedOf(terminal), B0);
    EXPECT_TRUE(rival.Open(path.c_str())) << rival.OpenFailure().Summary().Bytes();
    rival.Close();

    close(toHolder[1]);
    close(fromHolder[0]);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(PortReservation, OpeningsInThisProcessUseTheHeldDevice) {
    TestTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string path = terminal.path();
    KvPortReservation outer(path.c_str());
    EXPECT_FALSE(outer.Holds());  // nothing is taken before the first opening
    KvSerialPort first;
    ASSERT_TRUE(first.Open(path.c_str()));
    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(outer.Holds());
    EXPECT_FALSE(AnotherProcessCanLock(path)) << "the lock was dropped between two openings";
    {
        KvPortReservation inner(path.c_str());
        // A descriptor of its own would be refused by the lock this process
        // holds: both open on the one held, side by side.
        KvSerialPort second, third;
        EXPECT_TRUE(second.Open(path.c_str())) << second.OpenFailure().Summary().Bytes();
        EXPECT_TRUE(third.Open(path.c_str())) << third.OpenFailure().Summary().Bytes();
        EXPECT_TRUE(second.Close());
        EXPECT_TRUE(third.Close());
    }
    EXPECT_FALSE(AnotherProcessCanLock(path)) << "a nested reservation let the port go";
    outer.Release();
    EXPECT_FALSE(outer.Holds());
    EXPECT_TRUE(AnotherProcessCanLock(path));
}
