// A provisioning run with known line settings against tarnik-sim on
// pseudo-terminals, paced at the baud rate, first with one station, then with
// four working at the same time (one log, one address allocator).
//
// One station: for each unit the seconds from the module being asked for (its
// first answer is the probe at the known settings) to its record written,
// against the time its exchanges take on the line (the bytes of every request
// and answer at the line settings in force). The difference is what the
// program adds: opening and configuring the port per exchange, waiting,
// parsing, the log written through to the disk.
//
// Both: units per minute over the whole run, and a check that every unit got
// an address of its own.
//
//   provision_bench [units per station]      default 10
//
// New modules come at the factory settings (9600 8N1, found by --line); the
// profile moves them to 19200 8N1, channel 12, pins 1000, an address each.
// The last line is "ratio: X.XX" (units per minute with four stations / with one).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
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
    // `station` is the module's number on the simulator, from 1.
    Swapper(std::string port, const SimulatorProcess& sim, std::string simLog, int units, int station)
        : port_(std::move(port)), sim_(sim), simLog_(std::move(simLog)), units_(units), station_(station) {
        starts.push_back(Clock::now());
    }
    bool Wait(ConsoleHost&, const std::string&) override {
        ends.push_back(Clock::now());
        if (static_cast<int>(ends.size()) >= units_) return false;
        sim_.Say(std::to_string(station_) + " swap\n");
        const int wanted = static_cast<int>(ends.size());
        const std::string swapped = "module " + std::to_string(station_) + ": swap: module";
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Count(ReadAll(simLog_), swapped) < wanted) {
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
    int station_;
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

// One run with `stations` stations, each `units` units, against a fresh
// simulator of four modules.
struct RunFigures {
    bool ok = false;
    int done = 0;
    int failed = 0;  // units whose write or read-back failed (the machine too loaded for the module's time-outs)
    double seconds = 0;
    double linePerUnit = 0, wallPerUnit = 0;  // station 1's units
    bool addressesUnique = false;
};

RunFigures RunStations(const std::string& base, int stations, int units) {
    RunFigures figures;
    const std::string simLog = base + "/sim.log", unitLog = base + "/units.jsonl";
    std::vector<std::string> links;
    std::vector<std::string> simOptions = {"--latency-ms", "0", "--exit-on-eof"};
    for (int k = 0; k < 4; ++k) {
        links.push_back(base + "/bench" + std::to_string(k + 1));
        if (k > 0) simOptions.insert(simOptions.end(), {"--link", links.back()});
        simOptions.insert(simOptions.end(), {"--serial", std::to_string(1001 + 1000 * k)});
    }
    {
        SimulatorProcess sim;
        if (!sim.Start(links.front(), simOptions, simLog)) {
            std::fprintf(stderr, "provision_bench: tarnik-sim did not come up (%s)\n", TARNIK_SIM_BINARY);
            return figures;
        }
        ProvisionOptions options;
        const std::string problem =
            ProfileValues(nlohmann::json::parse(R"({"channel": 12, "baudRate": 19200, "dataBits": 8, "parity": "N",
                                      "stopBits": 1, "pins": "1000"})"),
                          options.profile);
        if (!problem.empty()) return figures;
        options.addressFrom = 1;
        options.logPath = unitLog;

        ConsoleOptions console;
        console.yes = true;
        console.quiet = true;
        std::FILE* quiet = std::fopen("/dev/null", "w");
        ConsoleHost host(console, SteadyClock(), quiet);
        CVelmoraDoc doc(host);
        CommandContext ctx{doc, host, links.front(), false, quiet, {}, SerialSettings{9600, '8', 'N', '1'}, true};
        std::vector<std::unique_ptr<Swapper>> swappers;
        std::vector<ProvisionStation> list;
        for (int k = 0; k < stations; ++k) {
            swappers.push_back(
                std::make_unique<Swapper>(links[static_cast<std::size_t>(k)], sim, simLog, units, k + 1));
            list.push_back({links[static_cast<std::size_t>(k)], swappers.back().get()});
        }
        const auto start = Clock::now();
        const int rc = RunProvision(ctx, options, list);
        figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::fclose(quiet);

        const std::string records = ReadAll(unitLog);
        figures.done = Count(records, "\"result\":\"done\"");
        figures.failed = Count(records, "\"result\":\"failed\"");
        std::set<int> addresses;
        std::istringstream lines(records);
        for (std::string line; std::getline(lines, line);) {
            const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
            if (record.is_object() && record["result"] == "done") addresses.insert(record["address"].get<int>());
        }
        figures.addressesUnique = static_cast<int>(addresses.size()) == figures.done;
        // Every unit has its result; one that failed is counted, not hidden.
        figures.ok = (rc == kExitOk || rc == kExitLink) && figures.done + figures.failed == stations * units &&
                     figures.addressesUnique;
        if (stations == 1) {
            const std::vector<double> line = LineSeconds(ReadAll(simLog));
            const Swapper& one = *swappers.front();
            const bool perUnit = static_cast<int>(line.size()) == units && one.ends.size() == one.starts.size();
            for (int i = 0; figures.ok && perUnit && i < units; ++i) {
                const auto u = static_cast<std::size_t>(i);
                const double seconds = std::chrono::duration<double>(one.ends[u] - one.starts[u]).count();
                figures.wallPerUnit += seconds / units;
                figures.linePerUnit += line[u] / units;
                std::printf("unit %2d: %.3f s, line %.3f s\n", i + 1, seconds, line[u]);
            }
        }
        if (!figures.ok || figures.failed > 0) {
            std::fprintf(stderr, "provision_bench: %d station(s): exit %d, %d of %d units done, %s\n", stations, rc,
                         figures.done, stations * units,
                         figures.addressesUnique ? "addresses unique" : "an address given twice");
            std::istringstream failed(records);
            for (std::string line; std::getline(failed, line);) {
                if (line.find("\"result\":\"failed\"") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
            }
        }
    }
    unlink(unitLog.c_str());
    unlink(simLog.c_str());
    for (const std::string& link : links) unlink(link.c_str());
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int units = argc > 1 ? std::atoi(argv[1]) : 10;
    if (units <= 0) {
        std::fprintf(stderr, "usage: provision_bench [units per station]\n");
        return 2;
    }
    char dir[] = "/tmp/velmora-provision-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const RunFigures one = RunStations(dir, 1, units);
    const RunFigures four = one.ok ? RunStations(dir, 4, units) : RunFigures{};
    rmdir(dir);
    if (!one.ok || !four.ok) return 1;
    const double perMinuteOne = one.done / one.seconds * 60, perMinuteFour = four.done / four.seconds * 60;
    std::printf("units per station: %d\n", units);
    std::printf("1 station: seconds per unit %.3f, line time per unit %.3f (program / line %.2f)\n", one.wallPerUnit,
                one.linePerUnit, one.wallPerUnit / one.linePerUnit);
    std::printf("1 station: %d units done, %d failed, in %.3f s: %.1f units/min\n", one.done, one.failed, one.seconds,
                perMinuteOne);
    std::printf("4 stations: %d units done, %d failed, in %.3f s: %.1f units/min; every address given once\n",
                four.done, four.failed, four.seconds, perMinuteFour);
    std::printf("ratio: %.2f\n", perMinuteFour / perMinuteOne);
    return 0;
}
