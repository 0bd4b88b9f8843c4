// tarnik link-test against a pair that tarnik-sim serves on two
// pseudo-terminals, both modules started in transparent mode on a clean
// radio: the throughput each way that link-test measured, against what can
// pass: the line rate, or the air rate when that is lower (an air frame of 64
// bytes carries 12 bytes of framing besides). A clean link should come within
// 5 % of it and lose nothing.
//
//   linktest_bench [packets]     packets each way at 57600 baud (default 300;
//                                a fifth as many at 9600)
//
// The last line is "worst share: X.X %", the lowest of the shares.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BenchProcess.h"

namespace {

struct Case {
    const char* name;
    int baud;
    int airBps;
    int packets;
};

std::string RunLinkTest(const std::string& a, const std::string& b, int baud, int packets) {
    pid_t pid = -1;
    int out = -1;
    const std::vector<std::string> args = {
        TARNIK_BINARY, "--port",      a, "--line",    std::to_string(baud) + ",8,N,1",
        "link-test",   "--peer-port", b, "--packets", std::to_string(packets),
        "--json"};
    if (!SpawnWithOutput(args, pid, out)) return "";
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    close(out);
    waitpid(pid, nullptr, 0);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int packets = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    char dirTemplate[] = "/tmp/linktest-bench-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string a = std::string(dir) + "/a", b = std::string(dir) + "/b";
    const Case cases[] = {
        {"9600 8N1, air 250 kbps", 9600, 250000, std::max(10, packets / 5)},
        {"57600 8N1, air 250 kbps", 57600, 250000, packets},
        {"57600 8N1, air 20 kbps", 57600, 20000, packets},
    };
    std::printf("%-26s %10s %10s %10s %10s %8s %6s\n", "case", "limit B/s", "A->B B/s", "B->A B/s", "share %", "lost",
                "rtt ms");
    double worst = 1e9;
    for (const Case& c : cases) {
        SimulatorProcess sim;
        if (!sim.Start(a, {"--peer-link", b, "--stored-mode", "1", "--baud", std::to_string(c.baud), "--air-bps",
                           std::to_string(c.airBps)})) {
            std::fprintf(stderr, "tarnik-sim did not start\n");
            return 1;
        }
        const nlohmann::json r = nlohmann::json::parse(RunLinkTest(a, b, c.baud, c.packets), nullptr, false);
        if (!r.is_object() || !r["aToB"]["bytesPerSecond"].is_number() || !r["bToA"]["bytesPerSecond"].is_number()) {
            std::fprintf(stderr, "%s: link-test gave no result\n", c.name);
            return 1;
        }
        const double line = r["lineBytesPerSecond"].get<double>();
        const double air = c.airBps / 8.0 * 64 / (64 + 12);
        const double limit = std::min(line, air);
        const double ab = r["aToB"]["bytesPerSecond"].get<double>(), ba = r["bToA"]["bytesPerSecond"].get<double>();
        const double share = std::min(ab, ba) / limit * 100;
        worst = std::min(worst, share);
        const int lost = r["aToB"]["lost"].get<int>() + r["bToA"]["lost"].get<int>() +
                         r["aToB"]["corrupted"].get<int>() + r["bToA"]["corrupted"].get<int>();
        std::printf("%-26s %10.1f %10.1f %10.1f %10.1f %8d %6.1f\n", c.name, limit, ab, ba, share, lost,
                    r["roundTrip"]["medianMs"].is_number() ? r["roundTrip"]["medianMs"].get<double>() : -1.0);
    }
    rmdir(dir);
    std::printf("worst share: %.1f %%\n", worst);
    return 0;
}
