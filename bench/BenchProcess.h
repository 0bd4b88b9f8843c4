#pragma once
// What the benchmarks share to run other programs: a silent pseudo-terminal,
// a program started with its standard output on a pipe, and tarnik-sim behind
// a link with its standard input on a pipe. POSIX only.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// The slave end of a fresh pseudo-terminal (its master end never answers);
// "" after printing the reason. `master` stays open for the caller to close.
inline std::string OpenSilentTerminal(int& master) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return "";
    }
    const char* slave = ptsname(master);
    if (slave == nullptr) {
        std::perror("ptsname");
        return "";
    }
    return slave;
}

// Starts `args` (args[0] the program's path) with its standard output on a
// pipe; `out` is the pipe's reading end, for the caller to close.
inline bool SpawnWithOutput(const std::vector<std::string>& args, pid_t& pid, int& out) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return false;
    }
    out = pipeEnds[0];
    return true;
}

#ifdef TARNIK_SIM_BINARY
// tarnik-sim behind a symbolic link, its standard error in `log`. Its standard
// input is a pipe: when the benchmark ends, however it ends, the simulator does too.
struct SimulatorProcess {
    // `options` follow "--link LINK" on the simulator's command line.
    bool Start(const std::string& link, const std::vector<std::string>& options, const std::string& log = "/dev/null") {
        int in[2];
        if (pipe(in) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> args = {TARNIK_SIM_BINARY, "--link", link};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid, TARNIK_SIM_BINARY, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        input = in[1];
        fcntl(input, F_SETFD, FD_CLOEXEC);
        if (spawned != 0) {
            pid = -1;
            return false;
        }
        // The link appears once the terminal is ready; wait for it, within bounds.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char target[256];
        while (std::chrono::steady_clock::now() < deadline) {
            if (readlink(link.c_str(), target, sizeof target) > 0) return true;
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // A line on the simulator's standard input.
    void Say(const std::string& line) const {
        const ssize_t n = write(input, line.data(), line.size());
        (void)n;
    }
    ~SimulatorProcess() {
        if (input >= 0) close(input);
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
    int input = -1;
};
#endif
