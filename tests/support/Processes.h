#pragma once
// Running the programs (tarnik, tarnik-sim) as processes, as a user or a
// script does, and a pseudo-terminal whose far end the test plays itself.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RunResult {
    int code = -1;  // exit code, or -1 when the process did not end by itself
    std::string out;
    std::string err;
};

// Runs `binary` with `args`. Standard input is /dev/null unless `stdinFd` is
// given (a terminal, say). Killed after `limit`. `started` learns the
// process's id as soon as it runs (to signal it, say).
RunResult RunProgram(const char* binary, const std::vector<std::string>& args, int stdinFd = -1,
                     std::chrono::seconds limit = std::chrono::seconds(120),
                     const std::function<void(pid_t)>& started = nullptr);

// A directory of its own, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// tarnik-sim (`binary`) serving a module behind a link in `dir`; its log
// (standard error) goes to a file beside the link.
class SimProcess {
public:
    SimProcess(const char* binary, const TempDir& dir, const std::string& name,
               const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the module is served behind the link (bounded wait).
    bool Ready() const { return ready_; }
    const std::string& link() const { return link_; }
    std::string Log() const { return ReadFile(logPath_); }
    // Requests the module has heard so far.
    int RequestsHeard() const;
    // Switches the module off and on (a line on its standard input).
    void PowerCycle();
    // Puts a new module in place of the old one ("swap" and module options).
    void Swap(const std::string& options = "");
    // Any line of control on its standard input ("2 swap", say).
    void Say(const std::string& line);
    // Waits until the log holds `text`, at most `limit`.
    bool WaitForLog(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(10)) const;
    // Ends it with SIGTERM; its exit code, or -1.
    int Stop();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    bool ready_ = false;
    std::string link_;
    std::string logPath_;
};

// A pseudo-terminal pair held open by the test. The program opens `path()`;
// the test's responder, once given, answers each complete line that arrives at
// the far end (return "" to stay silent). The test's own hold on the slave end
// keeps the master from reporting a hang-up whenever the program closes it.
class TestTerminal {
public:
    using Responder = std::function<std::string(const std::string& line)>;
    explicit TestTerminal(Responder responder = nullptr);
    ~TestTerminal();
    TestTerminal(const TestTerminal&) = delete;
    TestTerminal& operator=(const TestTerminal&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    // Starts answering (at most once).
    void Respond(Responder responder);
    // Lines that arrived so far (only with a responder).
    std::vector<std::string> Lines();
    // Both ends go: the device has vanished.
    void HangUp();
    // The far end goes and the test's hold on the slave stays, as when an
    // adapter is pulled under an open port: the slave's reads and writes fail
    // with EIO. May be called from the responder (the master closes once it
    // has answered) or, without a responder, from any thread.
    void CloseMaster();

private:
    void Serve();

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    Responder responder_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closeMaster_{false};
    std::thread thread_;
    std::mutex linesLock_;
    std::vector<std::string> lines_;
};

// A child process that runs `work` and then waits until it is killed (at the
// latest by the destructor); the constructor returns once the work is done.
// The child starts with none of this process's descriptors but `keep`: a
// rival that opens a port must not hold the test's own pseudo-terminal ends.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::function<void()>& work, int keep = -1);
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};
