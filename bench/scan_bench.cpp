// Time of a full 84-candidate device search on the operating system's serial
// port, against the 9240 ms that the read time-outs alone take. The port is
// the slave end of a pseudo-terminal whose master end never answers, so every
// candidate runs into its time-out; what the search adds on top (opening and
// configuring the port 84 times, writing the probe, closing) is the overhead.
//
// Prints the figures and, last, "ratio: X.XXX" (measured / 9240 ms).
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchProcess.h"
#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "RecorderHost.h"
#include "ResourceIds.h"
#include "SerialSettings.h"

namespace {

constexpr double kTimeoutsMs = 9240.0;

}  // namespace

int main() {
    int master = -1;
    const std::string slavePath = OpenSilentTerminal(master);
    if (slavePath.empty()) return 1;

    // Every dialog answered with OK, the sleep a real one.
    RecorderHost host(SteadyClock());
    CVelmoraDoc doc(host);
    doc.SetPortName(slavePath.c_str());

    const auto start = std::chrono::steady_clock::now();
    const bool found = doc.Scan();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double measuredMs = std::chrono::duration<double, std::milli>(elapsed).count();
    close(master);

    std::printf("port: %s\n", slavePath.c_str());
    const int attempts = static_cast<int>(host.ScanTexts().size());
    std::printf("attempts: %d\n", attempts);
    std::printf("found: %s\n", found ? "yes" : "no");
    for (const auto& line : host.log) {
        if (line.rfind("dialog ", 0) == 0 || line.rfind("message ", 0) == 0) std::printf("shown: %s\n", line.c_str());
    }
    std::printf("time-outs: %.0f ms\n", kTimeoutsMs);
    std::printf("measured: %.1f ms\n", measuredMs);
    std::printf("overhead: %.1f ms (%.3f ms per attempt)\n", measuredMs - kTimeoutsMs,
                attempts > 0 ? (measuredMs - kTimeoutsMs) / attempts : 0.0);
    const bool complete = !found && attempts == kScanCandidateCount;
    if (!complete) std::printf("the search did not run through every candidate: the figure is not comparable\n");
    std::printf("ratio: %.3f\n", measuredMs / kTimeoutsMs);
    return complete ? 0 : 1;
}
