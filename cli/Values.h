#pragma once
// The values the tool reads from a module and writes to it: checking what the
// user typed or a profile holds, before anything is sent, and the module's
// configuration as text and as JSON.
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "DeviceSettings.h"

// What a write changes: each field only when given. Tokens are character
// codes as in the settings record ('8', 'E', '1'); pins as four characters.
struct SettingValues {
    std::optional<int> address;
    std::optional<int> channel;
    std::optional<int> baudRate;
    std::optional<int> dataBits;
    std::optional<int> parity;
    std::optional<int> stopBits;
    std::optional<std::string> pins;

    bool Empty() const;
    // The fields given in `over` replace those of this one.
    void Overlay(const SettingValues& over);
    // The given fields written into a settings record.
    void ApplyTo(DeviceSettings& record) const;
};

// Each check returns "" when the text is a valid value (stored into `out`),
// otherwise what is wrong with it, to be shown after the field's name.
std::string ParseAddress(const std::string& text, int& out);
std::string ParseChannel(const std::string& text, int& out);
std::string ParseBaudRate(const std::string& text, int& out);
std::string ParseDataBits(const std::string& text, int& out);
std::string ParseParity(const std::string& text, int& out);
std::string ParseStopBits(const std::string& text, int& out);
std::string ParsePins(const std::string& text, std::string& out);
// "19200,8,E,1": the line settings of the simulated module and of an escape.
std::string ParseLine(const std::string& text, int& baud, int& dataBits, int& parity, int& stopBits);

// The whole record a write sends, checked like typed values, whatever each
// value came from (an option, a profile or the module's own answer to a read).
// `withPins`: the pin functions are sent too. Returns "" or "--option: problem".
std::string CheckRecord(const DeviceSettings& record, bool withPins);

// A profile: the JSON object that `read --json` prints. The fields a write
// takes are checked like the options; the fields that only describe the module
// it came from are accepted and left alone. Returns "" or "field: problem".
std::string ProfileValues(const nlohmann::json& profile, SettingValues& out);

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

// The "format" field of a profile: what read --json writes, what write --from takes.
constexpr int kProfileFormat = 1;

nlohmann::ordered_json ReportJson(const ModuleReport& report);
// The settings window's labels and texts, one value a line.
std::string ReportText(const ModuleReport& report);

// Channel n is 2405 + n MHz.
inline int ChannelMHz(int channel) { return 2405 + channel; }
