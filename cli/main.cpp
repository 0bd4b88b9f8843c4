// tarnik: the Tarnik configuration utility on the command line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
#include "ConsoleHost.h"
#include "Failure.h"
#include "Interrupt.h"
#include "KvClock.h"
#include "KvPortName.h"
#include "KvPortReservation.h"
#include "Language.h"
#include "LinkTest.h"
#include "ModuleCommands.h"
#include "Monitor.h"
#include "Output.h"
#include "PortSearch.h"
#include "Ports.h"
#include "Simulation.h"
#include "Trace.h"
#include "Values.h"

namespace {

const char* const kAbout =
    N_("tarnik - configure Tarnik radio modules over a serial line.\n"
       "Every command that works on a module first searches the port for it at the 84\n"
       "line settings a module can use, then reads its settings.");

const char* const kFooter =
    N_("Exit codes: 0 success; 1 a confirmation was answered with no; 2 bad usage or a bad\n"
       "value (nothing is sent); 3 the port cannot be opened; 4 no module found;\n"
       "5 communication error; 6 the module rejected a request.\n"
       "Global options (--port, --yes, --quiet, --simulate, ...) may stand before or after\n"
       "the command: see tarnik --help and tarnik(1).");

// --port auto: the port where a module answers, of all present.
const char kAutoPort[] = "auto";

// With --json, failures are told on standard output as well.
bool jsonErrors = false;
std::string errorPort;

void PrintFailureJson(const FailureReport& report) { PrintJson(stdout, FailureJson(report)); }

// Writes a failure that no module was asked about: "tarnik: " and the problem
// on standard error, and with --json the error object on standard output.
int Refuse(int exitCode, const std::string& port, const std::string& problem) {
    PrintLine(stderr, "tarnik: " + problem);
    if (jsonErrors) {
        FailureReport report;
        report.exitCode = exitCode;
        report.port = port;
        report.detail = problem;
        PrintFailureJson(report);
    }
    return exitCode;
}

int Usage(const std::string& problem) { return Refuse(kExitUsage, errorPort, problem); }

// Progress lines are redrawn in place only on a terminal that understands
// the escapes: TERM=dumb (an editor's shell buffer, a CI log) gets whole lines.
bool RedrawsInPlace() {
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::string(term) == "dumb") return false;
    return KV_ISATTY(2) != 0;
}

// The options every command takes, before or after its name.
struct GlobalOptions {
    std::string port = "COM1";
    std::vector<std::string> ports;  // every --port, in order; `port` is the last
    CLI::Option* portOption = nullptr;
    std::string lineText;
    bool yes = false;
    bool quiet = false;
    bool trace = false;
    bool simulate = false;
    SimulationOptions sim;

    void Register(CLI::App& app);
    // "" or what is wrong; `knownLine` is --line's value.
    std::string Check(const CLI::App& app, std::optional<SerialSettings>& knownLine) const;
};

void GlobalOptions::Register(CLI::App& app) {
    portOption =
        app.add_option("-p,--port", ports,
                       Tr("serial port: COMn, a device path such as /dev/ttyUSB0, or auto: every serial device "
                          "searched at once, the one where a module answers used (default $TARNIK_PORT, else "
                          "COM1)"))
            ->type_name("PORT")
            ->allow_extra_args(false)
            ->envname("TARNIK_PORT");
    app.add_option("--line", lineText,
                   Tr("try the module at these line settings first, e.g. 9600,8,N,1; the search follows only "
                      "when nothing answers there"))
        ->type_name("B,D,P,S");
    app.add_flag("-y,--yes", yes,
                 Tr("answer every confirmation with yes (needed when standard input is not a terminal)"));
    app.add_flag("-q,--quiet", quiet, Tr("no progress lines and no result messages; errors are still shown"));
    app.add_flag("--trace", trace,
                 Tr("write every request and answer on the line, with time stamps, to standard error"));
    app.add_flag("--simulate", simulate, Tr("talk to a simulated module inside the program, registered on --port"));
    app.add_option("--sim-line", sim.line,
                   Tr("simulated module's line settings BAUD,DATABITS,PARITY,STOPBITS (default 9600,8,N,1)"))
        ->type_name("B,D,P,S");
    app.add_option("--sim-serial", sim.serial, Tr("simulated module's serial number"))->type_name("N");
    app.add_option("--sim-version", sim.version, Tr("simulated module's firmware version text"))->type_name("TEXT");
    app.add_flag("--sim-fixed-pins", sim.fixedPins, Tr("simulate a model whose pin functions cannot be changed"));
    app.add_option("--sim-stored-mode", sim.storedMode,
                   Tr("mode the simulated module powered up with: 0, 1 or 2 (1 and 2 start it in transparent mode)"))
        ->type_name("M");
    app.add_option("--sim-fault", sim.faults,
                   Tr("disturb the simulated module: KIND[:MNEMONIC[:COUNT]], KIND one of silence, late, cut, "
                      "garbage, nul, overlong, nak[=CODE], bad-man, vanish, stored-ignored, stored-off, swap, kill[=N] "
                      "(ends tarnik at once at the N-th request, as kill -9 does); MNEMONIC * for every request; "
                      "COUNT -1 for ever (default 1); repeatable"))
        ->type_name("LINE");
    app.add_option("--sim-change-fault", sim.changeFaults,
                   Tr("like --sim-fault, but armed only when the command, past its search and read, starts "
                      "changing the module; repeatable"))
        ->type_name("LINE");
    app.add_option("--sim-swap", sim.swaps,
                   Tr("the module that takes the place of the present one when the next module is asked for "
                      "(pair, provision): \"\" the next serial number with factory settings, or tarnik-sim's "
                      "module options, e.g. \"--serial 7 --fault nak:SAD\"; repeatable, in order"))
        ->type_name("OPTIONS")
        ->allow_extra_args(false);
    app.add_flag("--sim-log", sim.log, Tr("print the simulated module's requests and answers at the end"));
}

std::string GlobalOptions::Check(const CLI::App& app, std::optional<SerialSettings>& knownLine) const {
    // An empty TARNIK_PORT is a mistake in a script, not a wish for COM1.
    const char* portVariable = std::getenv("TARNIK_PORT");
    if (portOption->count() == 0 && portVariable != nullptr && *portVariable == '\0') {
        return Tr("TARNIK_PORT is set but empty; name the port there or with --port");
    }
    if (ports.size() > 1) {
        for (std::size_t k = 0; k < ports.size(); ++k) {
            if (!KvIsPortName(ports[k]))
                return TrFormat("--port: '%s' is neither COMn nor a device path", ports[k].c_str());
            if (std::find(ports.begin(), ports.begin() + static_cast<std::ptrdiff_t>(k), ports[k]) !=
                ports.begin() + static_cast<std::ptrdiff_t>(k)) {
                return TrFormat("--port: '%s' given twice", ports[k].c_str());
            }
        }
        if (simulate) return Tr("--simulate serves one port: give --port once");
    } else if (port == kAutoPort) {
        if (simulate) return Tr("--port auto searches the serial devices present; --simulate needs a port name");
    } else if (!KvIsPortName(port)) {
        return TrFormat("--port: '%s' is neither COMn, a device path nor auto", port.c_str());
    }
    if (simulate) {
        const std::string problem = Simulation::Check(sim);
        if (!problem.empty()) return problem;
    }
    if (app.count("--line") != 0) {
        SerialSettings line;
        const std::string problem = ParseLine(lineText, line.baudRate, line.dataBits, line.parity, line.stopBits);
        if (!problem.empty()) return "--line: " + problem;
        knownLine = line;
    }
    return "";
}

}  // namespace

namespace {

// The command itself, on the real or the simulated port: everything it was
// given has been checked.
int RunOnPort(const GlobalOptions& global, const ModuleCommands& module, BenchCommands& bench, bool json,
              const ConsoleOptions& console, const std::optional<SerialSettings>& knownLine) {
    const std::string& port = global.port;
    KvClock& clock = SteadyClock();
    std::unique_ptr<Simulation> simulation;
    if (global.simulate) simulation = std::make_unique<Simulation>(port, global.sim, clock);
    // The slave of a simulated pair on its own port: the next module of a bench.
    std::unique_ptr<Simulation> peerSimulation;
    if (bench.Parsed()) {
        if (simulation && !bench.PeerPort().empty()) {
            peerSimulation = std::make_unique<Simulation>(bench.PeerPort(), NextModuleOptions(global.sim), clock);
        }
        const std::string problem =
            bench.Check(global.ports.size() > 1 ? global.ports : std::vector<std::string>{port}, simulation.get());
        if (!problem.empty()) return Usage(TrFormat("%s; nothing was sent", problem.c_str()));
    }

    std::unique_ptr<WireTrace> wire;
    if (global.trace) {
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
        ctx.verify = module.Verify();
        rc = bench.Parsed() ? bench.Run(ctx) : module.Run(ctx);
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
    if (simulation && global.sim.log) simulation->PrintLog(stderr);
    if (peerSimulation && global.sim.log) peerSimulation->PrintLog(stderr);
    return rc;
}

// --port auto and scan --all: every serial device searched at once. scan
// --all ends here; for --port auto, the port where the one module answered
// becomes the command's port, its settings the ones tried first.
std::optional<int> SearchEveryPort(GlobalOptions& global, const ModuleCommands& module, bool json,
                                   const ConsoleOptions& console, std::optional<SerialSettings>& knownLine) {
    PortSearchOptions options;
    options.line = knownLine;
    options.quiet = console.quiet;
    options.terminal = console.terminal;
    const std::vector<PortSearchResult> results = SearchPorts(KvDiscoverSerialPorts(), options, SteadyClock(), stderr);
    const bool anyFound = std::any_of(results.begin(), results.end(), [](const auto& r) { return r.found; });
    if (module.ScanAll() && anyFound) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const PortSearchResult& r : results) {
            if (r.found && json) list.push_back(SearchResultJson(r));
            if (r.found && !json) PrintLine(stdout, SearchResultLine(r));
        }
        if (json) PrintJson(stdout, list);
        return kExitOk;
    }
    const AutoPortChoice choice = ChooseAutoPort(results);
    if (choice.chosen && !module.ScanAll()) {
        global.port = choice.chosen->port.name;
        errorPort = global.port;
        knownLine = choice.chosen->line;
        if (!console.quiet) PrintLine(stderr, "tarnik: --port auto: " + SearchResultLine(*choice.chosen));
        return std::nullopt;
    }
    std::vector<std::string> why = choice.why;
    if (module.ScanAll()) why.front() = Tr("tarnik: scan --all: no module answered on any serial device:");
    for (const std::string& line : why) PrintLine(stderr, line);
    if (json) {
        FailureReport report;
        report.exitCode = choice.exitCode;
        report.port = kAutoPort;
        for (std::size_t k = 0; k < why.size(); ++k) report.detail += (k ? "\n" : "") + why[k];
        if (choice.exitCode == kExitNotFound) report.hints = NotFoundHints();
        PrintFailureJson(report);
    }
    return choice.exitCode;
}

// Every --port: usb:SERIAL resolved to its adapter's port, the last one the
// command's port; more than one only for provision.
std::optional<int> TakePorts(GlobalOptions& global, const BenchCommands& bench) {
    if (global.ports.size() > 1 && !bench.ProvisionParsed()) {
        return Usage(Tr("--port more than once: only provision takes several ports (one station each)"));
    }
    for (std::string& port : global.ports) {
        if (port.rfind("usb:", 0) != 0) continue;
        std::string problem;
        bool several = false;
        const std::string found = KvFindUsbPort(port, KvDiscoverSerialPorts(), problem, several);
        if (several) return Usage("--port " + problem);
        if (found.empty()) return Refuse(kExitPort, port, "--port " + problem);
        port = found;
    }
    if (!global.ports.empty()) global.port = global.ports.back();
    errorPort = global.port;
    return std::nullopt;
}

// link-test and monitor drive the ports themselves and send no command: what
// they return, or nothing when neither was asked for.
std::optional<int> RunLinkCommands(const GlobalOptions& global, LinkTestCommand& linkTest, MonitorCommand& monitor,
                                   const std::optional<SerialSettings>& knownLine, bool json) {
    if (!linkTest.Parsed() && !monitor.Parsed()) return std::nullopt;
    if (global.port == kAutoPort) return Usage(Tr("link-test and monitor need their port named: not --port auto"));
    if (global.simulate) {
        return Usage(
            Tr("link-test and monitor need ports with modules behind them (tarnik-sim --link A --peer-link B "
               "serves a simulated pair); nothing was sent"));
    }
    if (linkTest.Parsed()) {
        const std::string problem = linkTest.Check(global.port, knownLine);
        if (!problem.empty()) return Usage(TrFormat("%s; nothing was sent", problem.c_str()));
        LinkTestOptions& options = linkTest.Options();
        options.json = json;
        options.quiet = global.quiet;
        options.terminal = RedrawsInPlace();
        return RunLinkTest(options, SteadyClock(), stdout, stderr);
    }
    if (!knownLine) return Usage(Tr("monitor needs the module's line settings: --line B,D,P,S"));
    return monitor.Run(global.port, *knownLine);
}

// What was typed but belongs to no command, or the missing command: "" when
// the command line names one command and nothing else.
std::string UnknownWords(const CLI::App& app) {
    const std::vector<std::string> extras = app.remaining();
    const bool noCommand = app.get_subcommands().empty();
    if (!extras.empty()) {
        const std::string& word = extras.front();
        if (word.size() > 1 && word[0] == '-') return TrFormat("unknown option '%s'; see tarnik --help", word.c_str());
        if (noCommand) return TrFormat("unknown command '%s'; see tarnik --help", word.c_str());
        return TrFormat("unexpected argument '%s'; see tarnik --help", word.c_str());
    }
    if (noCommand) return Tr("no command given; see tarnik --help for the commands");
    return "";
}

// CLI11's own words of the help in the chosen language: its labels, the
// groups of options and commands, the help and version flags. Before anything is added
// (commands take the help flag and the groups of the program when they are made).
void SpeakHelp(CLI::App& app) {
    static const char* const kLabels[] = {N_("Usage"),       N_("OPTIONS"),  N_("SUBCOMMAND"),
                                          N_("SUBCOMMANDS"), N_("REQUIRED"), N_("Env"),
                                          N_("Positionals"), N_("Needs"),    N_("Excludes")};
    for (const char* label : kLabels) app.get_formatter()->label(label, Tr(label));
    app.option_defaults()->group(Tr("Options"));
    app.group(Tr("Subcommands"));
    app.set_help_flag("-h,--help", Tr("Print this help message and exit"));
    app.set_version_flag("--version", "tarnik " VELMORA_VERSION, Tr("Display program version information and exit"));
}

// A command makes its help flag before it takes the program's group of
// options: the flag is put with the command's other options.
void GroupHelpFlags(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        if (CLI::Option* help = command->get_help_ptr()) help->group(Tr("Options"));
    }
}

int RunTarnik(int argc, char** argv) {
#ifdef _WIN32
    WindowsConsole windowsConsole;
    // An interrupt ends the process without the destructor.
    Interrupt::SetBeforeExit(WindowsConsole::RestoreForExit);
#endif
    CLI::App app{Tr(kAbout), "tarnik"};
    SpeakHelp(app);
    app.footer(Tr(kFooter));
    app.fallthrough();

    GlobalOptions global;
    global.Register(app);
    bool json = false;
    app.add_flag("--json", json, Tr("the result, and any error, as JSON on standard output"));
    ModuleCommands module;
    module.Register(app, json);
    BenchCommands bench;
    bench.Register(app);
    LinkTestCommand linkTest;
    linkTest.Register(app, json);
    MonitorCommand monitor;
    monitor.Register(app);
    CLI::App* ports =
        app.add_subcommand("ports", Tr("list the serial devices of this machine with what is known of them"));
    ports->add_flag("--json", json, Tr("print the list as JSON"));
    GroupHelpFlags(app);
    // What no command takes is collected and named below, not refused with
    // CLI11's "A subcommand is required".
    app.allow_extras();
    app.require_subcommand(0, 1);

    // A mistake on the command line is told as JSON too when --json was typed.
    jsonErrors = std::any_of(argv + 1, argv + argc, [](const char* a) { return std::string(a) == "--json"; });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // CLI11's own words, English whatever the language, inside ours.
        if (error.get_exit_code() != 0) return Usage(TrFormat("%s; see tarnik --help", error.what()));
        // --help and --version.
        std::ostringstream out, err;
        app.exit(error, out, err);
        PrintText(stdout, out.str());
        PrintText(stderr, err.str());
        return kExitOk;
    }
    if (const std::string problem = UnknownWords(app); !problem.empty()) return Usage(problem);

    if (ports->parsed()) return RunPorts(json, stdout);
    if (const std::optional<int> rc = TakePorts(global, bench)) return *rc;

    // Everything is checked before the port is touched.
    std::optional<SerialSettings> knownLine;
    std::string problem = global.Check(app, knownLine);
    if (!problem.empty()) return Usage(problem);
    if (const std::optional<int> rc = RunLinkCommands(global, linkTest, monitor, knownLine, json)) return *rc;
    problem = module.Check();
    if (!problem.empty()) return Usage(TrFormat("%s; nothing was sent", problem.c_str()));

    ConsoleOptions console;
    console.yes = global.yes;
    console.reload = module.Reload();
    console.quiet = global.quiet;
    console.interactive = KV_ISATTY(0) != 0;
    console.terminal = RedrawsInPlace();
#ifdef _WIN32
    console.terminal = console.terminal && windowsConsole.EscapesWork();
#endif
    if ((module.ChangesModule() || bench.Parsed()) && !global.yes && !console.interactive) {
        return Usage(
            Tr("this command changes the module and asks for confirmation, but standard input is not a "
               "terminal: add --yes; nothing was sent"));
    }

    if (module.ScanAll() || global.port == kAutoPort) {
        if (bench.Parsed())
            return Usage(Tr("pair and provision need their ports named: not --port auto; nothing was sent"));
        if (const std::optional<int> rc = SearchEveryPort(global, module, json, console, knownLine)) return *rc;
    }
    return RunOnPort(global, module, bench, json, console, knownLine);
}

}  // namespace

int main(int argc, char** argv) {
    SetUpLanguage(argc > 0 ? argv[0] : nullptr);
    Interrupt::Install();
    // The last guard: whatever the layers below let through ends the program
    // with a message and an exit code of its own, never with an abort.
    try {
        return RunTarnik(argc, argv);
    } catch (const std::exception& error) {
        PrintLine(stderr, TrFormat("tarnik: internal error: %s", error.what()));
    } catch (...) {
        std::fprintf(stderr, "%s\n", Tr("tarnik: internal error"));
    }
    return kExitInternal;
}
