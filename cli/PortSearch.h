#pragma once
// A search of several ports at the same time, one thread per port: what
// `tarnik --port auto` and `tarnik scan --all` do. Each thread has its own
// document, host and conduit; what they share below (the list of open ports
// for the signal handler, the port reservations, the clock) is safe for
// threads. The progress is one line that shows where each port's search is.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "KvClock.h"
#include "KvPortDiscovery.h"
#include "SerialSettings.h"

struct PortSearchResult {
    KvPortInfo port;
    bool found = false;
    std::uint32_t serialNumber = 0;
    SerialSettings line;  // the settings the module answered at, when found
    int candidate = 0;    // the candidates tried
    std::string problem;  // why the port could not be searched ("" when it was)
};

struct PortSearchOptions {
    std::optional<SerialSettings> line;  // tried first on every port (--line)
    bool quiet = false;                  // no progress
    bool terminal = false;               // the progress line overwrites itself
};

// Searches every port in `ports` at once and returns one result each, in the
// order given. Progress goes to `progress`.
std::vector<PortSearchResult> SearchPorts(const std::vector<KvPortInfo>& ports, const PortSearchOptions& options,
                                          KvClock& clock, std::FILE* progress);

// The one port where a module answered. Otherwise the exit code (4 for
// none, 2 for several) and, in `why`, the lines that say what was found.
struct AutoPortChoice {
    std::optional<PortSearchResult> chosen;
    int exitCode = 0;
    std::vector<std::string> why;
};
AutoPortChoice ChooseAutoPort(const std::vector<PortSearchResult>& results);

// "/dev/ttyUSB0 (FTDI FT232R USB UART, serial number A50285BI): module 000000501 at 9600 8N1"
std::string SearchResultLine(const PortSearchResult& result);
// port, adapter, serialNumber, baudRate, dataBits, parity, stopBits, candidate
nlohmann::ordered_json SearchResultJson(const PortSearchResult& result);
