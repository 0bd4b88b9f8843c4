#pragma once
// The values of a profile and of the command line's options: each checked
// before anything is sent, and a profile as the JSON object that `read --json`
// prints (the fields a write takes) and that `write --from` takes.
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

// The "format" field of a profile: what read --json writes, what write --from takes.
constexpr int kProfileFormat = 1;

// A profile: the JSON object that `read --json` prints. The fields a write
// takes are checked like the options; the fields that only describe the module
// it came from are accepted and left alone. Returns "" or "field: problem".
std::string ProfileValues(const nlohmann::json& profile, SettingValues& out);

// The given fields as a profile, in the order and the form `read --json`
// prints them ("format" first, the channel with its MHz beside it).
nlohmann::ordered_json ProfileJson(const SettingValues& values);

// Channel n is 2405 + n MHz.
inline int ChannelMHz(int channel) { return 2405 + channel; }
