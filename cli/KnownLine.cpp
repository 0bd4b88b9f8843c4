#include "KnownLine.h"

#include <memory>
#include <utility>

#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "StepFailure.h"

namespace {

// One attempt at `line`, as a step of the search makes it, the port held for
// both queries; the serial number when a module answered with one.
std::optional<std::uint32_t> Probe(KvSerialConduit& conduit, const SerialSettings& line) {
    conduit.SetLineSettings(static_cast<std::uint32_t>(line.baudRate), line.dataBits, line.parity, line.stopBits);
    conduit.SelectTimeout();
    conduit.keepOpen = true;
    std::optional<std::uint32_t> serial;
    // The port failed: the search decides and reports.
    (void)KvRunStep([&] {
        conduit.Open();
        serial = CVelmoraDoc::ProbeSerialNumber(conduit);
    });
    conduit.Close();
    conduit.keepOpen = false;
    return serial;
}

}  // namespace

FoundModule FindModuleTryingLine(CVelmoraDoc& doc, WorkflowHost& host, const std::optional<SerialSettings>& line) {
    return FindModuleTryingLines(doc, host, line ? std::vector<SerialSettings>{*line} : std::vector<SerialSettings>{});
}

FoundModule FindModuleTryingLines(CVelmoraDoc& doc, WorkflowHost& host, const std::vector<SerialSettings>& lines) {
    FoundModule result;
    for (const SerialSettings& line : lines) {
        auto conduit = std::make_unique<KvSerialConduit>();
        conduit->portName = doc.GetPortName();
        if (const std::optional<std::uint32_t> serial = Probe(*conduit, line)) {
            auto device = std::make_unique<KvDevice>();
            device->serialNumber = *serial;
            device->conduit = conduit.release();
            doc.device = std::move(device);
            host.UpdateAllViews();
            result.found = true;
            result.atGivenLine = true;
            result.line = line;
            return result;
        }
    }
    result.found = doc.Scan();
    // A successful search stays on the candidate that answered.
    if (result.found) result.line = CurrentScanSettings();
    return result;
}
