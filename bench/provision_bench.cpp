// A provisioning run with known line settings against tarnik-sim on a
// pseudo-terminal, paced at the baud rate: for each unit the seconds from the
// module being asked for (its first answer is the probe at the known settings)
// to its record written, against the time its exchanges take on the line (the
// bytes of every request and answer at the line settings in force). The
// difference is what the program adds: opening and configuring the port per
// exchange, waiting, parsing, the log written through to the disk.
//
//   provision_bench [units]      default 10
//
// New modules come at the factory settings (9600 8N1, found by --line); the
// profile moves them to 19200 8N1, channel 12, pins 1000, an address each.
// The last line is "ratio: X.XX" (seconds per unit / line time per unit).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchProcess.h"
#include "CVelmoraDoc.h"
#include "ConsoleHost.h"
#include "KvClock.h"
#include "Provision.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The operator: swaps the module on the simulator and notes when each unit
// starts (the next module is there) and when the one before ended (its record
// was written before the program asked for the next).
class Swapper : public NextModule {
public:
    Swapper(std::string port, const SimulatorProcess& sim, std::string simLog, int units)
        : port_(std::move(port)), sim_(sim), simLog_(std::move(simLog)), units_(units) {
        starts.push_back(Clock::now());
    }
    bool Wait(ConsoleHost&, const std::string&) override {
        ends.push_back(Clock::now());
        if (static_cast<int>(ends.size()) >= units_) return false;
        sim_.Say("swap\n");
        const int wanted = static_cast<int>(ends.size());
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Count(ReadAll(simLog_), "swap: module") < wanted) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        starts.push_back(Clock::now());
        return true;
    }
    std::string Port() const override { return port_; }

    std::vector<Clock::time_point> starts, ends;

private:
    std::string port_;
    const SimulatorProcess& sim_;
    std::string simLog_;
    int units_;
};

// Bytes of a quoted log text ("\r" and "\xHH" count one each).
std::size_t QuotedBytes(const std::string& quoted) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < quoted.size(); ++i, ++n) {
        if (quoted[i] != '\\') continue;
        i += quoted[i + 1] == 'x' ? 3 : 1;
    }
    return n;
}

// Line time of each unit's exchanges, from the simulator's log: units are
// separated by its swap lines; the line settings change after an SCI write.
std::vector<double> LineSeconds(const std::string& log) {
    std::vector<double> units(1, 0.0);
    int bits = 10;  // 9600 8N1: start, 8 data, stop
    double baud = 9600;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(" swap: module ") != std::string::npos) {
            units.push_back(0.0);
            bits = 10;
            baud = 9600;
            continue;
        }
        const std::size_t heard = line.find(" heard \"");
        const std::size_t arrow = line.find("\" -> ");
        if (heard == std::string::npos || arrow == std::string::npos) continue;
        const std::string request = line.substr(heard + 8, arrow - heard - 8);
        std::string answer = line.substr(arrow + 5);
        if (answer.size() >= 2 && answer.front() == '"') answer = answer.substr(1, answer.size() - 2);
        if (answer == "no answer") answer.clear();
        units.back() += static_cast<double>(QuotedBytes(request) + QuotedBytes(answer)) * bits / baud;
        if (request.rfind("+SCI:", 0) == 0 || request.rfind("-SCI:", 0) == 0) {
            // "+SCI:19200,8,N,1\r\n"
            const std::string p = request.substr(5);
            baud = std::atof(p.c_str());
            const std::size_t c = p.find(',');
            bits = 1 + (p[c + 1] - '0') + (p[c + 3] == 'N' ? 0 : 1) + (p[c + 5] - '0');
        }
    }
    return units;
}

}  // namespace

int main(int argc, char** argv) {
    const int units = argc > 1 ? std::atoi(argv[1]) : 10;
    if (units <= 0) {
        std::fprintf(stderr, "usage: provision_bench [units]\n");
        return 2;
    }
    char dir[] = "/tmp/velmora-provision-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = dir;
    const std::string link = base + "/bench", simLog = base + "/sim.log", unitLog = base + "/units.jsonl";
    int status = 0;
    {
        SimulatorProcess sim;
        if (!sim.Start(link, {"--serial", "1001", "--latency-ms", "0", "--exit-on-eof"}, simLog)) {
            std::fprintf(stderr, "provision_bench: tarnik-sim did not come up (%s)\n", TARNIK_SIM_BINARY);
            return 1;
        }
        ProvisionOptions options;
        const std::string problem =
            ProfileValues(nlohmann::json::parse(R"({"channel": 12, "baudRate": 19200, "dataBits": 8, "parity": "N",
                                      "stopBits": 1, "pins": "1000"})"),
                          options.profile);
        if (!problem.empty()) return 1;
        options.addressFrom = 1;
        options.logPath = unitLog;

        ConsoleOptions console;
        console.yes = true;
        console.quiet = true;
        std::FILE* quiet = std::fopen("/dev/null", "w");
        ConsoleHost host(console, SteadyClock(), quiet);
        CVelmoraDoc doc(host);
        CommandContext ctx{doc, host, link, false, quiet, {}, SerialSettings{9600, '8', 'N', '1'}, true};
        Swapper swapper(link, sim, simLog, units);
        const int rc = RunProvision(ctx, options, swapper);
        std::fclose(quiet);

        const int records = Count(ReadAll(unitLog), "\"result\":\"done\"");
        const std::vector<double> line = LineSeconds(ReadAll(simLog));
        if (rc != kExitOk || records != units || static_cast<int>(line.size()) != units ||
            swapper.ends.size() != swapper.starts.size()) {
            std::fprintf(stderr, "provision_bench: run failed (exit %d, %d of %d units done)\n", rc, records, units);
            status = 1;
        } else {
            double wall = 0, lineTotal = 0;
            for (int i = 0; i < units; ++i) {
                const double seconds = std::chrono::duration<double>(swapper.ends[static_cast<std::size_t>(i)] -
                                                                     swapper.starts[static_cast<std::size_t>(i)])
                                           .count();
                wall += seconds;
                lineTotal += line[static_cast<std::size_t>(i)];
                std::printf("unit %2d: %.3f s, line %.3f s\n", i + 1, seconds, line[static_cast<std::size_t>(i)]);
            }
            std::printf("units: %d\nseconds per unit: %.3f\nline time per unit: %.3f\n", units, wall / units,
                        lineTotal / units);
            std::printf("ratio: %.2f\n", wall / lineTotal);
        }
    }
    unlink(unitLog.c_str());
    unlink(simLog.c_str());
    unlink(link.c_str());
    rmdir(dir);
    return status;
}
