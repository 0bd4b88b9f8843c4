#include "Processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// A pipe whose ends the programs started later do not inherit.
bool Pipe(int fds[2]) {
    if (pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    return true;
}

// Starts `binary` with `args`; `streams` sets up its standard streams. -1 when it did not start.
pid_t Spawn(const char* binary, const std::vector<std::string>& args,
            const std::function<void(posix_spawn_file_actions_t*)>& streams) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    streams(&actions);
    std::vector<std::string> words{binary};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, binary, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the process to end, at most `limit`; kills it after that.
int Reap(pid_t pid, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (MillisecondsLeft(deadline) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        poll(nullptr, 0, 10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

RunResult RunProgram(const char* binary, const std::vector<std::string>& args, int stdinFd, std::chrono::seconds limit,
                     const std::function<void(pid_t)>& started) {
    RunResult result;
    int out[2], err[2];
    if (!Pipe(out)) return result;
    if (!Pipe(err)) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    const pid_t pid = Spawn(binary, args, [&](posix_spawn_file_actions_t* actions) {
        if (stdinFd >= 0) {
            posix_spawn_file_actions_adddup2(actions, stdinFd, 0);
        } else {
            posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_adddup2(actions, out[1], 1);
        posix_spawn_file_actions_adddup2(actions, err[1], 2);
    });
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return result;
    }
    if (started) started(pid);

    // Both streams are drained together, so neither pipe fills up.
    const Clock::time_point deadline = Clock::now() + limit;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, left) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    const int code = Reap(pid, std::chrono::seconds(10));
    result.code = killed ? -1 : code;
    return result;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/tarnik-cli-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

SimProcess::SimProcess(const char* binary, const TempDir& dir, const std::string& name,
                       const std::vector<std::string>& options)
    : link_(dir.File(name)), logPath_(dir.File(name + ".log")) {
    int in[2], out[2];
    if (!Pipe(in)) return;
    if (!Pipe(out)) {
        close(in[0]);
        close(in[1]);
        return;
    }
    std::vector<std::string> args{"--link", link_};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = Spawn(binary, args, [&](posix_spawn_file_actions_t* actions) {
        posix_spawn_file_actions_adddup2(actions, in[0], 0);
        posix_spawn_file_actions_adddup2(actions, out[1], 1);
        posix_spawn_file_actions_addopen(actions, 2, logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    });
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    if (pid_ < 0) {
        close(out[0]);
        return;
    }

    // The simulator prints the terminal's path once the link is in place.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(15);
    std::string printed;
    while (printed.find('\n') == std::string::npos) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, left) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    struct stat st {};
    ready_ = printed.find("/dev/") != std::string::npos && lstat(link_.c_str(), &st) == 0;
}

SimProcess::~SimProcess() {
    Stop();
    if (input_ >= 0) close(input_);
}

int SimProcess::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const int code = Reap(pid_, std::chrono::seconds(5));
    pid_ = -1;
    return code;
}

int SimProcess::RequestsHeard() const {
    const std::string log = Log();
    int count = 0;
    for (std::size_t at = log.find(" heard "); at != std::string::npos; at = log.find(" heard ", at + 1)) ++count;
    return count;
}

void SimProcess::PowerCycle() {
    const ssize_t written = write(input_, "power\n", 6);
    (void)written;
}

void SimProcess::Swap(const std::string& options) {
    const std::string line = "swap " + options + "\n";
    const ssize_t written = write(input_, line.data(), line.size());
    (void)written;
}

void SimProcess::Say(const std::string& line) {
    const std::string text = line + "\n";
    const ssize_t written = write(input_, text.data(), text.size());
    (void)written;
}

bool SimProcess::WaitForLog(const std::string& text, std::chrono::seconds limit) const {
    const Clock::time_point deadline = Clock::now() + limit;
    while (Log().find(text) == std::string::npos) {
        if (MillisecondsLeft(deadline) == 0) return false;
        poll(nullptr, 0, 10);
    }
    return true;
}

TestTerminal::TestTerminal(Responder responder) {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    const char* name = ttyname(slave_);
    path_ = name ? name : "";
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (responder) Respond(std::move(responder));
}

TestTerminal::~TestTerminal() { HangUp(); }

void TestTerminal::Respond(Responder responder) {
    if (master_ < 0 || thread_.joinable()) return;
    responder_ = std::move(responder);
    thread_ = std::thread([this] { Serve(); });
}

void TestTerminal::HangUp() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = master_ = -1;
}

void TestTerminal::CloseMaster() {
    if (thread_.joinable()) {
        closeMaster_ = true;
        return;
    }
    if (master_ >= 0) close(master_);
    master_ = -1;
}

std::vector<std::string> TestTerminal::Lines() {
    std::lock_guard guard(linesLock_);
    return lines_;
}

void TestTerminal::Serve() {
    std::string pending;
    while (!stop_) {
        if (closeMaster_) {
            close(master_);
            master_ = -1;
            return;
        }
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) continue;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            {
                std::lock_guard guard(linesLock_);
                lines_.push_back(line);
            }
            const std::string answer = responder_(line);
            if (!answer.empty()) {
                const ssize_t written = write(master_, answer.data(), answer.size());
                (void)written;
            }
            if (closeMaster_) break;
        }
    }
}

HoldingProcess::HoldingProcess(const std::function<void()>& work, int keep) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != ready[1] && fd != keep) close(fd);
        }
        work();
        const char done = 1;
        (void)!write(ready[1], &done, 1);
        for (;;) pause();
    }
    close(ready[1]);
    char done = 0;
    (void)!read(ready[0], &done, 1);
    close(ready[0]);
}

HoldingProcess::~HoldingProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}
