// Why a port cannot be opened: the system's reason and path, and a device that
// another process already holds open (seen in /proc) or has locked the UUCP way.
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "KvExceptions.h"
#include "KvPortHolders.h"
#include "KvSerialConduit.h"
#include "KvSerialPort.h"
#include "Processes.h"

namespace {

using Cause = KvPortOpenFailure::Cause;

KvPortOpenFailure OpenFailureOf(const std::string& path) {
    KvSerialConduit conduit;
    conduit.portName = path.c_str();
    conduit.SetLineSettings(9600, '8', 'N', '1');
    conduit.SelectTimeout();
    try {
        conduit.Transact("-MAN\r\n");
    } catch (const KvConduitOpenException& e) {
        // The documented text stays as it is; the reason travels beside it.
        EXPECT_EQ(e.Describe(), KvString("KvConduitOpenException"));
        return e.failure;
    } catch (const KvConduitException&) {
    }
    ADD_FAILURE() << path << " opened";
    return {};
}

}  // namespace

TEST(PortOpenFailure, AProcessThatOpenedTheDeviceFirstHoldsIt) {
    TestTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string path = terminal.path();
    {
        // Opened without any lock, as `cat` or a terminal program does.
        HoldingProcess cat([&] { (void)!open(path.c_str(), O_RDWR | O_NOCTTY); });
        const KvPortOpenFailure failure = OpenFailureOf(path);
        EXPECT_EQ(failure.cause, Cause::Busy);
        EXPECT_EQ(failure.path.Bytes(), path);
        EXPECT_EQ(failure.osReason.Bytes(), std::strerror(EBUSY));
        EXPECT_NE(failure.heldBy.Bytes().find("(pid " + std::to_string(cat.pid()) + ")"), std::string::npos)
            << failure.heldBy.Bytes();
        EXPECT_NE(failure.Summary().Bytes().find("held by"), std::string::npos);
    }
    // Gone: the port opens again (this process's own hold on both ends of the
    // pseudo-terminal is the far end's, not a rival's).
    KvSerialPort port;
    EXPECT_TRUE(port.Open(path.c_str()));
    port.Close();

    // Another process playing the device on the master end, holding the slave
    // open as simulators do, is no rival either.
    std::string farEnd;
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    HoldingProcess simulator(
        [&] {
            const int master = posix_openpt(O_RDWR | O_NOCTTY);
            grantpt(master);
            unlockpt(master);
            const char* name = ptsname(master);
            (void)!open(name, O_RDWR | O_NOCTTY);
            (void)!write(report[1], name, std::strlen(name) + 1);
        },
        report[1]);
    char name[64] = {};
    ASSERT_GT(read(report[0], name, sizeof name), 0);
    close(report[0]);
    close(report[1]);
    EXPECT_EQ(KvFindPortHolder(name), "");
    EXPECT_TRUE(port.Open(name)) << port.OpenFailure().Summary().CStr();
    port.Close();
}

TEST(PortOpenFailure, LiveUucpLocksHoldTheDeviceStaleOnesDoNot) {
    TempDir locks;
    HoldingProcess minicom([] {});
    const struct {
        const char* file;
        std::string content;
        bool held;
    } cases[] = {
        {"LCK..ttyUSB0", "      " + std::to_string(minicom.pid()) + "\n", true},
        {"LCK..pts_7", std::to_string(minicom.pid()) + "\n", true},
        {"LCK..ttyUSB0", "4194304\n", false},                           // beyond any process id: stale
        {"LCK..ttyUSB0", std::to_string(getpid()) + "\n", false},       // this process's own
        {"LCK..ttyUSB1", std::to_string(minicom.pid()) + "\n", false},  // another device
        {"LCK..ttyUSB0", "garbage", false},
    };
    for (const auto& c : cases) {
        const std::string file = locks.File(c.file);
        WriteFile(file, c.content);
        const std::string device = std::string(c.file).find("pts") != std::string::npos ? "/dev/pts/7" : "/dev/ttyUSB0";
        const std::string holder = KvFindUucpLock(device, locks.path());
        EXPECT_EQ(!holder.empty(), c.held) << c.file << " " << c.content << " -> " << holder;
        if (c.held) {
            EXPECT_NE(holder.find(std::to_string(minicom.pid())), std::string::npos) << holder;
        }
        unlink(file.c_str());
    }
    // The old binary form: the process id as a 4-byte number.
    const std::int32_t pid = 4711;
    EXPECT_EQ(KvLockFilePid(std::string(reinterpret_cast<const char*>(&pid), 4)), 4711);
    EXPECT_EQ(KvLockFilePid("      4711\n"), 4711);
    EXPECT_EQ(KvLockFilePid(""), 0);
}

TEST(PortOpenFailure, TheSystemsReasonAndPathTravelWithTheException) {
    KvPortOpenFailure failure = OpenFailureOf("/dev/no-such-tarnik-port");
    EXPECT_EQ(failure.cause, Cause::NoSuchPort);
    EXPECT_EQ(failure.path.Bytes(), "/dev/no-such-tarnik-port");
    EXPECT_EQ(failure.osCode, ENOENT);
    EXPECT_EQ(failure.osReason.Bytes(), std::strerror(ENOENT));

    // Devices that open but are no serial port: refused for that, nobody is
    // named as their holder.
    for (const char* notAPort : {"/dev/null", "/dev/ptmx"}) {
        failure = OpenFailureOf(notAPort);
        EXPECT_EQ(failure.Summary().Bytes(), std::string(notAPort) + ": not a serial port");
        EXPECT_EQ(failure.heldBy.Bytes(), "");
    }

    failure = OpenFailureOf("COM40");
    EXPECT_EQ(failure.path.Bytes(), "/dev/ttyS39");
    EXPECT_EQ(failure.port.Bytes(), "COM40");
    EXPECT_EQ(failure.Summary().Bytes(), std::string("/dev/ttyS39 (COM40): ") + std::strerror(ENOENT));

    // A user without access to the device: root is let in everywhere, so the
    // attempt is made as nobody.
    TestTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string path = terminal.path();
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
        } else if (chmod(path.c_str(), 0) != 0) {
            _exit(2);
        }
        KvSerialPort port;
        const bool opened = port.Open(path.c_str());
        const int cause = static_cast<int>(port.OpenFailure().cause);
        const auto code = port.OpenFailure().osCode;
        (void)!write(report[1], &cause, sizeof cause);
        (void)!write(report[1], &code, sizeof code);
        _exit(opened ? 1 : 0);
    }
    close(report[1]);
    int cause = -1;
    std::int64_t code = 0;
    ASSERT_EQ(read(report[0], &cause, sizeof cause), static_cast<ssize_t>(sizeof cause));
    ASSERT_EQ(read(report[0], &code, sizeof code), static_cast<ssize_t>(sizeof code));
    close(report[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(cause, static_cast<int>(Cause::AccessDenied));
    EXPECT_EQ(code, EACCES);
}
