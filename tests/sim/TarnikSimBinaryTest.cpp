// tarnik-sim as users start it: a module on a pseudo-terminal behind a link,
// talked to through termios.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

extern char** environ;

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

struct Simulator {
    explicit Simulator(const std::string& link) {
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        for (int fd : {in[1], out[0], err[0]}) posix_spawn_file_actions_addclose(&actions, fd);
        std::string binary = TARNIK_SIM_BINARY;
        char* argv[] = {binary.data(), const_cast<char*>("--link"), const_cast<char*>(link.c_str()),
                        const_cast<char*>("--serial"), const_cast<char*>("20240917"), nullptr};
        if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input = in[1];
        output = out[0];
        errors = err[0];
    }
    ~Simulator() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (int fd : {input, output, errors}) {
            if (fd >= 0) close(fd);
        }
    }
    // Exit status after SIGTERM, or -1.
    int Stop() {
        kill(pid, SIGTERM);
        int status = 0;
        const pid_t done = waitpid(pid, &status, 0);
        pid = -1;
        return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid = -1;
    int input = -1, output = -1, errors = -1;
};

}  // namespace

TEST(TarnikSimBinary, AnswersManOnThePseudoTerminalOnlyAtItsBaudRate) {
    char dir[] = "/tmp/tarnik-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/module";
    Simulator sim(link);
    ASSERT_GT(sim.pid, 0);

    // The slave path is printed once the link is in place.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    const std::string path =
        ReadUntil(sim.output, deadline, [](const std::string& t) { return t.find('\n') != std::string::npos; });
    ASSERT_NE(path.find("/dev/"), std::string::npos) << path;

    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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
    const std::string log = ReadUntil(sim.errors, deadline, [](const std::string& t) {
        return t.find("not understood") != std::string::npos;
    });
    EXPECT_NE(log.find("heard \"-MAN\\r\\n\" -> \"*MAN: 020240917\\r\\n\""), std::string::npos) << log;
    EXPECT_NE(log.find("not understood"), std::string::npos) << log;
    EXPECT_EQ(ReadUntil(fd, Clock::now() + std::chrono::milliseconds(300), [](const std::string&) { return false; }),
              "");

    close(fd);
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link went with it
    rmdir(dir);
}
