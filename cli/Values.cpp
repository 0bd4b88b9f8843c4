#include "Values.h"

#include "DialogTexts.h"
#include "Language.h"
#include "ResourceIds.h"

namespace {

const char* ParityText(int parity) {
    switch (parity) {
    case 'N': return Tr("none");
    case 'E': return Tr("even");
    case 'O': return Tr("odd");
    default: return "?";
    }
}

const char* PinFunctionText(int function) {
    switch (function) {
    case '0': return Tr("digital input");
    case '1': return Tr("digital output");
    case '2': return Tr("analog input");
    default: return "?";
    }
}

// A token of the record (a character code) as the text a user would type.
std::string TokenText(std::int32_t token) {
    if (token < 0 || token > 0xFF) return std::to_string(token);
    return std::string(1, static_cast<char>(token));
}

}  // namespace

std::string CheckRecord(const DeviceSettings& record, bool withPins) {
    int number = 0;
    std::string problem = ParseAddress(std::to_string(record.address), number);
    if (!problem.empty()) return "--address: " + problem;
    problem = ParseChannel(std::to_string(record.frequencyIndex), number);
    if (!problem.empty()) return "--channel: " + problem;
    problem = ParseBaudRate(std::to_string(record.baudRate), number);
    if (!problem.empty()) return "--baud: " + problem;
    problem = ParseDataBits(TokenText(record.dataBits), number);
    if (!problem.empty()) return "--data-bits: " + problem;
    // The parity check takes lower case; the module's token must be the letter itself.
    problem = ParseParity(TokenText(record.parity), number);
    if (problem.empty() && number != record.parity) {
        problem.assign(1, '\'');
        problem += TokenText(record.parity);
        problem += "' is not a parity (N none, E even, O odd)";
    }
    if (!problem.empty()) return "--parity: " + problem;
    problem = ParseStopBits(TokenText(record.stopBits), number);
    if (!problem.empty()) return "--stop-bits: " + problem;
    if (withPins) {
        std::string pins;
        for (const std::int32_t pin : record.pinFunctions) pins += TokenText(pin);
        std::string parsed;
        problem = ParsePins(pins, parsed);
        if (!problem.empty()) return "--pins: " + problem;
    }
    return "";
}

std::string ModuleReport::PinText() const {
    std::string text;
    for (const int pin : pins) text += static_cast<char>(pin);
    return text;
}

nlohmann::ordered_json ReportJson(const ModuleReport& report) {
    nlohmann::ordered_json j;
    j["format"] = kProfileFormat;
    j["serialNumber"] = report.serialNumber;
    j["version"] = report.version;
    j["runningMode"] = report.runningMode;
    j["storedMode"] = report.storedMode;
    j["address"] = report.address;
    j["addressLocked"] = report.addressLocked;
    j["channel"] = report.channel;
    j["channelMHz"] = ChannelMHz(report.channel);
    j["baudRate"] = report.baudRate;
    j["dataBits"] = report.dataBits - '0';
    j["parity"] = std::string(1, static_cast<char>(report.parity));
    j["stopBits"] = report.stopBits - '0';
    j["pins"] = report.PinText();
    j["pinsFixed"] = report.pinsFixed;
    return j;
}

std::string ReportText(const ModuleReport& report) {
    // One "label: value" a line, in plain ASCII punctuation for grep and cut.
    std::string text;
    text += TrFormat("Serial number: %s", FormatSerialNumber(report.serialNumber).c_str()) + "\n";
    text += TrFormat("Version: %s", report.version.c_str()) + "\n";
    text += TrFormat("Frequency: %d MHz (channel %d)", static_cast<int>(ChannelMHz(report.channel)),
                     static_cast<int>(report.channel)) +
            "\n";
    text += TrFormat("Address: %d", static_cast<int>(report.address)) + "\n";
    text += TrFormat("Baud rate: %d bps", static_cast<int>(report.baudRate)) + "\n";
    text += TrFormat("Data bits: %c", static_cast<char>(report.dataBits)) + "\n";
    text += TrFormat("Parity: %s", ParityText(report.parity)) + "\n";
    text += TrFormat("Stop bits: %c", static_cast<char>(report.stopBits)) + "\n";
    static const char* const kPairs[] = {"1-2", "3-4", "5-6", "7-8"};
    for (int i = 0; i < 4; ++i) text += TrFormat("I/O %s: %s", kPairs[i], PinFunctionText(report.pins[i])) + "\n";
    // The two notes of the settings window.
    if (report.storedMode == 1) text += std::string(Tr(CliMessage(IDS_MODE_MASTER))) + "\n";
    if (report.storedMode == 2) text += std::string(Tr(CliMessage(IDS_MODE_SLAVE))) + "\n";
    if (report.pinsFixed) {
        text += std::string(Tr(CliMessage(IDS_PINS_FIXED_MODEL))) + "\n";
    } else if (report.storedMode == 1 || report.storedMode == 2) {
        text += std::string(Tr(CliMessage(IDS_PINS_LOCKED_TRANSPARENT))) + "\n";
    }
    return text;
}
