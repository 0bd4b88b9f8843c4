#pragma once
// The values the tool reads from a module and writes to it: checking what the
// user typed or a profile holds, before anything is sent, and the module's
// configuration as text and as JSON.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "DeviceSettings.h"
// The values and their checks, shared with the desktop programs.
#include "KvProfile.h"

// The whole record a write sends, checked like typed values, whatever each
// value came from (an option, a profile or the module's own answer to a read).
// `withPins`: the pin functions are sent too. Returns "" or "--option: problem".
std::string CheckRecord(const DeviceSettings& record, bool withPins);

// Everything the tool reports about a module after a read.
struct ModuleReport {
    std::uint32_t serialNumber = 0;
    std::string version;
    int runningMode = 0;
    int storedMode = 0;
    int address = 0;
    int channel = 0;
    int baudRate = 0;
    int dataBits = 0;
    int parity = 0;
    int stopBits = 0;
    int pins[4] = {0, 0, 0, 0};
    bool pinsFixed = false;
    bool addressLocked = false;

    std::string PinText() const;
};

nlohmann::ordered_json ReportJson(const ModuleReport& report);
// The settings window's labels and texts, one value a line.
std::string ReportText(const ModuleReport& report);
