// tarnik run as a process, the way scripts run it: against the module
// simulated inside it (--simulate), against tarnik-sim on a pseudo-terminal,
// and against pseudo-terminals whose far end the test plays.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "Processes.h"

namespace {

using Args = std::vector<std::string>;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

// A module found at the first candidate: the search costs one attempt.
const Args kFast = {"--simulate", "--sim-line", "57600,7,N,1"};

RunResult RunTarnik(const Args& args, int stdinFd = -1) { return RunProgram(TARNIK_BINARY, args, stdinFd); }

Args With(Args base, const Args& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

nlohmann::json Json(const std::string& text) { return nlohmann::json::parse(text, nullptr, false); }

// The JSON object `text` has every field of `expected` with that value.
void ExpectFields(const std::string& text, const nlohmann::json& expected) {
    nlohmann::json j = Json(text);  // not const: a missing field reads as null
    ASSERT_TRUE(j.is_object()) << text;
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(j[key], value) << key << " in " << text;
}

// The requests the in-process module heard (--sim-log), in order.
std::vector<std::string> Heard(const RunResult& r) {
    std::vector<std::string> requests;
    std::size_t at = 0;
    while ((at = r.err.find("sim: ", at)) != std::string::npos) {
        at += 5;
        requests.push_back(r.err.substr(at, r.err.find(" -> ", at) - at));
    }
    return requests;
}

// Index of the first request equal to `request` at or after `from`; -1 if none.
int Find(const std::vector<std::string>& requests, const std::string& request, int from = 0) {
    for (std::size_t i = static_cast<std::size_t>(from); i < requests.size(); ++i) {
        if (requests[i] == request) return static_cast<int>(i);
    }
    return -1;
}

// True when `requests` holds `expected` in this order, other requests between them or not.
bool HeardInOrder(const std::vector<std::string>& requests, std::initializer_list<std::string> expected) {
    int at = 0;
    for (const std::string& request : expected) {
        if ((at = Find(requests, request, at)) < 0) return false;
        ++at;
    }
    return true;
}

bool AnyStartsWith(const std::vector<std::string>& requests, const std::string& prefix) {
    for (const std::string& r : requests) {
        if (r.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

}  // namespace

TEST(CliSimulated, ReadAndScanReportTheModule) {
    RunResult r = RunTarnik(With(kFast, {"--sim-serial", "4242", "--sim-version", "2.01.007", "read", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"serialNumber", 4242},
                         {"version", "2.01.007"},
                         {"runningMode", 0},
                         {"storedMode", 0},
                         {"address", 0},
                         {"channel", 0},
                         {"channelMHz", 2405},
                         {"baudRate", 57600},
                         {"dataBits", 7},
                         {"parity", "N"},
                         {"stopBits", 1},
                         {"pins", "0000"},
                         {"pinsFixed", false},
                         {"addressLocked", false}});
    // Not a terminal: the search prints plain lines, and found the module at once.
    EXPECT_THAT(r.err, HasSubstr("candidate 1/84: 57600bps, 7bits, none, stop1\n"));
    EXPECT_THAT(r.err, Not(HasSubstr("candidate 2/84")));
    EXPECT_THAT(r.err, Not(HasSubstr("\r")));

    r = RunTarnik(With(kFast, {"--sim-fixed-pins", "read", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"pinsFixed", true}});

    // The human form carries the settings window's notes.
    r = RunTarnik(With(kFast, {"--sim-fixed-pins", "read"}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("This Tarnik module is a model whose I/O pin functions are fixed."));
    EXPECT_THAT(r.out, HasSubstr("Baud rate: 57600 bps"));

    r = RunTarnik({"--simulate", "--sim-line", "38400,7,O,2", "scan", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"candidate", 18}, {"baudRate", 38400}, {"dataBits", 7}, {"parity", "O"}, {"stopBits", 2}});
    EXPECT_THAT(r.err, HasSubstr("candidate 17/84: 38400bps, 7bits, odd, stop1\n"));
    EXPECT_THAT(r.err, HasSubstr("candidate 18/84: 38400bps, 7bits, odd, stop2\n"));
}

TEST(CliSimulated, WriteSendsTheRecordAndReadsItBack) {
    RunResult r = RunTarnik(With(kFast, {"--sim-log", "--yes", "write", "--address", "25", "--channel", "10", "--pins",
                                         "2100", "--baud", "19200", "--parity", "e", "--reload", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    // Data bits as read: not given, so written as they were.
    ExpectFields(r.out, {{"address", 25},
                         {"channel", 10},
                         {"channelMHz", 2415},
                         {"baudRate", 19200},
                         {"dataBits", 7},
                         {"parity", "E"},
                         {"pins", "2100"}});
    // The record, then the re-read after the line settings changed.
    EXPECT_TRUE(HeardInOrder(
        Heard(r), {"+SAD:25\\r\\n", "+FRQ:10\\r\\n", "-PFC:2100\\r\\n", "+SCI:19200,7,E,1\\r\\n", "-VER\\r\\n"}))
        << r.err;

    // A model with fixed pin functions: no pin write at all; asking for other
    // pins is refused before anything is written.
    r = RunTarnik(With(kFast, {"--sim-fixed-pins", "--sim-log", "--yes", "write", "--address", "7", "--pins", "0000"}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_GE(Find(Heard(r), "+SAD:7\\r\\n"), 0) << r.err;
    EXPECT_FALSE(AnyStartsWith(Heard(r), "@PFC")) << r.err;
    EXPECT_FALSE(AnyStartsWith(Heard(r), "+PFC")) << r.err;

    r = RunTarnik(With(kFast, {"--sim-fixed-pins", "--sim-log", "--yes", "write", "--address", "7", "--pins", "1000"}));
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_THAT(r.err, HasSubstr("This Tarnik module is a model whose I/O pin functions are fixed."));
    EXPECT_FALSE(AnyStartsWith(Heard(r), "+")) << r.err;
    EXPECT_FALSE(AnyStartsWith(Heard(r), "@")) << r.err;
}

TEST(CliSimulated, ProfileValuesAndOptionsCombine) {
    TempDir dir;
    const std::string profile = dir.File("p.json");
    // A profile as read --json prints it, from some other module; the option given beside it wins.
    WriteFile(profile, R"({"serialNumber": 99, "version": "9.99.999", "runningMode": 0, "storedMode": 0,
        "address": 4321, "addressLocked": false, "channel": 75, "channelMHz": 2480, "baudRate": 38400,
        "dataBits": 8, "parity": "O", "stopBits": 2, "pins": "1201", "pinsFixed": false})");
    RunResult r =
        RunTarnik(With(kFast, {"--yes", "write", "--from", profile, "--address", "12", "--reload", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    // The serial number is the module's own, not the profile's.
    ExpectFields(r.out, {{"address", 12},
                         {"channel", 75},
                         {"baudRate", 38400},
                         {"dataBits", 8},
                         {"parity", "O"},
                         {"stopBits", 2},
                         {"pins", "1201"},
                         {"serialNumber", 123456789}});

    // A partial profile keeps the module's other values; channelMHz stands for channel.
    WriteFile(profile, R"({"channelMHz": 2410})");
    r = RunTarnik(With(kFast, {"--yes", "write", "--from", profile, "--reload", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"channel", 5}, {"baudRate", 57600}, {"address", 0}});
}

TEST(CliUsage, BadValuesAreRefusedBeforeAnythingIsSent) {
    TempDir dir;
    struct Case {
        Args args;
        std::string named;  // what the message must name
    };
    const std::vector<Case> cases = {
        {{"--yes", "write", "--address", "10000"}, "--address"},
        {{"--yes", "write", "--address=-1"}, "--address"},
        {{"--yes", "write", "--address", "12ab"}, "--address"},
        {{"--yes", "write", "--channel", "76"}, "--channel"},
        {{"--yes", "write", "--baud", "115200"}, "--baud"},
        {{"--yes", "write", "--data-bits", "9"}, "--data-bits"},
        {{"--yes", "write", "--parity", "X"}, "--parity"},
        {{"--yes", "write", "--stop-bits", "3"}, "--stop-bits"},
        {{"--yes", "write", "--pins", "0020"}, "I/O 5-6"},
        {{"--yes", "write", "--pins", "00011"}, "--pins"},
        {{"--yes", "write"}, "nothing to write"},
        {{"--yes", "mode", "sideways"}, "sideways"},
        {{"--yes", "escape", "--baud", "300"}, "--baud"},
        {{"--port", "LPT1", "read"}, "--port"},
        {{"--sim-line", "9600,9,N,1", "read"}, "--sim-line"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--bogus", "read"}, "unknown option '--bogus'"},
        {{"read", "scan"}, "unexpected argument 'scan'"},
        {{}, "no command given"},
        // stdin is not a terminal: the confirmation cannot be asked.
        {{"write", "--address", "5"}, "--yes"},
        {{"init"}, "--yes"},
    };
    for (const Case& c : cases) {
        const RunResult r = RunTarnik(With({"--simulate", "--sim-log"}, c.args));
        const std::string shown = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(r.code, 2) << shown << "\n" << r.err;
        EXPECT_THAT(r.err, StartsWith("tarnik: "));
        EXPECT_THAT(r.err, HasSubstr(c.named));
        EXPECT_TRUE(Heard(r).empty()) << shown << "\n" << r.err;
    }

    const std::vector<std::pair<std::string, std::string>> profiles = {
        {R"({"address": 12000})", "address:"},
        {R"({"adress": 5})", "adress: unknown field"},
        {R"({"address": "5"})", "address: must be a whole number"},
        {R"({"parity": 1})", "parity: must be a string"},
        {R"({"pins": "0120"})", "pins: I/O 5-6"},
        {R"({"dataBits": 7.5})", "dataBits:"},
        {R"({"channel": 10, "channelMHz": 2416})", "channelMHz:"},
        {R"([1, 2])", "not a JSON object"},
        {R"({"address": 5)", "line 1, column 14"},
        {"{\n  \"address\": 5,\n}", "line 3, column 1"},
        {"{\"pins\": \"01\xff"
         "0\"}",
         "line 1, column"},  // not UTF-8
        {R"({"address": 5, "channel": 3, "address": 6})", "address: given twice"},
        {R"({"format": 2, "address": 5})", "format: 2"},
    };
    const std::string file = dir.File("bad.json");
    for (const auto& [text, named] : profiles) {
        WriteFile(file, text);
        const RunResult r = RunTarnik({"--simulate", "--sim-log", "--yes", "write", "--from", file});
        EXPECT_EQ(r.code, 2) << text << "\n" << r.err;
        EXPECT_THAT(r.err, HasSubstr(named));
        EXPECT_THAT(r.err, HasSubstr("nothing was sent"));
        EXPECT_TRUE(Heard(r).empty()) << text << "\n" << r.err;
    }
    // Only regular files of at most 64 KiB: a FIFO nobody writes to is not waited for.
    const std::string fifo = dir.File("fifo.json");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(dir.File("big.json"), "{\"address\": 5" + std::string(64 * 1024, ' ') + "}");
    const std::vector<std::pair<std::string, std::string>> files = {{dir.File("missing.json"), "--from"},
                                                                    {fifo, "not a regular file"},
                                                                    {"/dev/zero", "not a regular file"},
                                                                    {dir.File("big.json"), "64 KiB"}};
    for (const auto& [path, named] : files) {
        const RunResult r = RunTarnik({"--simulate", "--yes", "write", "--from", path});
        EXPECT_EQ(r.code, 2) << path << "\n" << r.err;
        EXPECT_THAT(r.err, HasSubstr(named));
    }
}

TEST(CliSimulated, KnownLineIsTriedBeforeTheSearch) {
    auto mans = [](const RunResult& r) {
        int n = 0;
        for (const std::string& request : Heard(r)) n += request == "-MAN\\r\\n";
        return n;
    };
    // Right: one probe (a query and its confirmation), no search (candidate 0), and the settings it answered at.
    RunResult r =
        RunTarnik({"--simulate", "--sim-line", "9600,8,N,1", "--sim-log", "--line", "9600,8,N,1", "scan", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"candidate", 0}, {"baudRate", 9600}, {"dataBits", 8}, {"parity", "N"}, {"stopBits", 1}});
    EXPECT_EQ(mans(r), 2) << r.err;
    EXPECT_THAT(r.err, Not(HasSubstr("candidate 1/84")));

    // Wrong: the search follows and finds the module at its own settings.
    r = RunTarnik({"--simulate", "--sim-line", "38400,7,O,2", "--sim-log", "--line", "9600,8,N,1", "scan", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"candidate", 18}, {"baudRate", 38400}, {"parity", "O"}, {"stopBits", 2}});

    // Every command that needs a module takes it.
    r = RunTarnik({"--simulate", "--sim-line", "57600,8,O,2", "--sim-log", "--line", "57600,8,O,2", "read", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"baudRate", 57600}, {"parity", "O"}});
    EXPECT_THAT(r.err, Not(HasSubstr("candidate 1/84")));

    // A bad setting is refused before anything is sent, as an error object with --json.
    r = RunTarnik({"--simulate", "--line", "9600,9,N,1", "read", "--json"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_THAT(r.err, HasSubstr("--line"));
    ExpectFields(r.out, {{"exitCode", 2}, {"error", "bad usage or a bad value; nothing was sent"}});
    EXPECT_THAT(Json(r.out).value("detail", ""), HasSubstr("--line")) << r.out;
}

TEST(CliSimulated, WriteReadsBackAndComparesUnlessToldNotTo) {
    // Nothing after the record's last request without the check...
    RunResult r = RunTarnik(With(kFast, {"--sim-log", "--yes", "write", "--address", "25", "--no-verify"}));
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> heard = Heard(r);
    int sci = Find(heard, "+SCI:57600,7,N,1\\r\\n");
    ASSERT_GE(sci, 0) << r.err;
    EXPECT_EQ(sci + 1, static_cast<int>(heard.size())) << r.err;

    // ...and a full read after it by default, nothing printed on standard output.
    r = RunTarnik(With(kFast, {"--sim-log", "--yes", "write", "--address", "25"}));
    ASSERT_EQ(r.code, 0) << r.err;
    heard = Heard(r);
    sci = Find(heard, "+SCI:57600,7,N,1\\r\\n");
    ASSERT_GE(sci, 0) << r.err;
    EXPECT_GE(Find(heard, "-SAD\\r\\n", sci), 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("verified"));
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST(CliPorts, ListsTheSerialDevicesOfThisMachine) {
    const RunResult r = RunTarnik({"ports", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json list = Json(r.out);
    ASSERT_TRUE(list.is_array()) << r.out;
    std::set<std::string> paths;
    for (const auto& port : list) {
        for (const char* key : {"name", "path", "byId", "vendor", "product", "serialNumber", "driver", "description"}) {
            EXPECT_TRUE(port.contains(key)) << key << " in " << port.dump();
        }
        paths.insert(port["path"].get<std::string>());
    }
    // Every built-in port with a UART behind it, as sysfs shows them.
    for (int n = 0; n < 32; ++n) {
        const std::string type = ReadFile("/sys/class/tty/ttyS" + std::to_string(n) + "/type");
        if (type.empty() || type == "0\n") continue;
        EXPECT_EQ(paths.count("/dev/ttyS" + std::to_string(n)), 1u) << r.out;
    }
    // Pseudo-terminals and virtual terminals are no serial devices.
    for (const std::string& path : paths) {
        EXPECT_NE(path.rfind("/dev/pts/", 0), 0u) << path;
        EXPECT_NE(path, "/dev/tty1");
    }
}

TEST(CliUsage, ThePortComesFromTarnikPortUnlessGiven) {
    setenv("TARNIK_PORT", "/dev/no-such-tarnik-port", 1);
    RunResult r = RunTarnik({"read", "--json"});
    ExpectFields(r.out, {{"port", "/dev/no-such-tarnik-port"}, {"exitCode", 3}});
    r = RunTarnik({"--json", "--port", "/dev/no-such-other-port", "read"});
    ExpectFields(r.out, {{"port", "/dev/no-such-other-port"}});
    setenv("TARNIK_PORT", "", 1);  // an empty variable names no port: not COM1
    r = RunTarnik({"read", "--json"});
    ExpectFields(r.out, {{"exitCode", 2}});
    unsetenv("TARNIK_PORT");
}

TEST(CliSimulated, EachFailureHasItsExitCode) {
    const std::string missing = "/nonexistent-tarnik-dir/tty";
    const std::string readFailed = "An error occurred in the communication with the Tarnik module.";
    const std::string setFailed =
        "An error occurred in the communication with the Tarnik module while writing the settings.";
    const struct {
        Args args;
        int code;
        std::string message;  // on standard error; nothing goes to standard output
    } cases[] = {
        {{"--port", missing, "read"}, 3, "Cannot open the serial port."},
        {With(kFast, {"--sim-fault", "silence:VER", "read", "--json"}), 5, readFailed},  // silent during the read
        {With(kFast, {"--sim-change-fault", "vanish:FRQ", "--yes", "write", "--address", "3"}), 5, setFailed},
        {With(kFast, {"--sim-change-fault", "nak:INI", "--yes", "init"}), 6, setFailed},
        {With(kFast, {"--sim-change-fault", "nak:MOD", "--yes", "mode", "slave"}), 6, setFailed},
        // The escape gets no answer (wrong line settings), or its port is missing.
        {{"--simulate", "--sim-line", "19200,8,N,1", "--sim-stored-mode", "1", "--yes", "escape"},
         5,
         "Escaping transparent mode failed."},
        {{"--port", missing, "--yes", "escape"}, 3, "Cannot open the serial port."},
    };
    for (const auto& c : cases) {
        const RunResult r = RunTarnik(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.message));
        // A port that cannot be opened was never searched: its error comes first.
        if (c.code == 3 && c.args.back() == "read") {
            EXPECT_THAT(r.err, StartsWith("tarnik: [")) << r.err;
        }
        // Standard output stays empty, except for the error object of --json.
        if (std::find(c.args.begin(), c.args.end(), "--json") != c.args.end()) {
            ExpectFields(r.out, {{"exitCode", c.code}});
        } else {
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
    }

    // 6: the module rejects the first command of the write; nothing after it is sent.
    const RunResult r =
        RunTarnik(With(kFast, {"--sim-change-fault", "nak:SAD", "--sim-log", "--yes", "write", "--address", "3"}));
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_THAT(r.err, HasSubstr(setFailed));
    const std::vector<std::string> heard = Heard(r);
    const int sad = Find(heard, "+SAD:3\\r\\n");
    ASSERT_GE(sad, 0) << r.err;
    EXPECT_LT(Find(heard, "+FRQ:0\\r\\n", sad), 0) << r.err;
}

TEST(CliSimulated, ModeInitialisationAndEscape) {
    RunResult r = RunTarnik(With(kFast, {"--sim-log", "--yes", "mode", "master", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"storedMode", 1}, {"runningMode", 0}, {"address", 0}, {"addressLocked", true}});
    EXPECT_TRUE(HeardInOrder(Heard(r), {"+SCI:57600,7,N,1\\r\\n", "@MOD:1\\r\\n", "+SAD:0\\r\\n", "+PAD:1\\r\\n"}))
        << r.err;

    r = RunTarnik(With(kFast, {"--yes", "mode", "slave", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"storedMode", 2}, {"address", 1}});

    r = RunTarnik(With(kFast, {"--sim-log", "--yes", "mode", "standard", "--json"}));
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"storedMode", 0}});
    EXPECT_GE(Find(Heard(r), "@MOD:0\\r\\n"), 0) << r.err;

    // Initialisation of a module at 38400: it comes back at 9600 8N1.
    r = RunTarnik({"--simulate", "--sim-line", "38400,8,E,1", "--sim-log", "--yes", "init", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"baudRate", 9600}, {"dataBits", 8}, {"parity", "N"}});
    EXPECT_GE(Find(Heard(r), "-INI\\r\\n"), 0) << r.err;

    // A module that powered up in transparent mode comes back at the line settings given.
    r = RunTarnik({"--simulate", "--sim-line", "19200,8,N,1", "--sim-stored-mode", "1", "--yes", "escape", "--baud",
                   "19200", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"storedMode", 0}, {"runningMode", 0}, {"baudRate", 19200}});
    EXPECT_THAT(r.err, HasSubstr("The module has left transparent mode."));
}

TEST(CliTerminal, ConfirmationIsAskedOnATerminal) {
    for (const std::string answer : {"n\n", "y\n"}) {
        TestTerminal keyboard;
        ASSERT_TRUE(keyboard.Ok());
        ASSERT_EQ(write(keyboard.master(), answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
        const RunResult r = RunTarnik(With(kFast, {"--sim-log", "write", "--address", "5"}), keyboard.slave());
        EXPECT_THAT(r.err, HasSubstr("The Tarnik module's settings will be changed."));
        EXPECT_THAT(r.err, HasSubstr("Write [y/N]"));
        if (answer == "n\n") {
            EXPECT_EQ(r.code, 1) << r.err;
            EXPECT_FALSE(AnyStartsWith(Heard(r), "+SAD")) << r.err;
        } else {
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_GE(Find(Heard(r), "+SAD:5\\r\\n"), 0) << r.err;
        }
    }
}

TEST(CliHelp, EveryCommandHasHelpAndTheManPageCoversEveryOption) {
    const std::string man = ReadFile(TARNIK_MAN_PAGE);
    ASSERT_FALSE(man.empty());
    std::set<std::string> options;
    for (const std::string command : {"", "scan", "read", "write", "init", "mode", "escape", "ports", "pair",
                                      "provision", "link-test", "monitor"}) {
        const RunResult r = RunTarnik(command.empty() ? Args{"--help"} : Args{command, "--help"});
        EXPECT_EQ(r.code, 0) << command << r.err;
        EXPECT_THAT(r.out, HasSubstr("Usage: tarnik"));
        const std::regex option("--[a-z][a-z-]*");
        for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), option); it != std::sregex_iterator(); ++it) {
            options.insert(it->str());
        }
        if (!command.empty()) {
            const std::string roff = std::regex_replace(command, std::regex("-"), "\\-");
            EXPECT_THAT(
                man, testing::AnyOf(HasSubstr(".B " + roff), HasSubstr(".BR \"" + roff), HasSubstr("\"mode master\"")))
                << command;
        }
    }
    EXPECT_GT(options.size(), 20u);
    for (const std::string& o : options) {
        std::string roff;
        for (const char c : o) roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_THAT(man, HasSubstr(roff));
    }
}

TEST(CliHelp, TheManPageDocumentsEveryJsonField) {
    const std::string man = ReadFile(TARNIK_MAN_PAGE);
    std::set<std::string> keys;
    auto collect = [&keys](const nlohmann::json& j) {
        if (j.is_object()) {
            for (const auto& item : j.items()) keys.insert(item.key());
        }
    };
    collect(Json(RunTarnik(With(kFast, {"scan", "--json"})).out));
    collect(Json(RunTarnik(With(kFast, {"read", "--json"})).out));
    collect(Json(RunTarnik({"--port", "/dev/no-such-tarnik-port", "read", "--json"}).out));
    const nlohmann::json ports = Json(RunTarnik({"ports", "--json"}).out);
    ASSERT_TRUE(ports.is_array());
    if (!ports.empty()) collect(ports[0]);
    EXPECT_GT(keys.size(), 25u);
    for (const std::string& key : keys) {
        EXPECT_TRUE(std::regex_search(man, std::regex("\\.B[RI]? " + key + "( |\n)")))
            << key << " is not described in the man page";
    }
}

// --- against tarnik-sim and plain pseudo-terminals ---

TEST(CliPty, ProfileCopiesFromOneModuleToAnother) {
    TempDir dir;
    SimProcess a(TARNIK_SIM_BINARY, dir, "a", {"--baud", "57600", "--serial", "111"});
    SimProcess b(TARNIK_SIM_BINARY, dir, "b", {"--baud", "38400", "--serial", "222", "--firmware", "2.00.000"});
    ASSERT_TRUE(a.Ready()) << a.Log();
    ASSERT_TRUE(b.Ready()) << b.Log();

    RunResult r =
        RunTarnik({"--port", a.link(), "--yes", "write", "--address", "321", "--channel", "42", "--pins", "1200"});
    ASSERT_EQ(r.code, 0) << r.err << a.Log();
    r = RunTarnik({"--port", a.link(), "read", "--json"});
    ASSERT_EQ(r.code, 0) << r.err << a.Log();
    const nlohmann::json source = Json(r.out);
    ASSERT_TRUE(source.is_object()) << r.out;
    EXPECT_EQ(source["address"], 321);
    WriteFile(dir.File("p.json"), r.out);

    r = RunTarnik({"--port", b.link(), "--yes", "write", "--from", dir.File("p.json")});
    ASSERT_EQ(r.code, 0) << r.err << b.Log();
    r = RunTarnik({"--port", b.link(), "read", "--json"});
    ASSERT_EQ(r.code, 0) << r.err << b.Log();
    const nlohmann::json copy = Json(r.out);
    ASSERT_TRUE(copy.is_object()) << r.out;
    EXPECT_EQ(copy["serialNumber"], 222);
    EXPECT_EQ(copy["version"], "2.00.000");
    for (const auto& [key, value] : source.items()) {
        if (key == "serialNumber" || key == "version") continue;
        EXPECT_EQ(copy[key], value) << key;
    }
}

TEST(CliPty, NothingReachesTheModuleForABadValue) {
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "m", {"--baud", "57600"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();
    WriteFile(dir.File("bad.json"), R"({"address": 5, "pins": "0020"})");
    RunResult r = RunTarnik({"--port", sim.link(), "--yes", "write", "--from", dir.File("bad.json")});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_THAT(r.err, HasSubstr("pins: I/O 5-6"));
    r = RunTarnik({"--port", sim.link(), "--yes", "write", "--channel", "80"});
    EXPECT_EQ(r.code, 2) << r.err;
    // A search afterwards (a query and its confirmation) is all the module
    // hears: anything sent before would be in its log ahead of it.
    r = RunTarnik({"--port", sim.link(), "scan"});
    ASSERT_EQ(r.code, 0) << r.err << sim.Log();
    EXPECT_EQ(sim.RequestsHeard(), 2) << sim.Log();
}

TEST(CliPty, SilentAndFailingTerminals) {
    // 5: something answers the search, then nothing answers the read.
    TestTerminal half([](const std::string& line) -> std::string {
        return line.find("-MAN\r\n") != std::string::npos ? "*MAN: 000000777\r\n" : "";
    });
    ASSERT_TRUE(half.Ok());
    RunResult r = RunTarnik({"--port", half.path(), "read"});
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_THAT(r.err, HasSubstr("An error occurred in the communication with the Tarnik module."));
    const std::vector<std::string> lines = half.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "-MAN\r\n");
    EXPECT_EQ(lines[1], "-MAN\r\n");
    EXPECT_EQ(lines[2], "-VER\r\n");

    // 4: nobody answers at any of the 84 settings (about 9.3 s of time-outs).
    TestTerminal silent;
    ASSERT_TRUE(silent.Ok());
    r = RunTarnik({"--port", silent.path(), "scan"});
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_THAT(r.err, HasSubstr("No Tarnik module found."));
    EXPECT_THAT(r.err, HasSubstr("candidate 84/84: 1200bps, 8bits, odd, stop2\n"));
    EXPECT_THAT(r.err, HasSubstr("hint: a module in transparent mode takes no commands"));
}

TEST(CliPty, OpenFailuresSayWhichPortAndWhy) {
    TestTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string path = terminal.path();
    {
        // A terminal program that opened the port first, without a lock.
        HoldingProcess cat([&] { (void)!open(path.c_str(), O_RDWR | O_NOCTTY); });
        const RunResult r = RunTarnik({"--port", path, "read", "--json"});
        EXPECT_EQ(r.code, 3) << r.err;
        const std::string heldBy = "(pid " + std::to_string(cat.pid()) + ")";
        EXPECT_THAT(r.err, HasSubstr(path + ": Device or resource busy; held by"));
        EXPECT_THAT(r.err, HasSubstr(heldBy));
        ExpectFields(r.out, {{"error", "the port cannot be opened"},
                             {"exitCode", 3},
                             {"port", path},
                             {"path", path},
                             {"cause", "busy"},
                             {"osReason", "Device or resource busy"}});
        EXPECT_THAT(Json(r.out).value("heldBy", ""), HasSubstr(heldBy)) << r.out;
        EXPECT_TRUE(terminal.Lines().empty());
    }
    // Another user, not in the device's group: the group is named.
    if (getuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root and setpriv";
    ASSERT_EQ(chown(path.c_str(), 0, 20), 0);  // group dialout, as udev gives serial devices
    ASSERT_EQ(chmod(path.c_str(), 0660), 0);
    const RunResult r = RunProgram("/usr/bin/setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                        TARNIK_BINARY, "--port", path, "scan"});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Cannot open the serial port."));
    EXPECT_THAT(r.err, HasSubstr(path + ": Permission denied"));
    EXPECT_THAT(r.err, HasSubstr("the group 'dialout'"));
}

TEST(CliPty, TraceShowsTheWireOfARealPort) {
    TestTerminal module(
        [](const std::string& line) -> std::string { return line == "-MAN\r\n" ? "*MAN: 000000777\r\n" : ""; });
    ASSERT_TRUE(module.Ok());
    const RunResult r = RunTarnik({"--port", module.path(), "--line", "9600,8,N,1", "--trace", "scan", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectFields(r.out, {{"serialNumber", 777}, {"candidate", 0}, {"baudRate", 9600}});
    const std::regex stamp("trace +[0-9]+\\.[0-9]{3} ");
    for (const std::string& line : {"open " + module.path(), std::string("line 9600 8N1"), std::string("> -MAN\\r\\n"),
                                    std::string("< *MAN: 000000777\\r\\n"), std::string("close")}) {
        const std::regex wanted("trace +[0-9]+\\.[0-9]{3} " +
                                std::regex_replace(line, std::regex(R"([\\*.+])"), R"(\$&)") + "\n");
        EXPECT_TRUE(std::regex_search(r.err, wanted)) << line << " in\n" << r.err;
    }
    EXPECT_TRUE(std::regex_search(r.err, stamp)) << r.err;
}

TEST(CliPty, TransparentModeLocksTheAddressAndPinsUntilTheEscape) {
    TempDir dir;
    SimProcess sim(TARNIK_SIM_BINARY, dir, "m", {"--baud", "57600", "--serial", "333"});
    ASSERT_TRUE(sim.Ready()) << sim.Log();

    RunResult r = RunTarnik({"--port", sim.link(), "--yes", "mode", "master", "--json"});
    ASSERT_EQ(r.code, 0) << r.err << sim.Log();
    ExpectFields(r.out, {{"storedMode", 1}, {"addressLocked", true}});

    // Pending transparent mode: address and pins are what the mode made them.
    r = RunTarnik({"--port", sim.link(), "--yes", "write", "--address", "5"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Set for transparent mode (master)."));
    r = RunTarnik({"--port", sim.link(), "--yes", "write", "--pins", "1000"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_THAT(r.err, HasSubstr("The pin functions of a module set for transparent mode cannot be changed."));
    EXPECT_EQ(sim.Log().find("SAD:5"), std::string::npos) << sim.Log();
    EXPECT_EQ(sim.Log().find("PFC:1000"), std::string::npos) << sim.Log();
    // The channel is not locked.
    r = RunTarnik({"--port", sim.link(), "--yes", "write", "--channel", "7"});
    EXPECT_EQ(r.code, 0) << r.err;

    // Powered up in transparent mode, the module takes the escape string.
    sim.PowerCycle();
    ASSERT_TRUE(sim.WaitForLog("escape window")) << sim.Log();
    r = RunTarnik({"--port", sim.link(), "--yes", "escape", "--baud", "57600", "--json"});
    ASSERT_EQ(r.code, 0) << r.err << sim.Log();
    ExpectFields(r.out, {{"serialNumber", 333}, {"storedMode", 0}, {"channel", 7}});
}

namespace {

// A module on a pseudo-terminal that answers every query sensibly except the
// one mnemonic the test makes it answer as it likes; writes are acknowledged.
TestTerminal::Responder Hostile(const std::string& mnemonic, const std::string& answer) {
    return [mnemonic, answer](const std::string& line) -> std::string {
        if (line.size() < 6) return "";
        const std::string name = line.substr(1, 3);
        const bool query = line[0] == '-' && line.size() == 6;
        if (query && name == mnemonic) return answer;
        if (!query) return "*" + name + ": OK\r\n";
        static const std::map<std::string, std::string> kNormal = {
            {"MAN", "*MAN: 000000777\r\n"}, {"VER", "*VER: 1.00.003\r\n"},
            {"MOD", "*MOD: 0/0\r\n"},       {"SAD", "*SAD: 5/5\r\n"},
            {"PAD", "*PAD: 0/0\r\n"},       {"PAN", "*PAN: 0/0\r\n"},
            {"FRQ", "*FRQ: 3/3\r\n"},       {"RTY", "*RTY: 3/3\r\n"},
            {"LED", "*LED: 1/1\r\n"},       {"SCI", "*SCI: 57600,7,N,1/57600,7,N,1\r\n"},
            {"PFC", "*PFC: 0000/0000\r\n"}};
        const auto known = kNormal.find(name);
        return known == kNormal.end() ? "" : known->second;
    };
}

// A request with a parameter other than the pin probe's write-back of the
// functions the module reported (0000).
bool ChangedTheModule(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.find(':') != std::string::npos && line != "-PFC:0000\r\n") return true;
    }
    return false;
}

}  // namespace

TEST(CliPty, WhatTheModuleSaysIsCheckedBeforeItIsShownOrSentBack) {
    struct Case {
        std::string mnemonic, answer;
        Args args;
        int code;
        std::string shown;  // on standard output or standard error
    };
    const std::vector<Case> cases = {
        // Not UTF-8, and a terminal escape: shown escaped, never raw.
        {"VER", "*VER: 1.0\xB4\x1B[2J\r\n", {"read", "--json"}, 0, R"("version": "1.0\\xB4\\x1B[2J")"},
        {"VER", "*VER: 1.0\xB4\x1B[2J\r\n", {"read"}, 0, "Version: 1.0\\xB4\\x1B[2J\n"},
        {"SCI", "*SCI: 57600,7,\xB4,1/57600,7,N,1\r\n", {"read", "--json"}, 0, R"("parity": "\\xB4")"},
        // Valid UTF-8 reaches JSON as it came: a reader gets the backslash back.
        {"VER", "*VER: 1.0\\2\r\n", {"read", "--json"}, 0, R"("version": "1.0\\2")"},
        {"SCI", "*SCI: 57600,7,N,\x1B/57600,7,N,1\r\n", {"read"}, 0, "Stop bits: \\x1B"},
        // Values the user could not type are not written back.
        {"SAD", "*SAD: 65535/65535\r\n", {"--yes", "write", "--pins", "1000"}, 2, "--address: 65535"},
        {"FRQ", "*FRQ: 200/200\r\n", {"--yes", "write", "--pins", "1000"}, 2, "--channel: 200"},
        {"SCI", "*SCI: 115200,9,X,3/115200,9,X,3\r\n", {"--yes", "write", "--pins", "1000"}, 2, "--baud"},
        {"SCI", "*SCI: 57600,9,N,1/57600,9,N,1\r\n", {"--yes", "write", "--address", "6"}, 2, "--data-bits"},
        {"SAD", "*SAD: 65535/65535\r\n", {"--yes", "mode", "master"}, 2, "--address"},
        // A pin code that is not four functions is not written back by the probe.
        {"PFC", "*PFC: 11/2100\r\n", {"read"}, 5, "An error occurred in the communication with the Tarnik module."},
    };
    for (const Case& c : cases) {
        TestTerminal module(Hostile(c.mnemonic, c.answer));
        ASSERT_TRUE(module.Ok());
        const RunResult r = RunTarnik(With({"--port", module.path()}, c.args));
        const std::string shown = c.answer + " " + c.args.back();
        EXPECT_EQ(r.code, c.code) << shown << "\n" << r.err;
        EXPECT_THAT(r.out + r.err, HasSubstr(c.shown));
        EXPECT_THAT(r.out + r.err, Not(HasSubstr("\x1B[2J")));
        EXPECT_FALSE(ChangedTheModule(module.Lines())) << shown;
    }
}

TEST(CliPty, AnInterruptReleasesThePort) {
    struct Case {
        int signal;
        std::string when;  // the request at which the signal comes
        int code;
        std::string said;
    };
    const std::vector<Case> cases = {
        {SIGTERM, "-MAN\r\n", 143, "tarnik: interrupted\n"},
        {SIGHUP, "-VER\r\n", 129, "tarnik: interrupted\n"},
        {SIGINT, "+FRQ:3\r\n", 130, "The settings may be incomplete."},
    };
    for (const Case& c : cases) {
        std::atomic<pid_t> tarnik{-1};
        const TestTerminal::Responder normal = Hostile("", "");
        TestTerminal module([&](const std::string& line) -> std::string {
            if (line == c.when) {
                kill(tarnik.load(), c.signal);
                return "";
            }
            return normal(line);
        });
        ASSERT_TRUE(module.Ok());
        const RunResult r = RunProgram(TARNIK_BINARY, {"--port", module.path(), "--yes", "write", "--address", "6"}, -1,
                                       std::chrono::seconds(60), [&](pid_t pid) { tarnik = pid; });
        EXPECT_EQ(r.code, c.code) << c.when << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.said));
#ifdef TIOCGEXCL
        int exclusive = -1;
        ASSERT_EQ(ioctl(module.slave(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << c.when;
#endif
    }
}
