// Every workflow that shows the port-error dialog because the port could not
// be opened tells its host why, just before the dialog; no other dialog gets
// a reason.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "KvSerialConduit.h"
#include "KvVirtualPort.h"
#include "PortFailureLine.h"
#include "RecorderHost.h"
#include "ResourceIds.h"
#include "StepFailure.h"

namespace {

// A port that another program holds: every opening is refused.
class RefusingPort : public KvVirtualPort {
public:
    bool Open() override { return false; }
    bool SetLine(const KvLineParams&) override { return false; }
    bool SetTimeouts(const KvPortTimeouts&) override { return false; }
    bool WriteByte(std::uint8_t) override { return false; }
    bool ReadByte(std::uint8_t&) override { return false; }
    bool Close() override { return false; }
};

class ReasonHost : public RecorderHost {
public:
    using RecorderHost::RecorderHost;
    void ReportOpenFailure(const KvPortOpenFailure& failure) override {
        log.push_back("reason " + failure.Summary().Bytes());
    }
};

// The reason line, then dialog 136, and no other reason in the log.
void ExpectReasonBeforeOpenError(const std::vector<std::string>& log, const char* workflow) {
    int reasons = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("reason ", 0) != 0) continue;
        ++reasons;
        EXPECT_EQ(log[i], "reason COM9: the simulated module's port is in use or has gone") << workflow;
        ASSERT_LT(i + 1, log.size()) << workflow;
        EXPECT_EQ(log[i + 1], "dialog " + std::to_string(IDD_OPEN_ERROR)) << workflow;
    }
    EXPECT_EQ(reasons, 1) << workflow;
}

}  // namespace

TEST(OpenFailureReport, EveryWorkflowTellsWhyThePortCouldNotBeOpened) {
    KvVirtualPorts::Registration busy("COM9", std::make_shared<RefusingPort>());
    KvClock& clock = SteadyClock();
    using Workflow = void (*)(CVelmoraDoc&);
    const struct {
        const char* name;
        Workflow run;
    } workflows[] = {
        {"scan", [](CVelmoraDoc& doc) { doc.Scan(); }},
        {"read", [](CVelmoraDoc& doc) { doc.ReadSettings(); }},
        {"write", [](CVelmoraDoc& doc) { doc.WriteSettings(false); }},
        {"initialise", [](CVelmoraDoc& doc) { doc.InitializeDevice(); }},
        {"cancel transparent mode", [](CVelmoraDoc& doc) { doc.CancelTransparentMode(); }},
        {"escape", [](CVelmoraDoc& doc) { doc.EscapeTransparentMode(9600, '8', 'N', '1'); }},
    };
    for (const auto& w : workflows) {
        ReasonHost host(clock);
        CVelmoraDoc doc(host);
        doc.SetPortName("COM9");
        // A device found earlier on that port, which another program has taken since.
        doc.device = std::make_unique<KvDevice>();
        auto* conduit = new KvSerialConduit();
        conduit->portName = "COM9";
        conduit->SetLineSettings(9600, '8', 'N', '1');
        conduit->SelectTimeout();
        doc.device->conduit = conduit;
        w.run(doc);
        ExpectReasonBeforeOpenError(host.log, w.name);
    }
}

// The line the desktop programs show under the dialog: the device and the
// system's reason as it came, in the program's own (Japanese) words.
TEST(OpenFailureReport, TheDesktopLineNamesTheDeviceAndKeepsTheSystemsReason) {
    using Cause = KvPortFailure::Cause;
    const struct {
        Cause cause;
        const char *port, *path, *reason, *heldBy, *line;
    } rows[] = {
        {Cause::AccessDenied, "/dev/ttyUSB0", "/dev/ttyUSB0", "Permission denied", "",
         "/dev/ttyUSB0: Permission denied"},
        {Cause::Busy, "COM3", "\\\\.\\COM3", "アクセスが拒否されました。", "minicom (pid 4711)",
         "\\\\.\\COM3 (COM3): アクセスが拒否されました。　使用中のプログラム：minicom (pid 4711)"},
        {Cause::Other, "COM7", "", "", "", "COM7: 開けません"},
        {Cause::Gone, "/dev/ttyUSB0", "/dev/ttyUSB0", "Input/output error", "",
         "/dev/ttyUSB0: 装置が取り外されました（Input/output error）"},
    };
    for (const auto& row : rows) {
        KvPortFailure failure;
        failure.cause = row.cause;
        failure.port = row.port;
        failure.path = row.path;
        failure.osReason = row.reason;
        failure.heldBy = row.heldBy;
        EXPECT_EQ(KvPortFailureLine(failure), row.line);
    }
}

// Line settings the driver refused: the system's reason goes with the failure
// when the platform told it, and none is made up when it did not.
TEST(OpenFailureReport, RefusedLineSettingsCarryTheSystemsReasonWhenThereIsOne) {
    KvPortFailure told;
    told.cause = KvPortFailure::Cause::Other;
    told.port = "COM3";
    told.osCode = 87;
    told.osReason = "The parameter is incorrect.";
    for (const KvPortFailure& why : {told, KvPortFailure{}}) {
        const KvStepFailure failure = KvRunStep([&why] { throw KvConduitConfigException(why); });
        EXPECT_EQ(failure.kind, KvStepFailure::Kind::Link);
        EXPECT_EQ(failure.port.has_value(), why.cause != KvPortFailure::Cause::Unknown);
        if (failure.port) {
            EXPECT_EQ(failure.port->osCode, 87);
        }
    }
}
