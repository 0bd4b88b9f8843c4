// Work on several threads at once. Several ports searched at once, one thread
// each, against simulated modules
// on virtual ports (each with a virtual clock of its own, so the searches take
// no time, but each wait lets the other threads run); stations of a bench
// sharing one log.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CVelmoraDoc.h"
#include "ConsoleHost.h"
#include "KvClock.h"
#include "NextModule.h"
#include "PortSearch.h"
#include "Processes.h"
#include "Provision.h"
#include "ProvisionLog.h"
#include "Simulation.h"

namespace {

// Virtual time that hands the processor on at every wait, as a real wait
// would: the searches on the other threads run in between.
class YieldingClock final : public KvClock {
public:
    Duration Now() override { return now_; }
    void SleepFor(Duration d) override {
        if (d.count() > 0) now_ += d;
        std::this_thread::yield();
    }

private:
    Duration now_{0};
};

KvPortInfo Port(const std::string& name) {
    KvPortInfo p;
    p.name = name;
    return p;
}

}  // namespace

TEST(PortSearch, EveryPortSearchedAtOnceEachFromItsFirstCandidate) {
    struct Module {
        const char* port;
        const char* line;
        std::vector<std::string> faults;
        bool found;
        int candidate;  // where a search of this port alone ends
        std::int32_t baud, dataBits, parity, stopBits;
    };
    const std::vector<Module> modules = {
        {"COM41", "9600,8,N,1", {}, true, 43, 9600, '8', 'N', '1'},
        {"COM42", "1200,8,O,2", {}, true, 84, 1200, '8', 'O', '2'},
        {"COM43", "57600,7,N,1", {}, true, 1, 57600, '7', 'N', '1'},
        {"COM44", "9600,8,N,1", {"silence:*:-1"}, false, 84, 0, 0, 0, 0},
    };
    std::vector<std::unique_ptr<YieldingClock>> clocks;
    std::vector<std::unique_ptr<Simulation>> simulations;
    std::vector<KvPortInfo> ports;
    for (const Module& m : modules) {
        SimulationOptions options;
        options.line = m.line;
        options.serial = std::to_string(500 + ports.size());
        options.faults = m.faults;
        clocks.push_back(std::make_unique<YieldingClock>());
        simulations.push_back(std::make_unique<Simulation>(m.port, options, *clocks.back()));
        ports.push_back(Port(m.port));
    }
    ports.push_back(Port("COM45"));  // nothing there: the port cannot be opened

    PortSearchOptions options;
    options.quiet = true;
    const std::vector<PortSearchResult> results = SearchPorts(ports, options, SteadyClock(), stderr);
    ASSERT_EQ(results.size(), ports.size());
    for (std::size_t k = 0; k < modules.size(); ++k) {
        const Module& m = modules[k];
        const PortSearchResult& r = results[k];
        EXPECT_EQ(r.port.name, m.port);
        EXPECT_EQ(r.found, m.found) << m.port;
        EXPECT_EQ(r.candidate, m.candidate) << m.port;
        EXPECT_TRUE(r.problem.empty()) << m.port << ": " << r.problem;
        if (!m.found) continue;
        EXPECT_EQ(r.serialNumber, 500 + k) << m.port;
        EXPECT_EQ(r.line.baudRate, m.baud) << m.port;
        EXPECT_EQ(r.line.dataBits, m.dataBits) << m.port;
        EXPECT_EQ(r.line.parity, m.parity) << m.port;
        EXPECT_EQ(r.line.stopBits, m.stopBits) << m.port;
    }
    EXPECT_FALSE(results.back().found);
    EXPECT_NE(results.back().problem, "");
}

TEST(PortSearch, AutoTakesTheOnePortWhereAModuleAnswered) {
    const auto result = [](const char* name, bool found, std::uint32_t serial = 0) {
        PortSearchResult r;
        r.port.name = name;
        r.port.serialNumber = std::string("A") + name[std::string(name).size() - 1];
        r.found = found;
        r.serialNumber = serial;
        r.line = SerialSettings{9600, '8', 'N', '1'};
        return r;
    };
    const struct {
        const char* what;
        std::vector<PortSearchResult> results;
        const char* chosen;  // nullptr: none
        int exitCode;
        std::vector<std::string> lines;  // lines of the explanation that must be there
    } cases[] = {
        {"no ports", {}, nullptr, 4, {"no serial devices found"}},
        {"nobody answered",
         {result("/dev/ttyUSB0", false), result("/dev/ttyUSB1", false)},
         nullptr,
         4,
         {"/dev/ttyUSB0 (serial number A0): no module answered",
          "/dev/ttyUSB1 (serial number A1): no module answered"}},
        {"one of three",
         {result("/dev/ttyUSB0", false), result("/dev/ttyUSB1", true, 7), result("/dev/ttyUSB2", false)},
         "/dev/ttyUSB1",
         0,
         {}},
        {"two answered",
         {result("/dev/ttyUSB0", true, 7), result("/dev/ttyUSB1", false), result("/dev/ttyUSB2", true, 8)},
         nullptr,
         2,
         {"modules answered on 2 ports", "/dev/ttyUSB0 (serial number A0): module 000000007 at 9600 8N1",
          "/dev/ttyUSB2 (serial number A2): module 000000008 at 9600 8N1"}},
    };
    for (const auto& c : cases) {
        const AutoPortChoice choice = ChooseAutoPort(c.results);
        EXPECT_EQ(choice.chosen.has_value(), c.chosen != nullptr) << c.what;
        if (choice.chosen && c.chosen) {
            EXPECT_EQ(choice.chosen->port.name, c.chosen) << c.what;
        }
        EXPECT_EQ(choice.exitCode, c.exitCode) << c.what;
        std::string text;
        for (const std::string& line : choice.why) text += line + "\n";
        for (const std::string& line : c.lines) EXPECT_NE(text.find(line), std::string::npos) << c.what << "\n" << text;
    }
}

TEST(ProvisionLogThreads, AnAddressChosenIsNobodyElsesUntilItsRecordIsIn) {
    // A station holds the log from its choice of an address to its started
    // record; another station choosing meanwhile waits and gets the next.
    TempDir dir;
    ProvisionLog log;
    ASSERT_EQ(log.Open(dir.File("units.jsonl")), "");
    auto claim = log.Hold();
    int first = 0;
    ASSERT_EQ(log.AddressFor(1001, std::nullopt, 1, {}, first).english, "");
    std::mutex lock;
    std::condition_variable changed;
    bool chosen = false;
    int second = 0;
    std::thread other([&] {
        int address = 0;
        const std::string problem = log.AddressFor(2001, std::nullopt, 1, {}, address).english;
        const std::lock_guard<std::mutex> guard(lock);
        second = problem.empty() ? address : -1;
        chosen = true;
        changed.notify_all();
    });
    {
        // The other station's turn, if it can have one before the record.
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::milliseconds(200), [&] { return chosen; });
    }
    nlohmann::ordered_json record;
    record["serialNumber"] = 1001;
    record["address"] = first;
    record["result"] = "started";
    ASSERT_EQ(log.Append(record, &claim), "");
    EXPECT_FALSE(claim.owns_lock());
    other.join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(ProvisionStations, FourStationsAtOnceShareOneLogAndItsAddresses) {
    // Four stations, each with a simulated module on its port and two more to
    // swap in: every unit done, each with an address of its own.
    TempDir dir;
    constexpr int kStations = 4, kUnits = 3;
    std::vector<std::unique_ptr<YieldingClock>> clocks;
    std::vector<std::unique_ptr<Simulation>> simulations;
    std::vector<std::unique_ptr<NextModule>> nexts;
    std::vector<ProvisionStation> stations;
    for (int k = 0; k < kStations; ++k) {
        const std::string port = "COM" + std::to_string(51 + k);
        SimulationOptions sim;
        sim.serial = std::to_string(1000 * (k + 1));
        for (int u = 1; u < kUnits; ++u) sim.swaps.push_back("");
        clocks.push_back(std::make_unique<YieldingClock>());
        simulations.push_back(std::make_unique<Simulation>(port, sim, *clocks.back()));
        nexts.push_back(MakeSimulatedNext(port, *simulations.back()));
        stations.push_back({port, nexts.back().get()});
    }
    ProvisionOptions options;
    options.profile.channel = 12;
    options.addressFrom = 1;
    options.logPath = dir.File("units.jsonl");
    ConsoleOptions console;
    console.yes = true;
    console.quiet = true;
    std::FILE* sink = std::tmpfile();
    ConsoleHost host(console, SteadyClock(), sink);
    CVelmoraDoc doc(host);
    CommandContext ctx{doc, host, "COM51", false, sink, {}, SerialSettings{9600, '8', 'N', '1'}, true};
    EXPECT_EQ(RunProvision(ctx, options, stations), kExitOk);
    std::fclose(sink);

    std::set<int> addresses;
    std::set<std::uint32_t> serials;
    std::istringstream lines(ReadFile(options.logPath));
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json record = nlohmann::json::parse(line);
        if (record["result"] != "done") continue;
        addresses.insert(record["address"].get<int>());
        serials.insert(record["serialNumber"].get<std::uint32_t>());
    }
    EXPECT_EQ(serials.size(), static_cast<std::size_t>(kStations * kUnits));
    EXPECT_EQ(addresses.size(), static_cast<std::size_t>(kStations * kUnits));
    EXPECT_EQ(*addresses.rbegin(), kStations * kUnits);
}
