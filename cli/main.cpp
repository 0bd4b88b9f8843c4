// tarnik: the Tarnik configuration utility on the command line.
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#ifdef _WIN32
#include "WindowsConsole.h"
#define KV_ISATTY WindowsConsole::IsConsole
#else
#include <unistd.h>
#define KV_ISATTY isatty
#endif

#include "BenchCommands.h"
#include "CVelmoraDoc.h"
#include "Commands.h"
#include "Interrupt.h"
#include "Profile.h"
#include "ConsoleHost.h"
#include "Failure.h"
#include "KvClock.h"
#include "KvPortReservation.h"
#include "Ports.h"
#include "ResourceIds.h"
#include "Simulation.h"
#include "TakeOption.h"
#include "Texts.h"
#include "Trace.h"
#include "Utf8Text.h"
#include "Values.h"

namespace {

const char kFooter[] =
    "Exit codes: 0 success; 1 a confirmation was answered with no; 2 bad usage or a bad\n"
    "value (nothing is sent); 3 the port cannot be opened; 4 no module found;\n"
    "5 communication error; 6 the module rejected a request.\n"
    "Global options (--port, --yes, --quiet, --simulate, ...) may stand before or after\n"
    "the command: see tarnik --help and tarnik(1).";

// With --json, failures are told on standard output as well.
bool jsonErrors = false;
std::string errorPort;

void PrintFailureJson(const FailureReport& report) {
    std::fprintf(stdout, "%s\n", FailureJson(report).dump(2).c_str());
    std::fflush(stdout);
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tarnik: %s\n", problem.c_str());
    if (jsonErrors) {
        FailureReport report;
        report.exitCode = kExitUsage;
        report.port = errorPort;
        report.detail = problem;
        PrintFailureJson(report);
    }
    return kExitUsage;
}

// "COM3" or a device path ("/dev/ttyUSB0").
bool IsPortName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return true;
#ifdef _WIN32
    if (name.rfind("\\\\.\\", 0) == 0 && name.size() > 4) return true;
#endif
    if (name.size() < 4 || (name[0] != 'C' && name[0] != 'c') || (name[1] != 'O' && name[1] != 'o') ||
        (name[2] != 'M' && name[2] != 'm') || name[3] < '1' || name[3] > '9') {
        return false;
    }
    return name.find_first_not_of("0123456789", 4) == std::string::npos && name.size() <= 12;
}

// The value options of `write`, as typed.
struct WriteOptions {
    std::string address, channel, baud, dataBits, parity, stopBits, pins, from;
};

std::string GatherWriteValues(CLI::App* write, const WriteOptions& w, SettingValues& values) {
    if (!w.from.empty()) {
        const std::string problem = ReadProfile(w.from, values);
        if (!problem.empty()) return problem;
    }
    // Options given beside a profile take precedence over it.
    SettingValues options;
    std::string problem;
    if (problem.empty()) problem = TakeOption(write, "--address", w.address, options.address, ParseAddress);
    if (problem.empty()) problem = TakeOption(write, "--channel", w.channel, options.channel, ParseChannel);
    if (problem.empty()) problem = TakeOption(write, "--baud", w.baud, options.baudRate, ParseBaudRate);
    if (problem.empty()) problem = TakeOption(write, "--data-bits", w.dataBits, options.dataBits, ParseDataBits);
    if (problem.empty()) problem = TakeOption(write, "--parity", w.parity, options.parity, ParseParity);
    if (problem.empty()) problem = TakeOption(write, "--stop-bits", w.stopBits, options.stopBits, ParseStopBits);
    if (problem.empty()) problem = TakeOption(write, "--pins", w.pins, options.pins, ParsePins);
    if (!problem.empty()) return problem;
    values.Overlay(options);
    if (values.Empty()) return "write: nothing to write; give --from FILE or a value option (see tarnik write --help)";
    return "";
}

void AddLineOptions(CLI::App* command, WriteOptions& w, bool withDefaults) {
    const char* suffix = withDefaults ? " (default " : "";
    auto help = [&](const char* text, const char* def) {
        return std::string(text) + (withDefaults ? std::string(suffix) + def + ")" : std::string());
    };
    command->add_option("--baud", w.baud, help("baud rate: 1200, 2400, 4800, 9600, 19200, 38400, 57600", "9600"))
        ->type_name("N");
    command->add_option("--data-bits", w.dataBits, help("data bits: 7 or 8", "8"))->type_name("N");
    command->add_option("--parity", w.parity, help("parity: N none, E even, O odd", "N"))->type_name("P");
    command->add_option("--stop-bits", w.stopBits, help("stop bits: 1 or 2", "1"))->type_name("N");
}

}  // namespace

namespace {

int RunTarnik(int argc, char** argv) {
#ifdef _WIN32
    WindowsConsole windowsConsole;
    // An interrupt ends the process without the destructor.
    Interrupt::SetBeforeExit(WindowsConsole::RestoreForExit);
#endif
    CLI::App app{"tarnik - configure Tarnik radio modules over a serial line.\n"
                 "Every command that works on a module first searches the port for it at the 84\n"
                 "line settings a module can use, then reads its settings.",
                 "tarnik"};
    app.footer(kFooter);
    app.fallthrough();
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("tarnik (") + KvDialogLines(IDD_ABOUTBOX).front() + ")");

    std::string port = "COM1";
    bool yes = false;
    bool quiet = false;
    bool simulate = false;
    SimulationOptions sim;
    app.add_option("-p,--port", port,
                   "serial port: COMn or a device path such as /dev/ttyUSB0 (default $TARNIK_PORT, else COM1)")
        ->type_name("PORT")
        ->envname("TARNIK_PORT");
    std::string lineText;
    app.add_option("--line", lineText,
                   "try the module at these line settings first, e.g. 9600,8,N,1; the search follows only "
                   "when nothing answers there")
        ->type_name("B,D,P,S");
    app.add_flag("-y,--yes", yes, "answer every confirmation with yes (needed when standard input is not a terminal)");
    app.add_flag("-q,--quiet", quiet, "no progress lines and no result messages; errors are still shown");
    bool trace = false;
    app.add_flag("--trace", trace,
                 "write every request and answer on the line, with time stamps, to standard error");
    app.add_flag("--simulate", simulate, "talk to a simulated module inside the program, registered on --port");
    app.add_option("--sim-line", sim.line, "simulated module's line settings BAUD,DATABITS,PARITY,STOPBITS (default 9600,8,N,1)")
        ->type_name("B,D,P,S");
    app.add_option("--sim-serial", sim.serial, "simulated module's serial number")->type_name("N");
    app.add_option("--sim-version", sim.version, "simulated module's firmware version text")->type_name("TEXT");
    app.add_flag("--sim-fixed-pins", sim.fixedPins, "simulate a model whose pin functions cannot be changed");
    app.add_option("--sim-stored-mode", sim.storedMode, "mode the simulated module powered up with: 0, 1 or 2 (1 and 2 start it in transparent mode)")
        ->type_name("M");
    app.add_option("--sim-fault", sim.faults,
                   "disturb the simulated module: KIND[:MNEMONIC[:COUNT]], KIND one of silence, late, cut, "
                   "garbage, nul, overlong, nak[=CODE], bad-man, vanish; MNEMONIC * for every request; "
                   "COUNT -1 for ever (default 1); repeatable")
        ->type_name("LINE");
    app.add_option("--sim-change-fault", sim.changeFaults,
                   "like --sim-fault, but armed only when the command, past its search and read, starts "
                   "changing the module; repeatable")
        ->type_name("LINE");
    app.add_option("--sim-swap", sim.swaps,
                   "the module that takes the place of the present one when the next module is asked for "
                   "(pair, provision): \"\" the next serial number with factory settings, or tarnik-sim's "
                   "module options, e.g. \"--serial 7 --fault nak:SAD\"; repeatable, in order")
        ->type_name("OPTIONS")
        ->allow_extra_args(false);
    app.add_flag("--sim-log", sim.log, "print the simulated module's requests and answers at the end");

    bool json = false;
    CLI::App* scan = app.add_subcommand("scan", "search the port for a module and show the line settings it answered at");
    scan->add_flag("--json", json, "print the result as JSON");

    CLI::App* read = app.add_subcommand("read", "search, then read and show every setting of the module");
    read->add_flag("--json", json,
                   "print the settings as JSON (a profile that write --from takes)");

    WriteOptions w;
    bool reload = false;
    CLI::App* write = app.add_subcommand(
        "write", "search, read, then write the given values (the rest as read) to the module");
    write->add_option("--from", w.from, "profile: a JSON file as printed by read --json ('-' reads standard input)")->type_name("FILE");
    write->add_option("--address", w.address, "address: 0 to 9999")->type_name("N");
    write->add_option("--channel", w.channel, "radio channel: 0 to 75 (2405 to 2480 MHz)")->type_name("N");
    AddLineOptions(write, w, false);
    write->add_option("--pins", w.pins,
                      "pin functions of I/O 1-2, 3-4, 5-6, 7-8 as four digits: 0 digital input, 1 digital "
                      "output, 2 analog input (1-2 and 3-4 only), e.g. 2100")
        ->type_name("DDDD");
    write->add_flag("--reload", reload, "show the settings read back after the write");
    write->add_flag("--json", json, "with --reload: show the settings as JSON");
    bool noVerify = false;
    write->add_flag("--no-verify", noVerify,
                    "do not read the settings back and compare them with what was written");

    CLI::App* init = app.add_subcommand("init", "restore the module's factory settings, then read them");
    init->add_flag("--json", json, "show the settings read afterwards as JSON");

    std::string modeName;
    CLI::App* mode = app.add_subcommand(
        "mode", "master/slave: set the module for transparent mode at its next power-up; standard: cancel that");
    mode->add_option("MODE", modeName, "master, slave or standard")
        ->required()
        ->check(CLI::IsMember({"master", "slave", "standard"}));
    mode->add_flag("--json", json, "show the settings read afterwards as JSON");

    WriteOptions e;
    CLI::App* escape = app.add_subcommand(
        "escape",
        "send the escape string to a module running in transparent mode (power it up at most 30 s before)");
    AddLineOptions(escape, e, true);
    escape->add_flag("--json", json, "show the settings read afterwards as JSON");

    BenchCommands bench;
    bench.Register(app);
    CLI::App* ports = app.add_subcommand("ports", "list the serial devices of this machine with what is known of them");
    ports->add_flag("--json", json, "print the list as JSON");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    }

    if (ports->parsed()) return RunPorts(json, stdout);
    jsonErrors = json;
    errorPort = port;

    // Everything is checked before the port is touched.
    if (!IsPortName(port)) return Usage("--port: '" + DisplayText(port) + "' is neither COMn nor a device path");
    if (simulate) {
        const std::string problem = Simulation::Check(sim);
        if (!problem.empty()) return Usage(problem);
    }
    std::optional<SerialSettings> knownLine;
    if (app.count("--line") != 0) {
        SerialSettings line;
        const std::string problem = ParseLine(lineText, line.baudRate, line.dataBits, line.parity, line.stopBits);
        if (!problem.empty()) return Usage("--line: " + problem);
        knownLine = line;
    }
    SettingValues values;
    if (write->parsed()) {
        const std::string problem = GatherWriteValues(write, w, values);
        if (!problem.empty()) return Usage(problem + "; nothing was sent");
    }
    int escapeLine[4] = {9600, '8', 'N', '1'};
    if (escape->parsed()) {
        std::optional<int> baud, dataBits, parity, stopBits;
        std::string problem = TakeOption(escape, "--baud", e.baud, baud, ParseBaudRate);
        if (problem.empty()) problem = TakeOption(escape, "--data-bits", e.dataBits, dataBits, ParseDataBits);
        if (problem.empty()) problem = TakeOption(escape, "--parity", e.parity, parity, ParseParity);
        if (problem.empty()) problem = TakeOption(escape, "--stop-bits", e.stopBits, stopBits, ParseStopBits);
        if (!problem.empty()) return Usage(problem + "; nothing was sent");
        escapeLine[0] = baud.value_or(9600);
        escapeLine[1] = dataBits.value_or('8');
        escapeLine[2] = parity.value_or('N');
        escapeLine[3] = stopBits.value_or('1');
    }

    ConsoleOptions console;
    console.yes = yes;
    console.reload = reload;
    console.quiet = quiet;
    console.interactive = KV_ISATTY(0) != 0;
    console.terminal = KV_ISATTY(2) != 0;
#ifdef _WIN32
    console.terminal = console.terminal && windowsConsole.EscapesWork();
#endif
    const bool changesModule =
        write->parsed() || init->parsed() || mode->parsed() || escape->parsed() || bench.Parsed();
    if (changesModule && !yes && !console.interactive) {
        return Usage("this command changes the module and asks for confirmation, but standard input is not a "
                     "terminal: add --yes; nothing was sent");
    }

    KvClock& clock = SteadyClock();
    std::unique_ptr<Simulation> simulation;
    if (simulate) simulation = std::make_unique<Simulation>(port, sim, clock);
    // The slave of a simulated pair on its own port: the next module of a bench.
    std::unique_ptr<Simulation> peerSimulation;
    if (bench.Parsed()) {
        if (simulation && !bench.PeerPort().empty()) {
            peerSimulation = std::make_unique<Simulation>(bench.PeerPort(), NextModuleOptions(sim), clock);
        }
        const std::string problem = bench.Check(port, simulation.get());
        if (!problem.empty()) return Usage(problem + "; nothing was sent");
    }

    std::unique_ptr<WireTrace> wire;
    if (trace) {
        wire = std::make_unique<WireTrace>(stderr, clock);
        KvSetPortTracer(wire.get());
    }

    int rc = kExitOk;
    {
        // The port is ours from its first opening to the end of the command,
        // so no other program can take it between two requests. pair and
        // provision change ports between units and reserve for themselves.
        KvPortReservation reservation(bench.Parsed() ? "" : port.c_str());
        ConsoleHost host(console, clock);
        CVelmoraDoc doc(host);
        CommandContext ctx{doc, host, port, json, stdout, {}, {}, true};
        if (simulation) ctx.beforeChange = [&simulation] { simulation->ArmChangeFaults(); };
        ctx.line = knownLine;
        ctx.verify = !noVerify;
        if (scan->parsed()) {
            rc = RunScan(ctx);
        } else if (read->parsed()) {
            rc = RunRead(ctx);
        } else if (write->parsed()) {
            rc = RunWrite(ctx, values);
        } else if (init->parsed()) {
            rc = RunInit(ctx);
        } else if (mode->parsed()) {
            rc = RunMode(ctx, modeName == "master" ? 1 : modeName == "slave" ? 2 : 0);
        } else if (escape->parsed()) {
            rc = RunEscape(ctx, escapeLine[0], escapeLine[1], escapeLine[2], escapeLine[3]);
        } else if (bench.Parsed()) {
            rc = bench.Run(ctx);
        }
        if (json && rc != kExitOk) {
            FailureReport report;
            report.exitCode = rc;
            report.port = port;
            report.openFailure = host.openFailure;
            report.detail = host.lastNote;
            report.hints = host.hints;
            PrintFailureJson(report);
        }
    }
    KvSetPortTracer(nullptr);
    wire.reset();
    if (simulation && sim.log) simulation->PrintLog(stderr);
    if (peerSimulation && sim.log) peerSimulation->PrintLog(stderr);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    Interrupt::Install();
    // The last guard: whatever the layers below let through ends the program
    // with a message and an exit code of its own, never with an abort.
    try {
        return RunTarnik(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnik: internal error: %s\n", DisplayText(error.what()).c_str());
    } catch (...) {
        std::fprintf(stderr, "tarnik: internal error\n");
    }
    return kExitInternal;
}
