// tarnik link-test against a pair that tarnik-sim serves on two pseudo-terminals.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "Processes.h"

namespace {

using testing::HasSubstr;

nlohmann::json Json(const std::string& text) { return nlohmann::json::parse(text, nullptr, false); }

// The frames tarnik-sim logged as lost or spoilt, of one module's first `below` frames.
struct Damage {
    int dropped = 0;
    int corrupted = 0;
};
Damage Logged(const std::string& log, int module, std::uint64_t below) {
    Damage d;
    const std::regex line(R"(radio: frame (\d+) from module (\d), \d+ byte\(s\), (dropped|corrupted))");
    std::istringstream lines(log);
    std::string text;
    std::smatch m;
    while (std::getline(lines, text)) {
        if (!std::regex_search(text, m, line) || std::stoi(m[2]) != module || std::stoull(m[1]) >= below) continue;
        (m[3] == "dropped" ? d.dropped : d.corrupted) += 1;
    }
    return d;
}

}  // namespace

TEST(LinkTestPty, AfterPairAndPowerCycleTheLinkDeliversEveryPacketBothWays) {
    // The worked example: pair, switch both off and on, link-test with the
    // line settings from the pair's record.
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "a", {"--peer-link", dir.File("b"), "--baud", "57600"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    const std::string log = dir.File("pairs.jsonl");
    RunResult r = RunProgram(TARNIK_BINARY, {"--port", sim.link(), "--yes", "pair", "--peer-port", dir.File("b"),
                                             "--channel", "12", "--log", log});
    ASSERT_EQ(r.code, 0) << r.err << sim.Log();

    sim.PowerCycle();
    ASSERT_TRUE(sim.WaitForLog("module 2: power cycle")) << sim.Log();
    r = RunProgram(TARNIK_BINARY, {"--port", sim.link(), "link-test", "--peer-port", dir.File("b"), "--packets", "100",
                                   "--json", "--log", log});
    ASSERT_EQ(r.code, 0) << r.err << sim.Log();
    const nlohmann::json result = Json(r.out);
    ASSERT_TRUE(result.is_object()) << r.out;
    EXPECT_EQ(result["baudRate"], 57600);
    for (const char* direction : {"aToB", "bToA"}) {
        SCOPED_TRACE(direction);
        const nlohmann::json& d = result[direction];
        EXPECT_EQ(d["sent"], 100);
        EXPECT_EQ(d["delivered"], 100);
        EXPECT_EQ(d["lost"], 0);
        EXPECT_EQ(d["corrupted"], 0);
        EXPECT_TRUE(d["bytesPerSecond"].is_number());
    }
    EXPECT_EQ(result["roundTrip"]["answered"], result["roundTrip"]["sent"]);
    EXPECT_TRUE(result["roundTrip"]["medianMs"].is_number());
    // The record went into the pair's log after the pair's own two.
    std::istringstream lines(ReadFile(log));
    std::string line, last;
    int count = 0;
    while (std::getline(lines, line)) {
        last = line;
        ++count;
    }
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Json(last), result);
}

TEST(LinkTestPty, CountsAgreeWithTheFramesTheSimulatorLostOrSpoilt) {
    // 2 % of the frames lost and about 2.5 % spoilt (bit-error rate 5e-5 on
    // 512 bits), seeded. Every 64-byte packet travels as one air frame of 64
    // (the long idle time keeps a sender stalled mid-packet from splitting
    // one), so frame K of a module is its packet K: lost + corrupted must
    // equal the frames the simulator lost or spoilt among them. A bit error
    // that strikes or forges the "~" a packet starts with turns a corrupted
    // packet into a lost one (or costs the next packet its start): the test
    // allows one such packet per direction between the two counts.
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "a",
                   {"--peer-link", dir.File("b"), "--baud", "57600", "--stored-mode", "1", "--loss", "2",
                    "--bit-error-rate", "5e-5", "--seed", "7", "--air-idle-ms", "50"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    const RunResult r =
        RunProgram(TARNIK_BINARY, {"--port", sim.link(), "--line", "57600,8,N,1", "link-test", "--peer-port",
                                   dir.File("b"), "--packets", "300", "--json", "--min-delivery", "99"});
    // Below --min-delivery: exit 5, the counts reported all the same.
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_THAT(r.err, HasSubstr("below --min-delivery 99"));
    const nlohmann::json result = Json(r.out);
    ASSERT_TRUE(result.is_object()) << r.out << r.err;
    const std::string simLog = sim.Log();
    int damagedFrames = 0;
    for (const auto& [direction, module] : {std::pair{"aToB", 1}, std::pair{"bToA", 2}}) {
        SCOPED_TRACE(direction);
        const nlohmann::json& d = result[direction];
        ASSERT_EQ(d["sent"], 300);
        const Damage logged = Logged(simLog, module, 300);
        const int lost = d["lost"], corrupted = d["corrupted"];
        EXPECT_NEAR(lost + corrupted, logged.dropped + logged.corrupted, 1) << simLog;
        EXPECT_GE(lost, logged.dropped - 1);
        EXPECT_LE(corrupted, logged.corrupted + 1);
        EXPECT_EQ(d["delivered"].get<int>() + lost + corrupted, 300);
        EXPECT_EQ(d["duplicated"], 0);
        damagedFrames += logged.dropped + logged.corrupted;
    }
    EXPECT_GT(damagedFrames, 10);  // the rates took effect
}

TEST(LinkTestPty, ModulesInStandardModeEndItWithAClearMessageAndHearNoRequest) {
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "a", {"--peer-link", dir.File("b"), "--baud", "57600"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    const RunResult r = RunProgram(TARNIK_BINARY, {"--port", sim.link(), "--line", "57600,8,N,1", "link-test",
                                                   "--peer-port", dir.File("b"), "--packets", "20"});
    EXPECT_EQ(r.code, 5);
    EXPECT_THAT(r.err, HasSubstr("nothing came through from " + sim.link()));
    EXPECT_THAT(r.err, HasSubstr("transparent mode"));
    // Three probes reached the module on A, and it took none of them for a request.
    EXPECT_EQ(sim.RequestsHeard(), 0) << sim.Log();
    EXPECT_THAT(sim.Log(), testing::Not(HasSubstr("not understood")));
}

TEST(MonitorPty, TypedBytesGoOutAndWhatComesBackIsShownEscaped) {
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "a",
                   {"--peer-link", dir.File("b"), "--baud", "57600", "--stored-mode", "1"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    // The far module's serial line, played by the test: it answers once the typed bytes are in.
    const int far = open(dir.File("b").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(far, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(far, &tio), 0);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    ASSERT_EQ(tcsetattr(far, TCSANOW, &tio), 0);
    std::string typed;
    std::thread answer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (typed.size() < 6 && std::chrono::steady_clock::now() < deadline) {
            pollfd p{far, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[64];
            const ssize_t n = read(far, buffer, sizeof buffer);
            if (n > 0) typed.append(buffer, static_cast<std::size_t>(n));
        }
        const ssize_t n = write(far, "hi\x02\xff\r\n", 6);
        (void)n;
    });
    int keys[2];
    ASSERT_EQ(pipe(keys), 0);
    ASSERT_EQ(write(keys[1], "typed\x01", 6), 6);
    close(keys[1]);
    const RunResult r = RunProgram(TARNIK_BINARY, {"--port", sim.link(), "--line", "57600,8,N,1", "monitor"}, keys[0]);
    close(keys[0]);
    answer.join();
    close(far);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(typed, "typed\x01");
    EXPECT_EQ(r.out, "hi\\x02\\xFF\\x0D\\x0A\n");
}
