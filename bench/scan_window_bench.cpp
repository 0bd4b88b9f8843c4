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
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchProcess.h"

namespace {

constexpr double kTimeoutsMs = 9240.0;
constexpr int kCandidates = 84;

struct Run {
    double milliseconds = -1;
    int painted = 0;
};

// Starts the program on `port`, reads its report line, waits for its end.
bool RunOnce(const std::string& port, Run& run) {
    pid_t pid = 0;
    int out = -1;
    if (!SpawnWithOutput({VELMORA_PROGRAM, "--scan-benchmark", port}, pid, out)) return false;
    std::string seen;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(out, buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    close(out);
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

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        std::fprintf(stderr, "no DISPLAY: run it on a virtual X server (xvfb-run -a scan_window_bench)\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    int master = -1;
    const std::string port = OpenSilentTerminal(master);
    if (port.empty()) return 1;
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
