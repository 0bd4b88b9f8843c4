// The operating system's port, driven through a pseudo-terminal: the port
// opens the slave end by its path, the test plays the device on the master.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "KvSerialPort.h"
#include "KvStringPrinting.h"
#include "Processes.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void WriteAllTo(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, 2000) <= 0) return;
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
    }
}

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terminal.Ok());
        master = terminal.master();
        slavePath = terminal.path();
        conduit.portName = slavePath.c_str();
        conduit.SetLineSettings(9600, '8', 'N', '1');
        conduit.SelectTimeout();
    }

    void TearDown() override {
        if (conduit.IsOpen()) {
            conduit.keepOpen = true;
            conduit.Close();
        }
    }

    // The device answers every request line with the next of `answers` ("" stays silent).
    void Answer(std::deque<std::string> answers) {
        terminal.Respond([answers = std::move(answers)](const std::string&) mutable {
            std::string next;
            if (!answers.empty()) {
                next = answers.front();
                answers.pop_front();
            }
            return next;
        });
    }

    // Everything that reaches the master within the wait, up to `count` bytes.
    std::string Drain(std::size_t count, int waitMs = 2000) {
        std::string got;
        const auto end = Clock::now() + milliseconds(waitMs);
        while (got.size() < count && Clock::now() < end) {
            pollfd entry{master, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0 || !(entry.revents & POLLIN)) continue;
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    termios SlaveState() {
        termios state{};
        EXPECT_EQ(tcgetattr(master, &state), 0);
        return state;
    }
    // Opens the port in hold mode, then the terminal stops marking received
    // FF bytes: whatever the device sends arrives as it is, an FF 00 x of its own included.
    void OpenWithoutMarking() {
        conduit.keepOpen = true;
        conduit.Open();
        termios state = SlaveState();
        state.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
        ASSERT_EQ(tcsetattr(master, TCSANOW, &state), 0);
    }

    // Another holder of the port can have it once this one has let go.
    bool OthersCanOpen() {
        KvSerialPort other;
        if (!other.Open(slavePath.c_str())) return false;
        EXPECT_TRUE(other.Close());
        return true;
    }

    TestTerminal terminal;
    int master = -1;
    std::string slavePath;
    KvSerialConduit conduit;
};
}  // namespace

// How a line is cut (CR CR LF, 254 bytes, silence in the middle) is the
// conduit's own logic, tested over the scripted port; here only what the
// terminal itself could change.
TEST_F(PtyPortTest, AnswersComeBackAsLines) {
    Answer({"VER\r\n",
            std::string("12\0"
                        "34\r\n",
                        7),
            "\xFF"
            "a\xFF\xFF\r\n",
            std::string("\xFF\0Z\r\n", 5), "LAST\r\n"});

    conduit.keepOpen = true;
    conduit.Open();
    // Raw transfer in both directions: CR and LF pass untranslated.
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "VER\r\n");
    // A NUL from the device is a byte like any other: it shortens the text.
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "12");
    // Received FF bytes come through as themselves, FF 00 as well.
    EXPECT_EQ(conduit.Transact("-VER\r\n").Bytes(),
              "\xFF"
              "a\xFF\xFF\r\n");
    EXPECT_EQ(conduit.Transact("-VER\r\n").Bytes(), "\xFF");
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "LAST\r\n");
    conduit.Close();
    conduit.keepOpen = false;

    EXPECT_EQ(terminal.Lines(), std::vector<std::string>(5, "-VER\r\n"));
}

TEST_F(PtyPortTest, SilenceFailsTheReadAfterTheTimeoutAndReleasesThePort) {
    conduit.SetTimeout(200);
    // A late answer to an earlier request waits in the input queue: it is no
    // answer to the next request.
    WriteAllTo(master, "*MAN: 000000000\r\n");
    Drain(64, 200);  // the terminal's echo, before the port sets it raw
    const auto start = Clock::now();
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitReadException);
    // The port waited its time-out for the first byte (a lower bound only: how
    // much longer a loaded machine takes is no property of the port).
    EXPECT_GE(Clock::now() - start, milliseconds(200));
    EXPECT_FALSE(conduit.IsOpen());
    EXPECT_TRUE(OthersCanOpen());
    EXPECT_EQ(Drain(6), "-VER\r\n");
}

TEST_F(PtyPortTest, WritesGoOutRaw) {
    conduit.Write("A\r\nB\n\x01\x7F\xFF");
    EXPECT_EQ(Drain(8), "A\r\nB\n\x01\x7F\xFF");
    EXPECT_FALSE(conduit.IsOpen());

    // Nobody drains the line: the write gives up after the per-byte time-out
    // instead of waiting for ever.
    conduit.SetTimeout(20);
    const std::string flood(1 << 20, 'x');
    EXPECT_THROW(conduit.Write(flood.c_str()), KvConduitWriteException);
    EXPECT_FALSE(conduit.IsOpen());
    EXPECT_TRUE(OthersCanOpen());
}

TEST_F(PtyPortTest, PortIsHeldExclusively) {
    conduit.keepOpen = true;
    conduit.Open();

    KvSerialConduit second;
    second.portName = slavePath.c_str();
    second.SetLineSettings(9600, '8', 'N', '1');
    second.SelectTimeout();
    EXPECT_THROW(second.Write("x"), KvConduitOpenException);
    EXPECT_FALSE(second.IsOpen());

    // Another process is refused as well, even one run by root.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KvSerialPort port;
        _exit(port.Open(slavePath.c_str()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a second process opened a held port";

    conduit.Close();
    conduit.keepOpen = false;
    second.Write("x");
    EXPECT_EQ(Drain(1), "x");
}

TEST_F(PtyPortTest, PortsThatCannotBeHadFailToOpen) {
    KvSerialPort port;
    EXPECT_FALSE(port.Close()) << "closing a port that was never opened";
    for (const char* name : {"/dev/pts/no-such-terminal", "/dev/null", "COM0", "COM", "COMx", "COM01", "LPT1", "pts/0",
                             "", "COM1234567890"}) {
        conduit.portName = name;
        EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitOpenException) << name;
        EXPECT_FALSE(conduit.IsOpen()) << name;
    }
    EXPECT_TRUE(OthersCanOpen());
}

TEST_F(PtyPortTest, LineParametersReachTheTerminal) {
    conduit.keepOpen = true;
    conduit.SetLineSettings(19200, '8', 'N', '2');
    conduit.Open();
    termios state = SlaveState();
    EXPECT_EQ(cfgetospeed(&state), B19200);
    EXPECT_EQ(cfgetispeed(&state), B19200);
    EXPECT_TRUE(state.c_cflag & CSTOPB);
    EXPECT_TRUE(state.c_cflag & CLOCAL);
    EXPECT_TRUE(state.c_cflag & CREAD);
    EXPECT_FALSE(state.c_cflag & HUPCL);
#ifdef CRTSCTS
    EXPECT_FALSE(state.c_cflag & CRTSCTS);
#endif
    EXPECT_FALSE(state.c_iflag & (IXON | IXOFF | IXANY | ISTRIP | IGNPAR | ICRNL | INLCR | IGNCR | IGNBRK));
    EXPECT_TRUE(state.c_iflag & PARMRK);
    EXPECT_TRUE(state.c_iflag & INPCK);
    EXPECT_FALSE(state.c_oflag & OPOST);
    EXPECT_FALSE(state.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    conduit.Close();

    // Each opening takes the settings of that moment.
    conduit.SetLineSettings(1200, '7', 'O', '1');
    conduit.Open();
    state = SlaveState();
    EXPECT_EQ(cfgetospeed(&state), B1200);
    EXPECT_FALSE(state.c_cflag & CSTOPB);
    conduit.Close();

    const std::pair<std::uint32_t, speed_t> rates[] = {{2400, B2400},   {4800, B4800},   {9600, B9600},
                                                       {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& [baud, speed] : rates) {
        conduit.SetLineSettings(baud, '8', 'E', '1');
        conduit.Open();
        state = SlaveState();
        EXPECT_EQ(cfgetospeed(&state), speed) << baud;
        conduit.Close();
    }

    // A rate the port does not offer: the configuration fails and the port
    // is let go.
    conduit.SetLineSettings(300, '8', 'N', '1');
    EXPECT_THROW(conduit.Open(), KvConduitConfigException);
    EXPECT_FALSE(conduit.IsOpen());
    EXPECT_TRUE(OthersCanOpen());
    conduit.keepOpen = false;
}

TEST_F(PtyPortTest, LineErrorFailsEveryTransferUntilReopened) {
    // A line error reaches the program as the mark FF 00 x. A pseudo-terminal
    // never produces one, but with marking switched off on its side the
    // device's own FF 00 x arrives unescaped and looks exactly like one.
    conduit.SetTimeout(2000);
    OpenWithoutMarking();

    Answer({std::string("A\xFF\0U", 4)});
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "A");
    EXPECT_THROW(conduit.Write("x"), KvConduitWriteException);
    WriteAllTo(master, "B\r\n");
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_FALSE(conduit.IsOpen());

    // Opened again, the port works.
    conduit.Open();
    EXPECT_TRUE(SlaveState().c_iflag & PARMRK);
    WriteAllTo(master, "C\r\n");
    KvString line = conduit.Read();
    if (line == "B\r\n") line = conduit.Read();  // left over from before, if the terminal kept it
    EXPECT_EQ(line, "C\r\n");
    conduit.Close();
    conduit.keepOpen = false;
}

TEST_F(PtyPortTest, MarkSplitByATimeoutIsDecodedByTheNextRead) {
    conduit.SetTimeout(150);
    OpenWithoutMarking();

    // The FF arrives, the rest of the mark only after the read gave up: the
    // next read still sees FF 00 x, a line error, not a NUL.
    Answer({"X\xFF"});
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "X");
    WriteAllTo(master, std::string("\0Q", 2));
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_FALSE(conduit.IsOpen());

    // The same split of a received FF (FF FF) gives the FF.
    OpenWithoutMarking();
    WriteAllTo(master, "Z\xFF");
    EXPECT_EQ(conduit.Read(), "Z");
    WriteAllTo(master, "\xFFY\r\n");
    EXPECT_EQ(conduit.Read().Bytes(), "\xFFY\r\n");
    conduit.Close();
    conduit.keepOpen = false;
}

TEST_F(PtyPortTest, VanishedDeviceFailsAtOnce) {
    conduit.SetTimeout(30000);
    conduit.keepOpen = true;
    conduit.Open();
    terminal.HangUp();
    const auto start = Clock::now();
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_LT(Clock::now() - start, milliseconds(20000)) << "waited for a device that is gone";
    conduit.keepOpen = false;
}

namespace {

// Hangs the terminal up as the driver of a removed USB adapter does
// (vhangup): a child makes it its controlling terminal and hangs it up. False
// where the system does not let it (no CAP_SYS_TTY_CONFIG).
bool HangUpTerminal(const std::string& path) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        signal(SIGHUP, SIG_IGN);
        if (setsid() < 0) _exit(1);
        const int fd = open(path.c_str(), O_RDWR);
        if (fd < 0 || ioctl(fd, TIOCSCTTY, 1) != 0) _exit(1);
        _exit(vhangup() == 0 ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// A device that goes away during an exchange is told apart from a silent
// line: the exception names the device and carries the system's reason.
TEST(PtyPortGone, TheExceptionSaysTheDeviceWentAway) {
    enum class When { Silent, AwaitingAnswer, BeforeWrite, HungUp };
    using Cause = KvPortFailure::Cause;
    const struct {
        const char* name;
        When when;
        Cause cause;
        int osCode;
    } rows[] = {
        {"a silent line", When::Silent, Cause::Unknown, 0},
        {"far end gone while the answer is awaited", When::AwaitingAnswer, Cause::Gone, EIO},
        {"far end gone before the request is written", When::BeforeWrite, Cause::Gone, EIO},
        {"terminal hung up, as by a removed adapter's driver", When::HungUp, Cause::Gone, EIO},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestTerminal terminal;
        ASSERT_TRUE(terminal.Ok());
        KvSerialConduit conduit;
        conduit.portName = terminal.path().c_str();
        conduit.SetLineSettings(9600, '8', 'N', '1');
        conduit.SetTimeout(row.when == When::Silent ? 100 : 30000);
        conduit.keepOpen = true;
        conduit.Open();
        const auto start = Clock::now();
        KvPortFailure failure;
        try {
            switch (row.when) {
            case When::Silent: conduit.Read(); break;
            case When::AwaitingAnswer:
                terminal.Respond([&terminal](const std::string&) {
                    terminal.CloseMaster();
                    return std::string();
                });
                conduit.Transact("-VER\r\n");
                break;
            case When::BeforeWrite:
                terminal.CloseMaster();
                conduit.Write("-VER\r\n");
                break;
            case When::HungUp:
                if (!HangUpTerminal(terminal.path())) {
                    std::printf("not run: this process may not hang a terminal up\n");
                    conduit.Close();
                    continue;
                }
                conduit.Read();
                break;
            }
            ADD_FAILURE() << "no exception";
        } catch (const KvConduitReadException& e) {
            EXPECT_NE(row.when, When::BeforeWrite);
            failure = e.failure;
        } catch (const KvConduitWriteException& e) {
            EXPECT_EQ(row.when, When::BeforeWrite);
            failure = e.failure;
        }
        EXPECT_LT(Clock::now() - start, milliseconds(20000)) << "waited for a device that is gone";
        EXPECT_EQ(failure.cause, row.cause);
        EXPECT_EQ(failure.osCode, row.osCode);
        if (row.cause == Cause::Gone) {
            EXPECT_EQ(failure.path.Bytes(), terminal.path());
            EXPECT_EQ(failure.Summary().Bytes(),
                      terminal.path() + ": the device has gone (" + std::strerror(EIO) + ")");
        }
        conduit.Close();
    }
}
