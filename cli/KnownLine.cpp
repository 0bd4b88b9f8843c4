#include "KnownLine.h"

#include <memory>
#include <utility>

#include "KvExceptions.h"
#include "KvSerialConduit.h"

namespace {

// The probe of a search step: the module's serial number.
const char kManQuery[] = "-MAN\r\n";

// One attempt at `line`; the serial number when a module answered with one.
std::optional<std::uint32_t> Probe(KvSerialConduit& conduit, const SerialSettings& line) {
    conduit.SetLineSettings(static_cast<std::uint32_t>(line.baudRate), line.dataBits, line.parity, line.stopBits);
    conduit.SelectTimeout();
    try {
        const KvString answer = conduit.Transact(kManQuery);
        return static_cast<std::uint32_t>(answer.Substring(6).ToLong());
    } catch (const KvException&) {
        // Silent, refused or the port failed: the search decides and reports.
    } catch (const KvStringException&) {
        // No number where the serial number belongs: not a module at this setting.
    }
    return std::nullopt;
}

}  // namespace

FoundModule FindModuleTryingLine(CVelmoraDoc& doc, WorkflowHost& host, const std::optional<SerialSettings>& line) {
    FoundModule result;
    if (line) {
        auto conduit = std::make_unique<KvSerialConduit>();
        conduit->portName = doc.GetPortName();
        if (const std::optional<std::uint32_t> serial = Probe(*conduit, *line)) {
            auto device = std::make_unique<KvDevice>();
            device->serialNumber = *serial;
            device->conduit = conduit.release();
            doc.device = std::move(device);
            host.UpdateAllViews();
            result.found = true;
            result.atGivenLine = true;
            result.line = *line;
            return result;
        }
    }
    result.found = doc.Scan();
    // A successful search stays on the candidate that answered.
    if (result.found) result.line = CurrentScanSettings();
    return result;
}
