// Time of a full 84-candidate device search in the desktop program's own window,
// from pressing スキャン to the first paint of the closing message 41453 ("Tarnik
// 装置が見つかりません。"), against the 9240 ms that the read time-outs alone take.
// The program runs on the X server named by DISPLAY (a virtual one: run it as
// `xvfb-run -a scan_window_bench`), its port the slave end of a pseudo-terminal
// whose master end never answers, so every candidate runs into its time-out.
// The program reports how many line settings its search window showed and
// painted; a run that did not paint all 84 does not count.
//
//   scan_window_bench [runs]      (default 5)
//
// Prints each run, the median and the spread and, last, "ratio: X.XXX"
// (median / 9240 ms).
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr double kTimeoutsMs = 9240.0;
constexpr int kCandidates = 84;

struct Run {
    double milliseconds = -1;
    int painted = 0;
};

// Starts the program on `port`, reads its report line, waits for its end.
bool RunOnce(const std::string& port, Run& run)
{
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {VELMORA_PROGRAM, "--scan-benchmark", port};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return false;
    }
    std::string seen;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    long long ms = -1;
    const std::size_t at = seen.find("scan-to-message");
    if (at == std::string::npos ||
        std::sscanf(seen.c_str() + at, "scan-to-message %lld ms, line settings painted %d", &ms, &run.painted) != 2)
        return false;
    run.milliseconds = static_cast<double>(ms);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && ms >= 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        std::fprintf(stderr, "no DISPLAY: run it on a virtual X server (xvfb-run -a scan_window_bench)\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    const char* slave = ptsname(master);
    if (slave == nullptr) {
        std::perror("ptsname");
        return 1;
    }
    const std::string port = slave;
    std::printf("port: %s, display %s\n", port.c_str(), display);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        Run run;
        if (!RunOnce(port, run)) {
            std::fprintf(stderr, "run %d: the program did not report a search\n", i + 1);
            close(master);
            return 1;
        }
        std::printf("run %d: %.0f ms to the message, %d of %d line settings painted\n", i + 1, run.milliseconds,
                    run.painted, kCandidates);
        if (run.painted != kCandidates) {
            std::printf("the search window was not painted at every candidate: the figure is not comparable\n");
            close(master);
            return 1;
        }
        times.push_back(run.milliseconds);
    }
    close(master);

    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("time-outs: %.0f ms\n", kTimeoutsMs);
    std::printf("median %.0f ms, spread %.0f to %.0f ms (%.3f to %.3f)\n", median, times.front(), times.back(),
                times.front() / kTimeoutsMs, times.back() / kTimeoutsMs);
    std::printf("ratio: %.3f\n", median / kTimeoutsMs);
    return 0;
}
