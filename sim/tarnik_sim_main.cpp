// tarnik-sim: a simulated Tarnik module on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "ModuleOptions.h"
#include "PtyServer.h"
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
    "  --link PATH            make PATH a symbolic link to the terminal\n"
    "  --baud N               line speed: 1200, 2400, 4800, 9600, 19200, 38400, 57600\n"
    "                         (default 9600)\n"
    "  --frame DPS            data bits 7/8, parity N/E/O, stop bits 1/2 (default 8N1)\n"
    "  --serial N             serial number, 0 to 999999999 (default 123456789)\n"
    "  --version TEXT         firmware version text (default 1.00.003)\n"
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
    "  --help                 this text\n"
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

int RunSim(int argc, char** argv) {
    using tarnik::sim::ModuleConfig;
    ModuleConfig config;
    std::string link;
    bool paced = true;
    bool exitOnEof = false;

    std::vector<tarnik::sim::Fault> faults;
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& option = words[i];
        const bool hasValue = i + 1 < words.size();
        std::string problem;
        if (tarnik::sim::TakeModuleOption(words, i, config, faults, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--link" && hasValue) {
            link = words[++i];
        } else if (option == "--no-pace") {
            paced = false;
        } else if (option == "--exit-on-eof") {
            exitOnEof = true;
        } else {
            return Usage("unknown option or missing value: " + option);
        }
    }

    if (pipe(signalPipe) != 0) {
        std::perror("tarnik-sim: pipe");
        return 1;
    }
    fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int status = 0;
    {
        tarnik::sim::PtyServer server(config, paced);
        for (const tarnik::sim::Fault& fault : faults) server.module().InjectFault(fault);
        std::string error;
        if (!server.Open(error) || (!link.empty() && !server.MakeLink(link, error))) {
            std::fprintf(stderr, "tarnik-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", server.SlavePath().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "tarnik-sim: module %09lu, version %s, %s, line %u %c%c%c on %s%s%s\n",
                     static_cast<unsigned long>(config.serialNumber), config.version.c_str(),
                     server.module().Transparent() ? "transparent mode" : "standard mode", config.line.baud,
                     config.line.dataBits, config.line.parity, config.line.stopBits, server.SlavePath().c_str(),
                     link.empty() ? "" : " linked as ", link.c_str());
        status = server.Run(signalPipe[0], exitOnEof);
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
