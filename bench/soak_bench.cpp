// Soak: read and write the settings of a simulated module over and over, on
// the operating system's serial port (the slave end of the pseudo-terminal
// that tarnik-sim serves), and watch for anything that grows: open file
// descriptors (/proc/self/fd) and memory (VmRSS, and the peak VmHWM, from
// /proc/self/status). Both should stay flat from the first cycle to the last.
//
//   soak_bench [cycles]      default 1000
//
// Each cycle is what the settings window does: ReadSettings, the refresh
// through every getter (one more MAN query), then WriteSettings with the
// address changed, which the next cycle's read must show.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchProcess.h"
#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "RecorderHost.h"
#include "ResourceIds.h"

namespace {

using Clock = std::chrono::steady_clock;

int OpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;  // the directory stream's own descriptor
}

// A "VmHWM:" or "VmRSS:" line of /proc/self/status, in kB.
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, length, key) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
    }
    return -1;
}

void Report(const char* when, int cycle) {
    std::printf("%-6s cycle %5d: fds %3d  VmRSS %6ld kB  VmHWM %6ld kB\n", when, cycle, OpenDescriptors(),
                StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (cycles <= 0) {
        std::fprintf(stderr, "usage: soak_bench [cycles]\n");
        return 2;
    }

    char dir[] = "/tmp/velmora-soak-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string link = std::string(dir) + "/module";
    int status = 0;
    {
        SimulatorProcess sim;
        if (!sim.Start(link, {"--no-pace", "--latency-ms", "0", "--exit-on-eof"})) {
            std::fprintf(stderr, "soak_bench: tarnik-sim did not come up (%s)\n", TARNIK_SIM_BINARY);
            rmdir(dir);
            return 1;
        }

        // Every dialog answered with OK, the sleep a real one.
        RecorderHost host(SteadyClock());
        // The dialogs and messages shown so far, and the number of the last one.
        auto shown = [&host] { return host.Lines("dialog ").size() + host.Lines("message ").size(); };
        auto lastShown = [&host] {
            for (auto it = host.log.rbegin(); it != host.log.rend(); ++it) {
                if (it->rfind("dialog ", 0) == 0 || it->rfind("message ", 0) == 0)
                    return std::stoi(it->substr(it->find(' ') + 1));
            }
            return 0;
        };
        CVelmoraDoc doc(host);
        doc.SetPortName(link.c_str());
        const auto scanStart = Clock::now();
        if (!doc.Scan()) {
            std::fprintf(stderr, "soak_bench: the search did not find the module (dialog or message %d)\n",
                         lastShown());
            return 1;
        }
        std::printf("module found in %.1f s; %d read/write cycles\n",
                    std::chrono::duration<double>(Clock::now() - scanStart).count(), cycles);
        Report("start", 0);

        int failures = 0;
        int mismatches = 0;
        int expectedAddress = -1;
        const auto start = Clock::now();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            host.Clear();  // the log stays small over the cycles
            const std::size_t dialogsBefore = shown();
            doc.ReadSettings();
            if (!doc.HasDevice()) {
                std::fprintf(stderr, "soak_bench: cycle %d: the read dropped the device (dialog %d)\n", cycle,
                             lastShown());
                status = 1;
                break;
            }
            doc.GetSerialNumber();
            doc.GetVersionText();
            doc.GetOperatingMode(true);
            doc.CacheRunningSettings();  // every other value, as the settings window asks for it
            const int address = doc.settings.address;
            if (expectedAddress >= 0 && address != expectedAddress) ++mismatches;

            expectedAddress = 100 + cycle % 2;
            doc.settings.address = static_cast<std::uint16_t>(expectedAddress);
            bool written = false;
            doc.WriteSettings(false, &written);
            if (!written || shown() != dialogsBefore) ++failures;

            if (cycle == 1) Report("warm", cycle);
            if (cycle % 250 == 0 && cycle != cycles) Report("", cycle);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        Report("end", cycles);
        std::printf("failed cycles %d, values not read back %d; %.1f s, %.1f ms per cycle\n", failures, mismatches,
                    seconds, 1000.0 * seconds / cycles);
        if (failures != 0 || mismatches != 0) status = 1;
    }
    unlink(link.c_str());
    rmdir(dir);
    return status;
}
