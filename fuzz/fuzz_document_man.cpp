// The document's own reading of the MAN answer in the search and in the
// escape: arbitrary answer lines (cut, overlong, NUL, non-digits) at every
// candidate, then as the answers to the escape's two lines.
//
// Checked: nothing but a true or false comes out (no exception, no crash);
// a search finds a module only at a candidate that answered, with the number
// its answer carries from index 6; the port is closed and out of hold mode
// afterwards; a failed escape keeps the serial number it had.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "CVelmoraDoc.h"
#include "FuzzFail.h"
#include "KvClock.h"
#include "KvVirtualPort.h"
#include "RecorderHost.h"
#include "ScriptedPort.h"

namespace {

constexpr char kPortName[] = "FUZZ-DOC";

// What ToLong reads from the text: optional blanks, a sign, digits.
bool ReadsAsNumber(const std::string& text, long& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    value = std::strtol(start, &end, 10);
    return end != start && (end[-1] >= '0' && end[-1] <= '9');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    KvVirtualClock clock;
    auto port = std::make_shared<ScriptedPort>(clock);
    KvVirtualPorts::Registration registration(kPortName, port);
    RecorderHost host(clock);  // every dialog answered with OK
    CVelmoraDoc doc(host);
    doc.SetPortName(kPortName);

    const int silentBefore = input.ConsumeIntegralInRange(0, 83);
    for (int i = 0; i < silentBefore; ++i) port->answers.emplace_back("");
    const std::string answer = input.ConsumeRandomLengthString(300);
    port->answers.push_back(answer);
    const std::string mode = input.ConsumeRandomLengthString(40);
    const std::string man = input.ConsumeRemainingBytesAsString();

    const bool found = doc.Scan();
    if (port->isOpen) Fail("the search left the port open");
    if (found) {
        auto* conduit = dynamic_cast<KvSerialConduit*>(doc.device->conduit);
        if (!conduit || conduit->keepOpen || conduit->IsOpen()) Fail("the found module's conduit is held");
    }
    // Found at the candidate that answered (bytes left over from a longer
    // answer may answer a later one): the number its line carries from index 6.
    if (found && static_cast<int>(host.ScanTexts().size()) == silentBefore + 1) {
        std::string line = answer.substr(0, answer.find('\0'));
        if (line.size() > 254) line.resize(254);
        const std::size_t end = line.find("\r\n");
        if (end != std::string::npos) line.resize(end + 2);
        long value = 0;
        if (line.size() < 7 || !ReadsAsNumber(line.substr(6), value)) Fail("found without a serial number");
        if (value >= INT32_MIN && value <= INT32_MAX && doc.device->serialNumber != static_cast<std::uint32_t>(value)) {
            Fail("wrong serial number");
        }
    }

    port->answers.clear();
    port->answers.push_back(mode);
    port->answers.push_back(man);
    const std::uint32_t before = doc.device ? doc.device->serialNumber : 0;
    const bool escaped = doc.EscapeTransparentMode(9600, '8', 'N', '1');
    if (!doc.device) Fail("the escape left no device");
    if (port->isOpen) Fail("the escape left the port open");
    if (!escaped && doc.device->serialNumber != before) Fail("a failed escape changed the serial number");
    return 0;
}
