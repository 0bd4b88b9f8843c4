// tarnik-sim: a simulated Tarnik module on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ModuleOptions.h"
#include "PtyServer.h"
#include "Radio.h"
#include "TarnikModule.h"

namespace {

const char kHelp[] =
    "usage: tarnik-sim [options]\n"
    "\n"
    "Simulates a Tarnik radio module on a pseudo-terminal. The path of the\n"
    "terminal is printed on standard output; open it as the module's serial port.\n"
    "Every request heard and every answer is logged to standard error with a time.\n"
    "\n"
    "options:\n"
    "  --link PATH            make PATH a symbolic link to the terminal; repeated, one\n"
    "                         more module on a terminal of its own each time (see\n"
    "                         several modules below)\n"
    "  --links N              serve N modules, 1 to 32, each on a terminal of its own\n"
    "                         (default: one, or one per --link)\n"
    "  --baud N               line speed: 1200, 2400, 4800, 9600, 19200, 38400, 57600\n"
    "                         (default 9600)\n"
    "  --frame DPS            data bits 7/8, parity N/E/O, stop bits 1/2 (default 8N1)\n"
    "  --serial N             serial number, 0 to 999999999 (default 123456789)\n"
    "  --firmware TEXT        the module's firmware version text (default 1.00.003)\n"
    "  --fixed-pins           a model whose pin functions cannot be changed\n"
    "  --stored-mode N        mode at power-up: 0 standard, 1 transparent master,\n"
    "                         2 transparent slave (default 0)\n"
    "  --restart-ms N         time the module is deaf after INI, 0 to 1200 (default 800)\n"
    "  --escape-window-ms N   time after power-up in which the escape string is\n"
    "                         taken (default 30000)\n"
    "  --latency-ms N         time before the first byte of an answer (default 2)\n"
    "  --no-pace              send answers at once instead of at the baud rate\n"
    "  --neighbours           answer routed requests (\"!\" hops) instead of NAK 02\n"
    "  --fault KIND[:MNEMONIC[:COUNT]]\n"
    "                         disturb the module: KIND one of silence, late, cut,\n"
    "                         garbage, nul, overlong, nak[=CODE], bad-man, vanish,\n"
    "                         stored-ignored (a write reaches the running value\n"
    "                         only), stored-off (a write stores one more), swap\n"
    "                         (another module takes this one's place), kill[=N] (the\n"
    "                         simulator ends at once, as the module losing power);\n"
    "                         MNEMONIC * for every request, with a scope\n"
    "                         character (+SAD, @MOD) only requests of that scope;\n"
    "                         COUNT -1 for ever (default 1); repeatable\n"
    "  --exit-on-eof          stop when standard input ends (default: keep running)\n"
    "\n"
    "a pair of modules and the radio between them:\n"
    "  --peer-link PATH       serve a second module on a second terminal, linked as\n"
    "                         PATH: the first one's options with the next serial\n"
    "                         number, no faults, and the other role when the first\n"
    "                         starts in transparent mode (--stored-mode 1 gives a\n"
    "                         slave beside it, 2 a master). Once both run in\n"
    "                         transparent mode as a matched pair (master and slave,\n"
    "                         one channel, each one's partner address the other's\n"
    "                         address), what one hears goes over the air to the other\n"
    "  --air-latency-ms N     time a frame takes besides its time on the air (default 5)\n"
    "  --loss PERCENT         share of air frames lost, 0 to 100 (default 0)\n"
    "  --bit-error-rate R     chance of each bit of a frame being flipped, e.g. 1e-5\n"
    "                         (default 0)\n"
    "  --air-bps N            air data rate, shared by both directions (default 250000)\n"
    "  --air-frame N          bytes an air frame carries at most (default 64)\n"
    "  --air-idle-ms N        a frame also ends when the serial line has been idle\n"
    "                         this long (default: three character times)\n"
    "  --seed N               seed of the radio's losses and bit errors (default 1)\n"
    "  Every lost or corrupted frame is logged: \"radio: frame K from module M, ...,\n"
    "  dropped\" or \"... corrupted (B bit(s) flipped)\".\n"
    "\n"
    "several modules (--links N, or --link given more than once):\n"
    "  module options before the first --link hold for every module; those after a\n"
    "  --link, up to the next one, for that link's module alone. Module K (from 1)\n"
    "  has the serial number of the first plus K-1 unless its own --serial says\n"
    "  otherwise. The terminals are printed one a line, in order; modules without a\n"
    "  --link of their own come after those with one. \"K COMMAND\" on standard input\n"
    "  reaches module K alone (\"2 swap\", \"3 power\"); without K, power and status\n"
    "  reach every module and swap the first.\n"
    "\n"
    "  --help                 this text\n"
    "  --version              the version of tarnik-sim\n"
    "\n"
    "control:\n"
    "  a line \"power\" on standard input, or SIGUSR1, power-cycles the module\n"
    "  (running settings := stored settings; stored mode 1 or 2 starts transparent\n"
    "  mode and opens the escape window); \"status\" logs the settings;\n"
    "  \"swap [OPTIONS]\" replaces the module with a new one, as on a production\n"
    "  bench: the next serial number and factory settings, or what the module\n"
    "  options given after it (--serial, --baud, --frame, --fault, ...) say;\n"
    "  SIGINT or SIGTERM stops it.\n"
    "\n"
    "factory settings (after INI, both banks): mode 0, address 0, partner address 0,\n"
    "PAN 0, frequency 0, retry count 3, LED 1, line 9600 8N1, pin functions 0000.\n"
    "\n"
    "line settings: a pseudo-terminal shows the baud rate, the stop bits and the\n"
    "odd/even parity flag of the other end's settings, but forces 8 data bits and\n"
    "no parity. The module matches on what can be seen: bytes sent at another baud\n"
    "rate, another stop-bit count, or with odd parity where the module has none or\n"
    "even parity (or the reverse) are not understood and get no answer. Data bits,\n"
    "and even parity against none, cannot be told apart on a pseudo-terminal.\n";

int signalPipe[2] = {-1, -1};

void OnSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tarnik-sim: %s (see --help)\n", problem.c_str());
    return 2;
}

template <typename Number>
bool ReadNumber(const std::string& text, Number low, Number high, Number& value) {
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || !(parsed >= low && parsed <= high)) return false;
    value = parsed;
    return true;
}

// The radio's options; false when words[i] is none. `problem` is set when its value is wrong.
bool TakeRadioOption(const std::vector<std::string>& words, std::size_t& i, tarnik::sim::RadioConfig& radio,
                     std::string& problem) {
    const std::string& option = words[i];
    if (option != "--air-latency-ms" && option != "--loss" && option != "--bit-error-rate" && option != "--air-bps" &&
        option != "--air-frame" && option != "--air-idle-ms" && option != "--seed") {
        return false;
    }
    const std::string value = i + 1 < words.size() ? words[++i] : std::string();
    long long whole = 0;
    double share = 0;
    bool ok = false;
    if (option == "--air-latency-ms") {
        ok = ReadNumber(value, 0LL, 60000LL, whole);
        radio.latency = std::chrono::milliseconds{whole};
    } else if (option == "--loss") {
        ok = ReadNumber(value, 0.0, 100.0, share);
        radio.lossRate = share / 100;
    } else if (option == "--bit-error-rate") {
        ok = ReadNumber(value, 0.0, 1.0, share);
        radio.bitErrorRate = share;
    } else if (option == "--air-bps") {
        ok = ReadNumber(value, 300LL, 10000000LL, whole);
        radio.airBps = static_cast<std::uint32_t>(whole);
    } else if (option == "--air-idle-ms") {
        ok = ReadNumber(value, 0LL, 60000LL, whole);
        radio.idle = std::chrono::milliseconds{whole};
    } else if (option == "--air-frame") {
        ok = ReadNumber(value, 1LL, 4096LL, whole);
        radio.frameBytes = static_cast<std::size_t>(whole);
    } else {
        ok = ReadNumber(value, 0LL, (1LL << 62), whole);
        radio.seed = static_cast<std::uint64_t>(whole);
    }
    if (!ok) problem = option + ": '" + value + "' is out of range or no number";
    return true;
}

// The module beside the first one: the next serial number, the other role.
tarnik::sim::ModuleConfig PeerConfig(const tarnik::sim::ModuleConfig& first) {
    tarnik::sim::ModuleConfig peer = first;
    peer.serialNumber = first.serialNumber >= 999999999u ? 0 : first.serialNumber + 1;
    if (first.storedMode == 1 || first.storedMode == 2) peer.storedMode = 3 - first.storedMode;
    return peer;
}

// Signals reach the serving loop through signalPipe.
bool CatchSignals() {
    if (pipe(signalPipe) != 0) {
        std::perror("tarnik-sim: pipe");
        return false;
    }
    fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// The module's terminal on standard output, what it is on standard error.
void Announce(tarnik::sim::PtyServer& s, const std::string& linkName, const char* label) {
    const tarnik::sim::ModuleConfig& c = s.module().Config();
    std::printf("%s\n", s.SlavePath().c_str());
    std::fprintf(stderr, "tarnik-sim: %smodule %09lu, version %s, %s, line %u %c%c%c on %s%s%s\n", label,
                 static_cast<unsigned long>(c.serialNumber), c.version.c_str(),
                 s.module().Transparent() ? "transparent mode" : "standard mode", c.line.baud, c.line.dataBits,
                 c.line.parity, c.line.stopBits, s.SlavePath().c_str(), linkName.empty() ? "" : " linked as ",
                 linkName.c_str());
}

// What the command line asks for. Module options before the first --link
// are in `base`; those after the K-th --link are kept as words, applied to
// module K over `base` (with one link, that is the same module).
struct SimOptions {
    tarnik::sim::ModuleConfig base;
    std::vector<tarnik::sim::Fault> baseFaults;
    tarnik::sim::RadioConfig radio;
    std::vector<std::string> links;
    std::vector<std::vector<std::string>> linkWords;
    long long modules = 0;  // --links; 0: one, or one per --link
    std::string peerLink;
    bool paced = true;
    bool exitOnEof = false;
};

// Parses the command line; an exit status when the program ends here (--help, a mistake).
std::optional<int> ParseSimOptions(const std::vector<std::string>& words, SimOptions& o) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& option = words[i];
        const bool hasValue = i + 1 < words.size();
        std::string problem;
        const std::size_t first = i;
        tarnik::sim::ModuleConfig scratch = o.base;
        std::vector<tarnik::sim::Fault> scratchFaults;
        const bool own = !o.links.empty();
        if (tarnik::sim::TakeModuleOption(words, i, own ? scratch : o.base, own ? scratchFaults : o.baseFaults,
                                          problem)) {
            if (!problem.empty()) return Usage(problem);
            if (own) o.linkWords.back().insert(o.linkWords.back().end(), words.begin() + first, words.begin() + i + 1);
        } else if (TakeRadioOption(words, i, o.radio, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (option == "--peer-link" && hasValue) {
            o.peerLink = words[++i];
        } else if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--version") {
            // Earlier versions took the firmware's text here: a script that still gives one is told so, not started.
            if (hasValue && words[i + 1].rfind('-', 0) != 0) {
                return Usage("--version takes no value; the firmware's version text is --firmware TEXT");
            }
            std::fputs("tarnik-sim " VELMORA_VERSION "\n", stdout);
            return 0;
        } else if (option == "--link" && hasValue) {
            o.links.push_back(words[++i]);
            o.linkWords.emplace_back();
        } else if (option == "--links") {
            if (!ReadNumber(hasValue ? words[++i] : std::string(), 1LL, 32LL, o.modules)) {
                return Usage("--links: '" + words[i] + "' is no number from 1 to 32");
            }
        } else if (option == "--no-pace") {
            o.paced = false;
        } else if (option == "--exit-on-eof") {
            o.exitOnEof = true;
        } else {
            return Usage("unknown option or missing value: " + option);
        }
    }
    if (o.modules == 0) o.modules = std::max<long long>(1, static_cast<long long>(o.links.size()));
    if (static_cast<std::size_t>(o.modules) < o.links.size()) {
        return Usage("--links " + std::to_string(o.modules) + " but " + std::to_string(o.links.size()) + " --link");
    }
    if (!o.peerLink.empty() && o.modules > 1) return Usage("--peer-link serves a pair: not with several modules");
    return std::nullopt;
}

// The common settings with the K-th link's own words over them.
void ApplyLinkWords(const SimOptions& o, std::size_t k, tarnik::sim::ModuleConfig& config,
                    std::vector<tarnik::sim::Fault>& faults) {
    if (k >= o.linkWords.size()) return;
    std::string problem;
    for (std::size_t i = 0; i < o.linkWords[k].size(); ++i) {
        tarnik::sim::TakeModuleOption(o.linkWords[k], i, config, faults, problem);
    }
}

// Module k's settings: the common ones, the first module's serial number
// counted on, its own words.
void ModuleFor(const SimOptions& o, std::size_t k, tarnik::sim::ModuleConfig& config,
               std::vector<tarnik::sim::Fault>& faults) {
    tarnik::sim::ModuleConfig first = o.base;
    std::vector<tarnik::sim::Fault> ignored;
    ApplyLinkWords(o, 0, first, ignored);
    config = o.base;
    config.serialNumber = static_cast<std::uint32_t>((first.serialNumber + k) % 1000000000u);
    faults = o.baseFaults;
    ApplyLinkWords(o, k, config, faults);
}

void AnnounceRadio(const tarnik::sim::RadioConfig& radioConfig) {
    std::fprintf(stderr,
                 "tarnik-sim: radio: %u bps on the air, frames of up to %zu bytes, latency %lld ms, "
                 "loss %g %%, bit-error rate %g, seed %llu\n",
                 radioConfig.airBps, radioConfig.frameBytes, static_cast<long long>(radioConfig.latency.count() / 1000),
                 radioConfig.lossRate * 100, radioConfig.bitErrorRate,
                 static_cast<unsigned long long>(radioConfig.seed));
}

int RunSim(int argc, char** argv) {
    using tarnik::sim::PtyServer;
    SimOptions o;
    if (const std::optional<int> status = ParseSimOptions({argv + 1, argv + argc}, o)) return *status;
    if (!CatchSignals()) return 1;

    int status = 0;
    {
        const bool pair = !o.peerLink.empty();
        const bool labelled = pair || o.modules > 1;
        std::vector<std::unique_ptr<PtyServer>> owned;
        std::vector<std::string> linkNames = o.links;
        for (std::size_t k = 0; k < static_cast<std::size_t>(o.modules); ++k) {
            tarnik::sim::ModuleConfig config;
            std::vector<tarnik::sim::Fault> faults;
            ModuleFor(o, k, config, faults);
            owned.push_back(
                std::make_unique<PtyServer>(config, o.paced, labelled ? "module " + std::to_string(k + 1) : ""));
            for (const tarnik::sim::Fault& fault : faults) owned.back()->module().InjectFault(fault);
        }
        std::unique_ptr<tarnik::sim::Radio> radio;
        if (pair) {
            owned.push_back(
                std::make_unique<PtyServer>(PeerConfig(owned.front()->module().Config()), o.paced, "module 2"));
            radio = std::make_unique<tarnik::sim::Radio>(o.radio, owned.front()->module(), owned.back()->module());
            if (linkNames.empty()) linkNames.emplace_back();
            linkNames.push_back(o.peerLink);
        }
        linkNames.resize(owned.size());
        std::vector<PtyServer*> servers;
        for (std::size_t k = 0; k < owned.size(); ++k) {
            std::string error;
            if (!owned[k]->Open(error) || (!linkNames[k].empty() && !owned[k]->MakeLink(linkNames[k], error))) {
                std::fprintf(stderr, "tarnik-sim: %s\n", error.c_str());
                return 1;
            }
            servers.push_back(owned[k].get());
        }
        for (std::size_t k = 0; k < servers.size(); ++k) {
            Announce(*servers[k], linkNames[k], labelled ? (std::to_string(k + 1) + ": ").c_str() : "");
        }
        std::fflush(stdout);
        if (radio) AnnounceRadio(o.radio);
        status = tarnik::sim::Serve(servers, radio.get(), signalPipe[0], o.exitOnEof);
    }
    close(signalPipe[0]);
    close(signalPipe[1]);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // The last guard: nothing the simulator did not expect ends it with an abort.
    try {
        return RunSim(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnik-sim: internal error: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "tarnik-sim: internal error\n");
    }
    return 70;
}
