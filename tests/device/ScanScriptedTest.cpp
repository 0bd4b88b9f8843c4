#include <gtest/gtest.h>

#include <set>

#include "DeviceRig.h"
#include "ResourceIds.h"
#include "SerialSettings.h"

using std::chrono::milliseconds;

TEST(Scan, SilentPortTriesEveryCandidateAndSpendsItsTimeOuts) {
    ScriptedRig rig;
    rig.Attach();  // an earlier device goes when nothing answers
    EXPECT_FALSE(rig.doc.Scan());

    EXPECT_EQ(rig.clock.Slept(), milliseconds(9240));
    const auto texts = rig.host.ScanTexts();
    ASSERT_EQ(texts.size(), 84u);
    // Every candidate once, in the order of the scan table (checked on its own in the link tests).
    EXPECT_EQ(texts[0], "57600bps, 7bits, none, stop1");
    EXPECT_EQ(texts[83], "1200bps, 8bits, odd, stop2");
    EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), 84u);

    // One probe per attempt, the port opened and closed around each.
    EXPECT_EQ(rig.port->lines.size(), 84u);
    EXPECT_EQ(rig.port->lines.front(), "-MAN\r\n");
    EXPECT_EQ(rig.port->openCount, 84);
    EXPECT_EQ(rig.port->closeCount, 84);
    EXPECT_FALSE(rig.port->isOpen);
    // The last attempt really ran at 1200 baud, 8 bits, odd parity, two stop bits.
    EXPECT_EQ(LineOf(rig.port->line), LineOf({1200, 8, 1, 1, 2}));
    EXPECT_EQ(rig.port->timeouts.readConstant, 240u);

    EXPECT_FALSE(rig.doc.HasDevice());
    const std::vector<std::string> tail(rig.host.log.end() - 3, rig.host.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"message 41453", "destroy 132", "update"}));
    EXPECT_EQ(rig.host.log.front(), "create 132");
    EXPECT_TRUE(rig.host.Dialogs().empty());
    EXPECT_EQ(CurrentScanSettings(), (SerialSettings{57600, '7', 'N', '1'}));
}

TEST(Scan, PortThatCannotBeUsedEndsAtTheFirstAttempt) {
    for (int failure = 0; failure < 2; ++failure) {
        ScriptedRig rig;
        rig.Attach();
        (failure == 0 ? rig.port->failOpen : rig.port->failSetLine) = true;
        EXPECT_FALSE(rig.doc.Scan());
        EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 132", "text 132 57600bps, 7bits, none, stop1",
                                                          "dialog 136", "destroy 132"}));
        EXPECT_FALSE(rig.doc.HasDevice()) << failure;
        EXPECT_FALSE(rig.port->isOpen);
        EXPECT_TRUE(rig.port->written.empty());
    }
}

TEST(Scan, AnswerWithoutSerialNumberCountsAsSilence) {
    ScriptedRig rig;
    // Letters where the digits belong; two bytes and silence; a serial number
    // that a second query does not confirm (an answer come late from the
    // candidate before looks like this); then a module, asked twice. The
    // serial number begins at index 6, whatever stands at 5.
    rig.Answer({"*MAN: ABCDEFGHI\r\n", "ab", "*MAN: 000000001\r\n", "*MAN: 000000002\r\n", "*MAN:1123456789\r\n",
                "*MAN:1123456789\r\n"});
    ASSERT_TRUE(rig.doc.Scan());

    EXPECT_EQ(rig.host.ScanTexts().size(), 4u);
    EXPECT_EQ(rig.doc.device->serialNumber, 123456789u);
    EXPECT_EQ(rig.port->openCount, 4);
    EXPECT_EQ(rig.port->closeCount, 4);
    EXPECT_FALSE(rig.port->isOpen);

    // The found module keeps the candidate that answered; its later commands
    // open and close the port themselves.
    KvSerialConduit* conduit = rig.Conduit();
    ASSERT_NE(conduit, nullptr);
    EXPECT_FALSE(conduit->keepOpen);
    EXPECT_FALSE(conduit->IsOpen());
    EXPECT_EQ(conduit->portName, "COM7");
    EXPECT_EQ(conduit->BaudRate(), 57600u);
    EXPECT_EQ(conduit->Parity(), 2);  // 7E2 is the fourth candidate
    EXPECT_EQ(CurrentScanSettings(), (SerialSettings{57600, '7', 'E', '2'}));
    EXPECT_EQ(rig.host.log.back(), "update");
    EXPECT_TRUE(rig.host.Lines("message").empty());
}

namespace {
// A module that never stops talking: one byte, never CR LF, just before each
// per-byte time-out runs out (the slowest babble that is never cut by it).
class BabblingPort : public KvVirtualPort {
public:
    explicit BabblingPort(KvClock& clock) : clock_(clock) {}
    bool Open() override { return true; }
    bool SetLine(const KvLineParams&) override { return true; }
    bool SetTimeouts(const KvPortTimeouts& t) override {
        if (t.readConstant > readConstant_ || readConstant_ == 0) interval_ = milliseconds(t.readConstant - 1);
        readConstant_ = t.readConstant;
        return true;
    }
    bool WriteByte(std::uint8_t) override { return true; }
    bool ReadByte(std::uint8_t& byte) override {
        if (interval_ > milliseconds(readConstant_)) {
            clock_.SleepFor(milliseconds(readConstant_));
            return false;
        }
        clock_.SleepFor(interval_);
        byte = 'x';
        return true;
    }
    bool Close() override {
        readConstant_ = 0;
        return true;
    }
    KvClock* Clock() override { return &clock_; }

private:
    KvClock& clock_;
    std::uint32_t readConstant_ = 0;
    milliseconds interval_{0};
};
}  // namespace

TEST(Scan, BabblingModuleCostsAtMostThreeSilentScans) {
    KvVirtualClock clock;
    KvVirtualPorts::Registration registration("COM9", std::make_shared<BabblingPort>(clock));
    RecorderHost host(clock);
    CVelmoraDoc doc(host);
    doc.SetPortName("COM9");
    EXPECT_FALSE(doc.Scan());
    EXPECT_EQ(host.ScanTexts().size(), 84u);
    // 9240 ms of time-outs when nothing answers at all.
    EXPECT_LE(clock.Slept(), 3 * milliseconds(9240));
    RecordProperty("babblingScanMs", static_cast<int>(std::chrono::duration_cast<milliseconds>(clock.Slept()).count()));
}
