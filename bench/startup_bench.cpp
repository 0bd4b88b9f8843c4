// Start-up benchmark of the desktop program: time from starting the process to
// the first paint of its main window, and the process's peak resident memory,
// against two yardsticks built here: a bare Qt main window, and the same window
// showing one Japanese label in the program's font (so that loading the fonts
// and the Japanese glyphs is in both). All are started the same way
// (posix_spawn, output through a pipe), on the offscreen platform, in turn, the
// same number of times after one unmeasured start of each. Printed: each run,
// the medians with their spread, the ratio against the bare window and, last,
// the ratio of the median start-up times against the window with the label.
//
//   startup_bench [runs]      (default 21)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchProcess.h"

namespace {

struct Sample {
    double milliseconds = 0;
    long peakKiB = 0;
};

// Starts `argv`, waits for its "first-paint" line, then for its end.
bool RunOnce(const std::vector<std::string>& args, Sample& sample) {
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int out = -1;
    if (!SpawnWithOutput(args, pid, out)) return false;

    std::string seen;
    bool painted = false;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(out, buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find("first-paint") != std::string::npos) {
            painted = true;
            break;
        }
    }
    const auto painted_at = std::chrono::steady_clock::now();
    close(out);

    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    sample.milliseconds = std::chrono::duration<double, std::milli>(painted_at - start).count();
    sample.peakKiB = usage.ru_maxrss;
    return painted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const std::vector<std::string> program = {VELMORA_PROGRAM, "--exit-after-first-paint"};
    const std::vector<std::string> bare = {BARE_WINDOW_PROGRAM};
    const std::vector<std::string> labelled = {BARE_WINDOW_PROGRAM, "--label"};

    // One unmeasured start of each, so both find the libraries and fonts cached.
    Sample warm;
    if (!RunOnce(program, warm) || !RunOnce(bare, warm) || !RunOnce(labelled, warm)) {
        std::fprintf(stderr, "a program did not start or paint\n");
        return 1;
    }

    std::vector<double> programMs, bareMs, labelledMs;
    std::vector<long> programKiB, bareKiB;
    for (int i = 0; i < runs; ++i) {
        Sample p, b, l;
        if (!RunOnce(program, p) || !RunOnce(bare, b) || !RunOnce(labelled, l)) {
            std::fprintf(stderr, "run %d failed\n", i + 1);
            return 1;
        }
        programMs.push_back(p.milliseconds);
        programKiB.push_back(p.peakKiB);
        bareMs.push_back(b.milliseconds);
        bareKiB.push_back(b.peakKiB);
        labelledMs.push_back(l.milliseconds);
        std::printf(
            "run %2d: velmora %7.1f ms %7ld KiB   bare window %7.1f ms %7ld KiB   with a Japanese label %7.1f ms\n",
            i + 1, p.milliseconds, p.peakKiB, b.milliseconds, b.peakKiB, l.milliseconds);
    }
    const double pm = Median(programMs), bm = Median(bareMs), lm = Median(labelledMs);
    const long pk = Median(programKiB), bk = Median(bareKiB);
    auto spread = [](const std::vector<double>& v) {
        const auto [low, high] = std::minmax_element(v.begin(), v.end());
        return std::make_pair(*low, *high);
    };
    const auto [pl, ph] = spread(programMs);
    const auto [bl, bh] = spread(bareMs);
    const auto [ll, lh] = spread(labelledMs);
    std::printf(
        "median start-up to first paint (spread): velmora %.1f ms (%.1f-%.1f), bare window %.1f ms "
        "(%.1f-%.1f), with one Japanese label %.1f ms (%.1f-%.1f)\n",
        pm, pl, ph, bm, bl, bh, lm, ll, lh);
    std::printf("median peak memory: velmora %ld KiB, bare window %ld KiB, ratio %.2f\n", pk, bk,
                static_cast<double>(pk) / static_cast<double>(bk));
    std::printf("ratio against the bare window: %.2f\n", pm / bm);
    std::printf("ratio: %.2f\n", pm / lm);
    return 0;
}
