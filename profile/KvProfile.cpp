#include "KvProfile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

#include "KvDevice.h"
#include "SerialSettings.h"

namespace {

// A plain decimal number: digits only, no sign, no blanks.
bool ReadNumber(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 12) return false;
    if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string ParseRange(const std::string& text, int low, int high, int& out) {
    long long value = 0;
    const std::string range = std::to_string(low) + "-" + std::to_string(high);
    if (!ReadNumber(text, value)) return "'" + text + "' is not a number (" + range + ")";
    if (value < low || value > high) return text + " is out of range (" + range + ")";
    out = static_cast<int>(value);
    return "";
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Integers of a profile go through the same checks as the options.
std::string JsonNumberText(const nlohmann::json& value, std::string& text) {
    if (!value.is_number_integer()) return "must be a whole number";
    text = value.is_number_unsigned() ? std::to_string(value.get<std::uint64_t>())
                                      : std::to_string(value.get<std::int64_t>());
    return "";
}

}  // namespace

bool SettingValues::Empty() const {
    return !address && !channel && !baudRate && !dataBits && !parity && !stopBits && !pins;
}

void SettingValues::Overlay(const SettingValues& over) {
    if (over.address) address = over.address;
    if (over.channel) channel = over.channel;
    if (over.baudRate) baudRate = over.baudRate;
    if (over.dataBits) dataBits = over.dataBits;
    if (over.parity) parity = over.parity;
    if (over.stopBits) stopBits = over.stopBits;
    if (over.pins) pins = over.pins;
}

void SettingValues::ApplyTo(DeviceSettings& record) const {
    if (address) record.address = static_cast<std::uint16_t>(*address);
    if (channel) record.frequencyIndex = static_cast<std::uint8_t>(*channel);
    if (baudRate) record.baudRate = *baudRate;
    if (dataBits) record.dataBits = *dataBits;
    if (parity) record.parity = *parity;
    if (stopBits) record.stopBits = *stopBits;
    if (pins) {
        for (int i = 0; i < 4; ++i) record.pinFunctions[i] = (*pins)[static_cast<std::size_t>(i)];
    }
}

std::string ParseAddress(const std::string& text, int& out) { return ParseRange(text, 0, KvDevice::kLastAddress, out); }

std::string ParseChannel(const std::string& text, int& out) { return ParseRange(text, 0, KvDevice::kLastChannel, out); }

std::string ParseBaudRate(const std::string& text, int& out) {
    long long value = 0;
    if (ReadNumber(text, value)) {
        for (const std::int32_t rate : kUserBaudRates) {
            if (value == rate) {
                out = rate;
                return "";
            }
        }
    }
    return "'" + text + "' is not a baud rate (1200, 2400, 4800, 9600, 19200, 38400 or 57600)";
}

std::string ParseDataBits(const std::string& text, int& out) {
    if (text == "7" || text == "8") {
        out = text[0];
        return "";
    }
    return "'" + text + "' is not a data-bit count (7 or 8)";
}

std::string ParseParity(const std::string& text, int& out) {
    const std::string token = Upper(text);
    if (token == "N" || token == "E" || token == "O") {
        out = token[0];
        return "";
    }
    return "'" + text + "' is not a parity (N none, E even, O odd)";
}

std::string ParseStopBits(const std::string& text, int& out) {
    if (text == "1" || text == "2") {
        out = text[0];
        return "";
    }
    return "'" + text + "' is not a stop-bit count (1 or 2)";
}

std::string ParsePins(const std::string& text, std::string& out) {
    static const char* const kPairs[] = {"I/O 1-2", "I/O 3-4", "I/O 5-6", "I/O 7-8"};
    if (text.size() != 4 || text.find_first_not_of("012") != std::string::npos) {
        return "'" + text +
               "' is not four pin functions, one digit per pair I/O 1-2, 3-4, 5-6, 7-8 "
               "(0 digital input, 1 digital output, 2 analog input)";
    }
    for (std::size_t i = 2; i < 4; ++i) {
        if (text[i] == '2') return std::string(kPairs[i]) + " cannot be an analog input (2): only I/O 1-2 and 3-4 can";
    }
    out = text;
    return "";
}

std::string ParseLine(const std::string& text, int& baud, int& dataBits, int& parity, int& stopBits) {
    std::string parts[4];
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) {
            return "'" + text + "' is not BAUD,DATABITS,PARITY,STOPBITS (e.g. 9600,8,N,1)";
        }
        parts[i] = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma + 1;
    }
    std::string problem = ParseBaudRate(parts[0], baud);
    if (problem.empty()) problem = ParseDataBits(parts[1], dataBits);
    if (problem.empty()) problem = ParseParity(parts[2], parity);
    if (problem.empty()) problem = ParseStopBits(parts[3], stopBits);
    return problem;
}

std::string ProfileValues(const nlohmann::json& profile, SettingValues& out) {
    if (!profile.is_object()) return "the profile is not a JSON object";
    SettingValues values;
    std::optional<int> mhz;
    for (const auto& [key, value] : profile.items()) {
        std::string problem;
        std::string text;
        int number = 0;
        if (key == "address" || key == "channel" || key == "channelMHz" || key == "baudRate" || key == "dataBits" ||
            key == "stopBits") {
            problem = JsonNumberText(value, text);
            if (problem.empty()) {
                if (key == "address") {
                    problem = ParseAddress(text, number);
                    values.address = number;
                } else if (key == "channel") {
                    problem = ParseChannel(text, number);
                    values.channel = number;
                } else if (key == "channelMHz") {
                    problem = ParseRange(text, ChannelMHz(0), ChannelMHz(KvDevice::kLastChannel), number);
                    mhz = number;
                } else if (key == "baudRate") {
                    problem = ParseBaudRate(text, number);
                    values.baudRate = number;
                } else if (key == "dataBits") {
                    problem = ParseDataBits(text, number);
                    values.dataBits = number;
                } else {
                    problem = ParseStopBits(text, number);
                    values.stopBits = number;
                }
            }
        } else if (key == "parity" || key == "pins") {
            if (!value.is_string()) {
                problem = "must be a string";
            } else if (key == "parity") {
                problem = ParseParity(value.get<std::string>(), number);
                values.parity = number;
            } else {
                problem = ParsePins(value.get<std::string>(), text);
                values.pins = text;
            }
        } else if (key == "format") {
            problem = JsonNumberText(value, text);
            if (problem.empty() && text != std::to_string(kProfileFormat)) {
                problem = text + " is not a profile format this tarnik reads (" + std::to_string(kProfileFormat) + ")";
            }
        } else if (key == "serialNumber" || key == "version" || key == "runningMode" || key == "storedMode" ||
                   key == "pinsFixed" || key == "addressLocked") {
            // Describes the module the profile was read from; a write leaves it alone.
        } else {
            problem = "unknown field";
        }
        if (!problem.empty()) return key + ": " + problem;
    }
    if (mhz) {
        if (!values.channel) {
            values.channel = *mhz - ChannelMHz(0);
        } else if (ChannelMHz(*values.channel) != *mhz) {
            return "channelMHz: " + std::to_string(*mhz) + " does not match channel " +
                   std::to_string(*values.channel) + " (" + std::to_string(ChannelMHz(*values.channel)) + " MHz)";
        }
    }
    out = values;
    return "";
}

nlohmann::ordered_json ProfileJson(const SettingValues& values) {
    nlohmann::ordered_json j;
    j["format"] = kProfileFormat;
    if (values.address) j["address"] = *values.address;
    if (values.channel) {
        j["channel"] = *values.channel;
        j["channelMHz"] = ChannelMHz(*values.channel);
    }
    if (values.baudRate) j["baudRate"] = *values.baudRate;
    if (values.dataBits) j["dataBits"] = *values.dataBits - '0';
    if (values.parity) j["parity"] = std::string(1, static_cast<char>(*values.parity));
    if (values.stopBits) j["stopBits"] = *values.stopBits - '0';
    if (values.pins) j["pins"] = *values.pins;
    return j;
}
