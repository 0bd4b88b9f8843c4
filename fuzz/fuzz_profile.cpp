// The command-line tool's profile parser and its report: any bytes as a
// profile, any bytes as the module's version text and as a port path.
//
// Checked: the parser returns a problem or values that pass the checks of the
// typed options, never throws; a report of any texts is valid UTF-8 JSON that
// reads back (a valid UTF-8 text as it came), and the escaped texts hold no control character and read back
// to the original bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzFail.h"
#include "Output.h"
#include "Profile.h"
#include "Utf8Text.h"
#include "Values.h"

namespace {

// The escaped form read back: \xHH and \\ undone.
std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            Fail("a backslash that is no escape");
        }
    }
    return bytes;
}

void CheckDisplay(const std::string& raw) {
    const std::string shown = DisplayText(raw);
    if (!IsValidUtf8(shown)) Fail("escaped text is not UTF-8");
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) Fail("escaped text holds a control character");
    }
    if (Unescape(shown) != raw) Fail("escaped text does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string version = input.ConsumeRandomLengthString(64);
    const std::string port = input.ConsumeRandomLengthString(64);
    const std::string profile = input.ConsumeRemainingBytesAsString();

    SettingValues values;
    const std::string problem = ParseProfile(profile, values);
    if (problem.empty()) {
        DeviceSettings record;
        record.baudRate = 9600;
        record.dataBits = '8';
        record.parity = 'N';
        record.stopBits = '1';
        for (std::int32_t& pin : record.pinFunctions) pin = '0';
        values.ApplyTo(record);
        if (!CheckRecord(record, true).empty()) Fail("a profile's values fail the checks of typed values");
    }

    CheckDisplay(version);
    CheckDisplay(port);
    ModuleReport report;
    report.version = version;
    report.baudRate = 9600;
    report.dataBits = '8';
    report.parity = 'N';
    report.stopBits = '1';
    for (int& pin : report.pins) pin = '0';
    const std::string json = JsonText(ReportJson(report), 2);
    const nlohmann::json back = nlohmann::json::parse(json, nullptr, false);
    const std::string expected = IsValidUtf8(version) ? version : DisplayText(version);
    if (back.is_discarded() || back["version"] != expected) Fail("the report does not read back");
    // What read --json printed, write --from takes.
    SettingValues again;
    if (!ParseProfile(json, again).empty()) Fail("a report is no profile");
    return 0;
}
