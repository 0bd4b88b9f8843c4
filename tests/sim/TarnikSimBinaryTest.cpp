// tarnik-sim as users start it: a module on a pseudo-terminal behind a link,
// talked to through termios.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Processes.h"

namespace {

using Clock = std::chrono::steady_clock;

// Reads from fd until `done` says so or the deadline passes.
template <typename Done>
std::string ReadUntil(int fd, Clock::time_point deadline, Done done) {
    std::string text;
    while (!done(text)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool SetLine(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

TEST(TarnikSimBinary, AnswersManOnThePseudoTerminalOnlyAtItsBaudRate) {
    // The slave path is printed once the link is in place (Ready() waits for both).
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "module", {"--serial", "20240917"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();

    const auto deadline = Clock::now() + std::chrono::seconds(10);
    const int fd = open(sim.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SetLine(fd, B9600));
    ASSERT_EQ(write(fd, "-MAN\r\n", 6), 6);
    const std::string answer =
        ReadUntil(fd, deadline, [](const std::string& t) { return t.find("\r\n") != std::string::npos; });
    EXPECT_EQ(answer, "*MAN: 020240917\r\n");

    // At 19200 the module makes nothing of the request: wait until its log says
    // so, then give a wrong answer ample time to show.
    ASSERT_TRUE(SetLine(fd, B19200));
    ASSERT_EQ(write(fd, "-MAN\r\n", 6), 6);
    EXPECT_TRUE(sim.WaitForLog("not understood")) << sim.Log();
    EXPECT_NE(sim.Log().find("heard \"-MAN\\r\\n\" -> \"*MAN: 020240917\\r\\n\""), std::string::npos) << sim.Log();
    EXPECT_EQ(ReadUntil(fd, Clock::now() + std::chrono::milliseconds(300), [](const std::string&) { return false; }),
              "");

    close(fd);
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(sim.link().c_str(), &st), 0);  // the link went with it
}

TEST(TarnikSimBinary, SeveralLinksEachWithTheirOwnModuleOptions) {
    // Options after a --link are that module's alone; the serial number counts
    // on from the first module's unless a module names its own; "K swap" on
    // standard input reaches module K alone.
    TempDir dir;
    SimProcess sim(
        TARNIK_SIM_BINARY, dir, "a",
        {"--serial", "100", "--baud", "19200", "--link", dir.File("b"), "--link", dir.File("c"), "--serial", "900"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    const auto ask = [](const std::string& path, speed_t speed) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || !SetLine(fd, speed) || write(fd, "-MAN\r\n", 6) != 6) return std::string("no port");
        const std::string answer = ReadUntil(fd, Clock::now() + std::chrono::seconds(5),
                                             [](const std::string& t) { return t.find("\r\n") != std::string::npos; });
        close(fd);
        return answer;
    };
    const struct {
        std::string path;
        speed_t speed;
        const char* answer;
    } before[] = {{sim.link(), B19200, "*MAN: 000000100\r\n"},
                  {dir.File("b"), B9600, "*MAN: 000000101\r\n"},
                  {dir.File("c"), B9600, "*MAN: 000000900\r\n"}};
    for (const auto& c : before) EXPECT_EQ(ask(c.path, c.speed), c.answer) << c.path << "\n" << sim.Log();

    sim.Say("2 swap --serial 7");
    ASSERT_TRUE(sim.WaitForLog("module 2: swap: module")) << sim.Log();
    EXPECT_EQ(ask(dir.File("b"), B9600), "*MAN: 000000007\r\n") << sim.Log();
    EXPECT_EQ(ask(sim.link(), B19200), "*MAN: 000000100\r\n") << sim.Log();
    EXPECT_EQ(sim.Stop(), 0);
}
