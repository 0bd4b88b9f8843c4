// tarnik --port auto and tarnik scan --all against four simulated modules
// and two silent pseudo-terminals, all six presented as USB adapters (a
// folder laid out as /sys and one standing in for /dev, with links to the
// terminals): the time of the search of every port at once against the time
// of one silent port's search alone.
//
//   autoport_bench
//
// The last line is "ratio: X.XX": the slower of the two parallel searches
// over the single one.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BenchProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text << "\n"; }

bool MakeDirs(const std::string& path) {
    for (std::size_t at = 1; at != std::string::npos; at = path.find('/', at + 1)) {
        mkdir(path.substr(0, at).c_str(), 0755);
    }
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// ttyUSBk as sysfs shows an FTDI adapter with serial number BENCHk.
bool FakeAdapter(const std::string& sys, int k) {
    const std::string name = "ttyUSB" + std::to_string(k);
    const std::string usb = sys + "/devices/usb1/1-" + std::to_string(k);
    const std::string tty = usb + "/1-" + std::to_string(k) + ":1.0/" + name;
    if (!MakeDirs(tty) || !MakeDirs(sys + "/class/tty/" + name)) return false;
    WriteText(usb + "/idVendor", "0403");
    WriteText(usb + "/idProduct", "6001");
    WriteText(usb + "/manufacturer", "FTDI");
    WriteText(usb + "/product", "FT232R USB UART");
    WriteText(usb + "/serial", "BENCH" + std::to_string(k));
    return symlink(tty.c_str(), (sys + "/class/tty/" + name + "/device").c_str()) == 0;
}

struct Run {
    int code = -1;
    std::string out;
    double seconds = 0;
};

Run Tarnik(const std::vector<std::string>& args) {
    Run run;
    std::vector<std::string> argv{TARNIK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = -1;
    int out = -1;
    const auto start = Clock::now();
    if (!SpawnWithOutput(argv, pid, out)) return run;
    char buffer[4096];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) run.out.append(buffer, static_cast<std::size_t>(n));
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool Linked(const std::string& path) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    char target[256];
    while (readlink(path.c_str(), target, sizeof target) <= 0) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

int main() {
    char dir[] = "/tmp/velmora-autoport-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = dir, sys = base + "/sys", dev = base + "/dev";
    MakeDirs(dev);
    for (int k = 0; k < 6; ++k) {
        if (!FakeAdapter(sys, k)) {
            std::fprintf(stderr, "autoport_bench: cannot lay out %s\n", sys.c_str());
            return 1;
        }
    }
    const auto node = [&](int k) { return dev + "/ttyUSB" + std::to_string(k); };
    SimulatorProcess sim;
    if (!sim.Start(node(0), {"--serial", "501", "--exit-on-eof", "--link", node(1), "--baud", "19200", "--link",
                             node(2), "--baud", "1200", "--frame", "8O2", "--link", node(3), "--baud", "4800"}) ||
        !Linked(node(3))) {
        std::fprintf(stderr, "autoport_bench: tarnik-sim did not come up (%s)\n", TARNIK_SIM_BINARY);
        return 1;
    }
    int masters[2];
    for (int k = 0; k < 2; ++k) {
        const std::string slave = OpenSilentTerminal(masters[k]);
        if (slave.empty() || symlink(slave.c_str(), node(4 + k).c_str()) != 0) return 1;
    }
    setenv("TARNIK_SYSFS_ROOT", sys.c_str(), 1);
    setenv("TARNIK_DEV_ROOT", dev.c_str(), 1);

    const Run one = Tarnik({"--quiet", "--port", node(4), "scan"});
    const Run all = Tarnik({"--quiet", "scan", "--all", "--json"});
    const Run automatic = Tarnik({"--quiet", "--port", "auto", "scan"});
    int status = 0;
    std::size_t modules = 0;
    try {
        modules = nlohmann::json::parse(all.out).size();
    } catch (const nlohmann::json::exception&) {
        modules = 0;
    }
    if (one.code != 4 || all.code != 0 || modules != 4 || automatic.code != 2) {
        std::fprintf(stderr,
                     "autoport_bench: unexpected results (one port: exit %d; scan --all: exit %d, %zu modules; "
                     "--port auto: exit %d)\n%s",
                     one.code, all.code, modules, automatic.code, all.out.c_str());
        status = 1;
    } else {
        std::printf("ports: 6 (4 modules at 9600 8N1, 19200 8N1, 1200 8O2, 4800 8N1; 2 silent)\n");
        std::printf("one silent port's search: %.3f s\n", one.seconds);
        std::printf("scan --all: %.3f s, %zu modules\n", all.seconds, modules);
        std::printf("--port auto: %.3f s (exit 2: several modules)\n", automatic.seconds);
        std::printf("ratio: %.2f\n", std::max(all.seconds, automatic.seconds) / one.seconds);
    }
    for (int k = 0; k < 6; ++k) unlink(node(k).c_str());
    close(masters[0]);
    close(masters[1]);
    const std::string cleanup = "rm -rf '" + base + "'";
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "autoport_bench: %s left behind\n", base.c_str());
    return status;
}
