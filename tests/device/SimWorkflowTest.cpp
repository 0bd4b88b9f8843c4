// The workflows against the simulated module on the virtual clock: the module
// hears only what reaches it at its own line settings.
#include <gtest/gtest.h>

#include "ResourceIds.h"
#include "SimRig.h"

using std::chrono::milliseconds;
using tarnik::sim::LineSettings;
using tarnik::sim::ModuleConfig;

namespace {
ModuleConfig At(std::uint32_t baud, char dataBits, char parity, char stopBits) {
    ModuleConfig config;
    config.line = LineSettings{baud, dataBits, parity, stopBits};
    return config;
}
}  // namespace

TEST(SimScan, FindsTheModuleAtItsCandidate) {
    struct Case {
        ModuleConfig config;
        std::size_t attempt;
        const char* text;
    } cases[] = {{At(57600, '7', 'N', '1'), 1, "57600bps, 7bits, none, stop1"},
                 {At(9600, '8', 'N', '1'), 43, "9600bps, 8bits, none, stop1"},
                 {At(1200, '8', 'O', '2'), 84, "1200bps, 8bits, odd, stop2"}};
    for (auto& c : cases) {
        c.config.serialNumber = 4242;
        SimRig rig(c.config);
        ASSERT_TRUE(rig.doc.Scan()) << c.text;
        const auto texts = rig.host.ScanTexts();
        EXPECT_EQ(texts.size(), c.attempt);
        EXPECT_EQ(texts.back(), c.text);
        EXPECT_EQ(rig.doc.device->serialNumber, 4242u);
        // Only the last attempt reached the module, which was asked twice; the
        // others were noise to it.
        EXPECT_EQ(rig.Requests(), (std::vector<std::string>{"-MAN\r\n", "-MAN\r\n"}));
        EXPECT_FALSE(rig.sim.port().IsOpen());

        // The read that follows talks at the found settings.
        rig.doc.ReadSettings();
        EXPECT_TRUE(rig.host.Dialogs().empty()) << c.text;
        EXPECT_EQ(rig.doc.GetBaudRate(), static_cast<int>(c.config.line.baud));
        EXPECT_EQ(rig.doc.GetParity(), c.config.line.parity);
    }
}

TEST(SimReadSettings, FixedPinsAndPendingTransparentMode) {
    ModuleConfig config = At(19200, '8', 'E', '1');
    config.fixedPins = true;
    SimRig rig(config);
    rig.module().MutableStored().mode = 2;  // slave after the next power-up
    rig.module().MutableRunning().pins[0] = '2';
    ASSERT_TRUE(rig.doc.Scan());
    const std::size_t before = rig.module().Log().size();
    rig.doc.ReadSettings();

    EXPECT_EQ(rig.Requests(before),
              (std::vector<std::string>{"-VER\r\n", "-MOD\r\n", "-SAD\r\n", "-PAD\r\n", "-PAN\r\n", "-FRQ\r\n",
                                        "-RTY\r\n", "-LED\r\n", "-SCI\r\n", "-PFC\r\n", "-PFC:2000\r\n"}));
    EXPECT_TRUE(rig.doc.pinFunctionsFixed);
    EXPECT_TRUE(rig.doc.addressLocked);
    EXPECT_EQ(rig.doc.GetOperatingMode(false), 0);
    EXPECT_EQ(rig.doc.GetOperatingMode(true), 2);
    EXPECT_EQ(rig.doc.GetPinFunction(0), '2');
    EXPECT_EQ(rig.doc.GetSerialNumber(), 123456789u);
    EXPECT_TRUE(rig.host.Dialogs().empty());

    // A fixed-pin model is written without its pins.
    rig.doc.CacheRunningSettings();
    rig.host.Clear();
    const std::size_t writeStart = rig.module().Log().size();
    bool written = false;
    rig.doc.WriteSettings(false, &written);
    EXPECT_TRUE(written);
    EXPECT_EQ(rig.Requests(writeStart), (std::vector<std::string>{"+SAD:0\r\n", "+FRQ:0\r\n", "+SCI:19200,8,E,1\r\n"}));
}

TEST(SimWriteSettings, BaudChangeIsFollowedAndReadBack) {
    SimRig rig(At(9600, '8', 'N', '1'));
    rig.FindAndRead();
    rig.doc.settings.baudRate = 38400;
    rig.doc.settings.frequencyIndex = 12;
    rig.doc.settings.pinFunctions[1] = '2';
    std::uint32_t baudAtDialog = 0;
    rig.host.onDialog = [&](int) {
        baudAtDialog = dynamic_cast<KvSerialConduit&>(*rig.doc.device->conduit).BaudRate();
    };
    const std::size_t writeStart = rig.module().Log().size();

    ASSERT_TRUE(rig.doc.WriteSettings(true));
    EXPECT_EQ(baudAtDialog, 38400u);
    const auto sent = rig.Requests(writeStart);
    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent.front(), "+SAD:0\r\n");
    EXPECT_EQ(sent[1], "+FRQ:12\r\n");
    EXPECT_EQ(sent.back(), "+SCI:38400,8,N,1\r\n");
    EXPECT_EQ(rig.module().Log().back().answer.empty(), false);  // answered at 9600

    rig.doc.ReadSettings();
    EXPECT_TRUE(rig.host.Lines("dialog 13").empty());
    EXPECT_EQ(rig.sim.port().LastLine().baudRate, 38400u);
    EXPECT_EQ(rig.doc.GetBaudRate(), 38400);
    EXPECT_EQ(rig.doc.GetFrequencyIndex(), 12);
    EXPECT_EQ(rig.doc.GetPinFunction(1), '2');
    EXPECT_EQ(rig.module().Stored().line.baud, 38400u);
}

TEST(SimInitialize, ModuleAt38400ComesBackAt9600) {
    ModuleConfig config = At(38400, '7', 'O', '2');
    config.restartTime = milliseconds(1100);
    SimRig rig(config);
    rig.module().MutableRunning().address = rig.module().MutableStored().address = 300;
    rig.FindAndRead();
    EXPECT_EQ(rig.doc.GetAddress(), 300);

    ASSERT_TRUE(rig.doc.InitializeDevice());
    EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 147", "sleep 1200", "destroy 147"}));
    rig.doc.ReadSettings();
    EXPECT_TRUE(rig.host.Dialogs().empty());
    EXPECT_TRUE(rig.doc.HasDevice());
    EXPECT_EQ(rig.doc.GetAddress(), 0);
    EXPECT_EQ(rig.doc.GetBaudRate(), 9600);
    EXPECT_EQ(rig.doc.GetDataBits(), '8');
    EXPECT_EQ(rig.sim.port().LastLine().parity, 0);
}

TEST(SimTransparentMode, MasterThenCancel) {
    SimRig rig(At(9600, '8', 'N', '1'));
    for (auto* bank : {&rig.module().MutableRunning(), &rig.module().MutableStored()}) {
        bank->address = 25;
        bank->partnerAddress = 7;
        bank->frequency = 3;
    }
    rig.FindAndRead();
    const std::size_t start = rig.module().Log().size();
    rig.doc.SetTransparentMaster();

    // The record (address, channel, four pin pairs, line settings), then the mode and its forced values.
    const auto sent = rig.Requests(start);
    ASSERT_GE(sent.size(), 15u);
    EXPECT_EQ(std::vector(sent.begin(), sent.begin() + 3),
              (std::vector<std::string>{"+SAD:25\r\n", "+FRQ:3\r\n", "@PFC:0000\r\n"}));
    EXPECT_EQ(std::vector(sent.begin() + 10, sent.begin() + 15),
              (std::vector<std::string>{"+SCI:9600,8,N,1\r\n", "@MOD:1\r\n", "+SAD:0\r\n", "+PAD:1\r\n", "-VER\r\n"}));
    EXPECT_EQ(rig.host.Dialogs(), std::vector<int>{IDD_MASTER_MODE});
    EXPECT_TRUE(rig.doc.addressLocked);
    EXPECT_EQ(rig.doc.GetAddress(), 0);
    EXPECT_EQ(rig.doc.GetOperatingMode(true), 1);
    EXPECT_EQ(rig.module().Running().mode, 0);
    EXPECT_EQ(rig.module().Stored().partnerAddress, 1);

    rig.host.Clear();
    const std::size_t cancelStart = rig.module().Log().size();
    rig.doc.CancelTransparentMode();
    const auto cancel = rig.Requests(cancelStart);
    ASSERT_FALSE(cancel.empty());
    EXPECT_EQ(cancel[0], "@MOD:0\r\n");
    EXPECT_EQ(cancel[1], "-VER\r\n");
    EXPECT_FALSE(rig.doc.addressLocked);
    EXPECT_EQ(rig.module().Stored().mode, 0);
    EXPECT_EQ(rig.module().Stored().address, 0);  // the forced address stays
    EXPECT_EQ(rig.module().Stored().partnerAddress, 1);
}

TEST(SimEscape, OnlyInsideTheWindowAfterPowerUp) {
    ModuleConfig config = At(19200, '8', 'E', '1');
    config.storedMode = 1;  // powered up as transparent master
    config.serialNumber = 31337;

    SimRig early(config);
    ASSERT_TRUE(early.module().Transparent());
    EXPECT_TRUE(early.doc.EscapeTransparentMode(19200, '8', 'E', '1'));
    EXPECT_FALSE(early.module().Transparent());
    EXPECT_EQ(early.doc.device->serialNumber, 31337u);
    EXPECT_EQ(early.host.log, (std::vector<std::string>{"create 153", "destroy 153"}));
    early.doc.ReadSettings();
    EXPECT_TRUE(early.host.Dialogs().empty());
    EXPECT_EQ(early.doc.GetOperatingMode(true), 0);

    SimRig late(config);
    late.clock.SleepFor(std::chrono::seconds(31));
    EXPECT_FALSE(late.doc.EscapeTransparentMode(19200, '8', 'E', '1'));
    EXPECT_TRUE(late.doc.HasDevice());  // stays, so the Tools commands become available
    EXPECT_EQ(late.doc.device->serialNumber, 0u);
    EXPECT_TRUE(late.host.Dialogs().empty());
    EXPECT_TRUE(late.module().Transparent());
    // The user power-cycles the module and retries in time.
    late.module().PowerCycle();
    EXPECT_TRUE(late.doc.EscapeTransparentMode(19200, '8', 'E', '1'));
    EXPECT_EQ(late.doc.device->serialNumber, 31337u);
}
