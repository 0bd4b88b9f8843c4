// pair and provision against tarnik-sim, the way a production bench runs them:
// modules changed on the simulator's standard input ("swap"), the operator's
// Enter on tarnik's.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Processes.h"

namespace {

using Args = std::vector<std::string>;
using testing::HasSubstr;

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Waits until `done` holds, at most `limit`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        poll(nullptr, 0, 10);
    }
    return true;
}

std::vector<nlohmann::json> Records(const std::string& path) {
    std::vector<nlohmann::json> records;
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) records.push_back(nlohmann::json::parse(line, nullptr, false));
    return records;
}

// The result records of a log: each unit's "started" record left out.
std::vector<nlohmann::json> Results(const std::vector<nlohmann::json>& records) {
    std::vector<nlohmann::json> results;
    for (const nlohmann::json& record : records) {
        if (record.value("result", "") != "started") results.push_back(record);
    }
    return results;
}

// What the module heard, as tarnik-sim logs it.
std::string Heard(const std::string& request) { return "heard \"" + request + "\\r\\n\""; }

// One provisioning run on `sim`'s port. The operator's part: at each prompt the
// next module of `swaps` goes in and Enter is pressed; after the last, the
// input ends.
// With `interrupt`, tarnik gets SIGINT once `interrupt` holds, instead of the next module.
RunResult Provision(SimProcess& sim, const TempDir& dir, const Args& options, const std::vector<std::string>& swaps,
                    const std::function<bool()>& interrupt = {}) {
    const std::string errors = dir.File("provision.err");
    const std::string pidFile = dir.File("provision.pid");
    WriteFile(errors, "");
    WriteFile(pidFile, "");
    Args args = {"-c",          "echo $$ >" + pidFile + "; exec \"$0\" \"$@\" 2>" + errors,
                 TARNIK_BINARY, "--port",
                 sim.link(),    "--yes",
                 "provision"};
    args.insert(args.end(), options.begin(), options.end());
    int keys[2];
    if (pipe2(keys, O_CLOEXEC) != 0) return {};  // the end the test writes must not stay open in tarnik
    RunResult result;
    std::thread tarnik([&] { result = RunProgram("/bin/sh", args, keys[0]); });
    if (interrupt) {
        if (WaitUntil(interrupt) && WaitUntil([&] { return !ReadFile(pidFile).empty(); })) {
            kill(std::stoi(ReadFile(pidFile)), SIGINT);
        }
    }
    const int swapsBefore = Count(sim.Log(), "swap: module");
    for (std::size_t i = 0; i < swaps.size(); ++i) {
        const int prompts = static_cast<int>(i) + 1;
        if (!WaitUntil([&] { return Count(ReadFile(errors), "press Enter") >= prompts; })) break;
        sim.Swap(swaps[i]);
        if (!WaitUntil([&] { return Count(sim.Log(), "swap: module") >= swapsBefore + prompts; })) break;
        if (write(keys[1], "\n", 1) != 1) break;
    }
    if (!interrupt) WaitUntil([&] { return Count(ReadFile(errors), "press Enter") > static_cast<int>(swaps.size()); });
    close(keys[1]);
    tarnik.join();
    close(keys[0]);
    result.err = ReadFile(errors);
    return result;
}

}  // namespace

TEST(BenchPty, PairSetsOneMasterAndOneSlaveAndChecksBoth) {
    TempDir dir;
    SimProcess a(TARNIK_SIM_BINARY, dir, "a", {"--baud", "57600", "--serial", "111"});
    SimProcess b(TARNIK_SIM_BINARY, dir, "b", {"--serial", "222", "--frame", "8E1"});
    ASSERT_TRUE(a.Ready()) << a.Log();
    ASSERT_TRUE(b.Ready()) << b.Log();

    const std::string log = dir.File("pairs.jsonl");
    const RunResult r = RunProgram(TARNIK_BINARY, {"--port", a.link(), "--yes", "pair", "--peer-port", b.link(),
                                                   "--channel", "9", "--baud", "19200", "--log", log});
    ASSERT_EQ(r.code, 0) << r.err << a.Log() << b.Log();
    const nlohmann::json record = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(record.is_object()) << r.out;
    EXPECT_EQ(record["result"], "done");
    EXPECT_EQ(record["master"]["serialNumber"], 111);
    EXPECT_EQ(record["slave"]["serialNumber"], 222);
    EXPECT_EQ(record["channel"], 9);
    // The line settings not given are the master's, and the slave gets them too.
    EXPECT_EQ(record["baudRate"], 19200);
    EXPECT_EQ(record["parity"], "N");
    // Both modules found and checked before the master was changed, then the pair's record.
    const std::vector<nlohmann::json> logged = Records(log);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0]["result"], "started");
    EXPECT_EQ(logged[0]["slave"]["serialNumber"], 222);
    EXPECT_EQ(logged[1], record);

    const struct {
        const SimProcess& sim;
        std::vector<std::string> requests;
    } expected[] = {
        {a, {"+FRQ:9", "+SCI:19200,8,N,1", "@MOD:1", "+SAD:0", "+PAD:1"}},
        {b, {"+FRQ:9", "+SCI:19200,8,N,1", "@MOD:2", "+SAD:1", "+PAD:0"}},
    };
    for (const auto& e : expected) {
        const std::string simLog = e.sim.Log();
        std::size_t at = 0;
        for (const std::string& request : e.requests) {
            at = simLog.find(Heard(request), at);
            ASSERT_NE(at, std::string::npos) << request << "\n" << simLog;
        }
        // Checked: read again after the mode's commands.
        EXPECT_NE(simLog.find(Heard("-MOD"), at), std::string::npos) << simLog;
    }
    EXPECT_THAT(r.err, HasSubstr("next power-up"));
    EXPECT_THAT(r.err, HasSubstr("mode standard"));
    EXPECT_THAT(r.err, HasSubstr("escape --baud 19200 --data-bits 8 --parity N --stop-bits 1"));
}

TEST(BenchSimulated, OnOnePortTheMasterItselfIsNotTakenForTheSlave) {
    // The operator has not changed the module yet (the same serial number comes back), then does.
    const RunResult r = RunProgram(
        TARNIK_BINARY, {"--simulate", "--sim-serial", "500", "--sim-swap", "--serial 500", "--sim-swap", "--serial 777",
                        "--sim-log", "--line", "9600,8,N,1", "--yes", "pair", "--channel", "4"});
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json record = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(record.is_object()) << r.out;
    EXPECT_EQ(record["master"]["serialNumber"], 500);
    EXPECT_EQ(record["slave"]["serialNumber"], 777);
    EXPECT_THAT(r.err, HasSubstr("is the master itself (000000500)"));
    // Master, then nothing for the module that came back, then the slave.
    const std::size_t master = r.err.find("sim: @MOD:1");
    const std::size_t again = r.err.find("sim: swap: module 000000500");
    const std::size_t slave = r.err.find("sim: swap: module 000000777");
    ASSERT_NE(slave, std::string::npos) << r.err;
    EXPECT_LT(master, again);
    EXPECT_EQ(r.err.substr(again, slave - again).find("sim: @MOD"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sim: @MOD:2", slave), std::string::npos) << r.err;
}

TEST(BenchPty, ProvisionLogsEveryUnitAndARerunRetriesOnlyTheFailed) {
    TempDir dir;
    const std::string profile = dir.File("profile.json");
    WriteFile(profile, R"({"channel": 5, "baudRate": 38400, "dataBits": 8, "parity": "N", "stopBits": 1})");
    const std::string log = dir.File("units.jsonl");
    // A new module talks at the factory settings (--line), a provisioned one at the profile's.
    const Args options = {"--from", profile, "--address-from", "100", "--log", log, "--line", "9600,8,N,1"};

    {
        // Five new modules; the third rejects the address the write sends.
        SimProcess sim(TARNIK_SIM_BINARY, dir, "bench", {"--serial", "1001"});
        ASSERT_TRUE(sim.Ready()) << sim.Log();
        const RunResult r = Provision(sim, dir, options, {"", "--fault nak:+SAD", "", ""});
        EXPECT_EQ(r.code, 5) << r.err;
        EXPECT_THAT(r.out, HasSubstr("provision: done 4, failed 1, skipped 0"));
        EXPECT_THAT(r.err, HasSubstr("000001003: failed"));
        EXPECT_THAT(sim.Log(), HasSubstr(Heard("+SAD:104")));  // the fifth unit
    }
    // A started record before every unit's result: five of each.
    ASSERT_EQ(Records(log).size(), 10u);
    std::vector<nlohmann::json> records = Results(Records(log));
    ASSERT_EQ(records.size(), 5u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const nlohmann::json& unit = records[i];
        EXPECT_EQ(unit["serialNumber"], 1001 + i);
        EXPECT_EQ(unit["address"], 100 + i);
        EXPECT_EQ(unit["result"], i == 2 ? "failed" : "done") << unit.dump();
        EXPECT_EQ(unit["before"]["baudRate"], 9600) << unit.dump();
        if (i != 2) {
            EXPECT_EQ(unit["after"]["address"], 100 + i) << unit.dump();
            EXPECT_EQ(unit["after"]["baudRate"], 38400) << unit.dump();
            EXPECT_EQ(unit["after"]["channel"], 5) << unit.dump();
        }
    }
    EXPECT_THAT(records[2]["reason"].get<std::string>(), HasSubstr("rejected"));

    {
        // The same five modules again (new, so at factory settings): only 1003 is written, with its address.
        SimProcess sim(TARNIK_SIM_BINARY, dir, "bench", {"--serial", "1001"});
        ASSERT_TRUE(sim.Ready()) << sim.Log();
        const RunResult r = Provision(sim, dir, options, {"", "", "", ""});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("provision: done 1, failed 0, skipped 4"));
        EXPECT_EQ(Count(sim.Log(), "+SAD:"), 1) << sim.Log();
        EXPECT_THAT(sim.Log(), HasSubstr(Heard("+SAD:102")));
    }
    records = Results(Records(log));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[5]["serialNumber"], 1003);
    EXPECT_EQ(records[5]["result"], "done");
    std::map<int, int> holder;  // address -> serial number
    for (const nlohmann::json& unit : records) {
        if (unit["address"].is_null()) continue;
        const auto [it, fresh] = holder.emplace(unit["address"].get<int>(), unit["serialNumber"].get<int>());
        EXPECT_TRUE(fresh || it->second == unit["serialNumber"]) << "address " << it->first << " given twice";
    }
}

TEST(BenchPty, CtrlCEndsARunAndAUnitCutShortIsLoggedAsFailed) {
    TempDir dir;
    const std::string profile = dir.File("profile.json");
    WriteFile(profile, R"({"channel": 3})");
    const std::string log = dir.File("units.jsonl");
    const Args options = {"--from", profile, "--address-from", "7", "--log", log, "--line", "9600,8,N,1"};
    SimProcess sim(TARNIK_SIM_BINARY, dir, "bench", {"--serial", "2001"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();

    // In the middle of the write.
    RunResult r =
        Provision(sim, dir, options, {}, [&] { return testing::Value(sim.Log(), HasSubstr(Heard("+SAD:7"))); });
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_THAT(r.err, HasSubstr("The settings may be incomplete."));
    EXPECT_THAT(r.err, HasSubstr("provision: done 0, failed 0, skipped 0"));
    std::vector<nlohmann::json> records = Results(Records(log));
    ASSERT_EQ(records.size(), 1u) << ReadFile(log);
    EXPECT_EQ(records[0]["result"], "failed");
    EXPECT_EQ(records[0]["address"], 7);
    EXPECT_THAT(records[0]["reason"].get<std::string>(), HasSubstr("interrupted"));

    // Again, after the module on the bench was replaced by one with the same
    // serial number (the answers still under way to the stopped program go with
    // the old one): the unit is done with its address; Ctrl-C at the prompt for
    // the next ends the run.
    sim.Swap("--serial 2001");
    ASSERT_TRUE(sim.WaitForLog("swap: module 000002001")) << sim.Log();
    const int before = Count(sim.Log(), " heard ");
    r = Provision(sim, dir, options, {}, [&] { return Count(ReadFile(dir.File("provision.err")), "press Enter") > 0; });
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_THAT(r.err, HasSubstr("tarnik: interrupted\nprovision: done 1, failed 0, skipped 0"));
    records = Results(Records(log));
    ASSERT_EQ(records.size(), 2u) << ReadFile(log);
    EXPECT_EQ(records[1]["result"], "done");
    EXPECT_EQ(records[1]["address"], 7);
    EXPECT_GT(Count(sim.Log(), " heard "), before);
}

// The write's own answers say "taken"; only the read-back of both banks, and of
// the serial number, tells a unit that is not set.
TEST(BenchSimulated, AUnitIsDoneOnlyWhenBothBanksAndItsSerialNumberReadBack) {
    TempDir dir;
    const std::string profile = dir.File("profile.json");
    WriteFile(profile, R"({"channel": 3})");
    const struct {
        const char* fault;
        const char* reason;
    } cases[] = {
        {"stored-ignored:SAD", "address (stored)"},
        {"stored-off:FRQ", "channel (stored)"},
        {"swap:+SCI", "another module (123456790)"},  // changed on the bench during the write
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string log = dir.File(std::string(c.fault).substr(0, std::string(c.fault).find(':')) + ".jsonl");
        const RunResult r =
            RunProgram(TARNIK_BINARY, {"--simulate", "--sim-change-fault", c.fault, "--line", "9600,8,N,1", "--yes",
                                       "provision", "--from", profile, "--address-from", "5", "--log", log});
        EXPECT_EQ(r.code, 5) << r.err;
        const std::vector<nlohmann::json> results = Results(Records(log));
        const bool swapped = std::string(c.fault).rfind("swap", 0) == 0;
        // The module that came in the middle has a record of its own, with no address.
        ASSERT_EQ(results.size(), swapped ? 2u : 1u) << ReadFile(log);
        for (const nlohmann::json& result : results) {
            EXPECT_EQ(result["result"], "failed");
            if (result["serialNumber"] == 123456789) {
                EXPECT_THAT(result.value("reason", ""), HasSubstr(c.reason)) << result.dump();
            } else {
                EXPECT_EQ(result["serialNumber"], 123456790);
                EXPECT_TRUE(result["address"].is_null()) << result.dump();
            }
        }
    }
}

// The process ends as by kill -9 at each request of a unit's write in turn
// (and at the first of its read-back); the next unit never gets the address
// the cut-short one had, and that one gets it again when it comes back.
TEST(BenchSimulated, AKillAtAnyRequestOfAUnitNeverGivesItsAddressToAnother) {
    TempDir dir;
    const std::string profile = dir.File("profile.json");
    WriteFile(profile, R"({"channel": 3})");
    const std::string log = dir.File("units.jsonl");
    const Args common = {"--simulate", "--sim-line", "57600,8,N,1",    "--line", "57600,8,N,1", "--yes", "provision",
                         "--from",     profile,      "--address-from", "10",     "--log",       log};
    const auto run = [&](int serial, const Args& more) {
        Args args = {"--sim-serial", std::to_string(serial)};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), common.begin(), common.end());
        return RunProgram(TARNIK_BINARY, args);
    };
    // SAD, FRQ, eight PFC, SCI, then the read-back's first query.
    constexpr int kRequests = 12;
    for (int k = 1; k <= kRequests; ++k) {
        SCOPED_TRACE("killed at request " + std::to_string(k));
        EXPECT_EQ(run(1000 + k, {"--sim-change-fault", "kill=" + std::to_string(k) + ":*"}).code, -1);
        const RunResult next = run(2000 + k, {});
        EXPECT_EQ(next.code, 0) << next.err;
    }
    const RunResult again = run(1001, {});
    EXPECT_EQ(again.code, 0) << again.err;

    std::map<int, int> holder;  // address -> serial number
    std::map<int, int> addressOf;
    for (const nlohmann::json& record : Records(log)) {
        ASSERT_TRUE(record.is_object()) << ReadFile(log);
        if (record["address"].is_null()) continue;
        const int address = record["address"].get<int>();
        const int serial = record["serialNumber"].get<int>();
        const auto [it, fresh] = holder.emplace(address, serial);
        EXPECT_TRUE(fresh || it->second == serial) << "address " << address << " given twice";
        addressOf[serial] = address;
    }
    for (int k = 1; k <= kRequests; ++k) ASSERT_EQ(addressOf.count(1000 + k), 1u) << "no record of " << 1000 + k;
    EXPECT_EQ(Results(Records(log)).back()["result"], "done");
    EXPECT_EQ(Results(Records(log)).back()["serialNumber"], 1001);
    EXPECT_EQ(Results(Records(log)).back()["address"], addressOf[1001]);
}

// Two stations at once: one log, addresses handed out once, every line with its
// station's port; Ctrl-C in the middle of both writes logs both units.
TEST(BenchPty, CtrlCDuringTwoStationsLogsBothUnitsCutShort) {
    TempDir dir;
    const std::string profile = dir.File("profile.json");
    WriteFile(profile, R"({"channel": 3})");
    const std::string log = dir.File("units.jsonl");
    SimProcess sim(TARNIK_SIM_BINARY, dir, "a", {"--serial", "3001", "--link", dir.File("b")});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    int keys[2];
    ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
    std::atomic<pid_t> pid{-1};
    RunResult r;
    std::thread tarnik([&] {
        r = RunProgram(TARNIK_BINARY,
                       {"--port", sim.link(), "--port", dir.File("b"), "--yes", "--line", "9600,8,N,1", "provision",
                        "--from", profile, "--address-from", "7", "--log", log},
                       keys[0], std::chrono::seconds(60), [&](pid_t started) { pid = started; });
    });
    const bool both = WaitUntil([&] {
        const std::string heard = sim.Log();
        return heard.find("module 1: heard \"+SAD:") != std::string::npos &&
               heard.find("module 2: heard \"+SAD:") != std::string::npos;
    });
    if (pid > 0) kill(pid, SIGINT);
    close(keys[1]);
    tarnik.join();
    close(keys[0]);
    ASSERT_TRUE(both) << sim.Log();
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_THAT(r.err, HasSubstr(sim.link() + ": "));
    EXPECT_THAT(r.err, HasSubstr(dir.File("b") + ": "));
    const std::vector<nlohmann::json> records = Results(Records(log));
    ASSERT_EQ(records.size(), 2u) << ReadFile(log);
    std::set<int> addresses;
    for (const nlohmann::json& record : records) {
        EXPECT_EQ(record["result"], "failed");
        EXPECT_THAT(record["reason"].get<std::string>(), HasSubstr("interrupted"));
        addresses.insert(record["address"].get<int>());
    }
    EXPECT_EQ(addresses, (std::set<int>{7, 8}));
}
