#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// The settings record the document holds: what the settings window shows and
// edits and what a write sends. Tokens are character codes ('8', 'N', '1', '0'..'2').
struct DeviceSettings {
    std::uint16_t address = 0;
    std::uint8_t frequencyIndex = 0;
    std::int32_t baudRate = 0;
    std::int32_t dataBits = 0;
    std::int32_t parity = 0;
    std::int32_t stopBits = 0;
    std::int32_t pinFunctions[4] = {0, 0, 0, 0};

    bool operator==(const DeviceSettings&) const = default;
};

// A serial number as the program shows it: nine digits, zero-padded ("%09d").
inline std::string FormatSerialNumber(std::uint32_t serialNumber) {
    char text[16];
    std::snprintf(text, sizeof text, "%09u", static_cast<unsigned>(serialNumber));
    return text;
}
