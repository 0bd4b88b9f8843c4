#include <gtest/gtest.h>

#include "DeviceRig.h"
#include "ResourceIds.h"

using std::chrono::milliseconds;

TEST(InitializeDevice, SwitchesToFactoryLineAndWaitsForTheRestart) {
    ScriptedRig rig;
    KvSerialConduit& conduit = rig.Attach(38400, '7', 'E', '2');
    rig.Answer({"*INI: OK\r\n"});
    EXPECT_TRUE(rig.doc.InitializeDevice());
    EXPECT_EQ(rig.port->lines, (std::vector<std::string>{"-INI\r\n"}));
    EXPECT_EQ(rig.port->line.baudRate, 38400u);  // INI itself went out at the old settings
    EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 147", "sleep 1200", "destroy 147"}));
    EXPECT_EQ(rig.clock.Slept(), milliseconds(1200));
    EXPECT_EQ(conduit.BaudRate(), 9600u);
    EXPECT_EQ(conduit.ByteSize(), 8);
    EXPECT_EQ(conduit.Parity(), 0);
    EXPECT_EQ(conduit.StopBits(), 0);
    EXPECT_EQ(conduit.TimeoutMs(), 70u);
}

TEST(InitializeDevice, FailureClosesThePopupBeforeItsDialog) {
    struct Case {
        const char* answer;  // nullptr: the port cannot be opened
        int dialog;
    } cases[] = {{"*NAK:01\r\n", IDD_SET_ERROR},
                 {"", IDD_SET_ERROR},
                 {"ok\r", IDD_SET_ERROR},
                 {"*NAK:zz\r\n", IDD_SET_ERROR},
                 {nullptr, IDD_OPEN_ERROR}};
    for (const Case& c : cases) {
        ScriptedRig rig;
        KvSerialConduit& conduit = rig.Attach(38400);
        if (c.answer)
            rig.Answer({c.answer});
        else
            rig.port->failOpen = true;
        EXPECT_FALSE(rig.doc.InitializeDevice());
        EXPECT_EQ(rig.host.log,
                  (std::vector<std::string>{"create 147", "destroy 147", "dialog " + std::to_string(c.dialog)}));
        EXPECT_EQ(conduit.BaudRate(), 38400u);
        EXPECT_TRUE(rig.doc.HasDevice());
        EXPECT_FALSE(rig.port->isOpen);
    }
    ScriptedRig none;
    EXPECT_FALSE(none.doc.InitializeDevice());
    EXPECT_TRUE(none.host.log.empty());
}

TEST(TransparentMode, FailedWriteStillSendsTheModeThenReloads) {
    struct Case {
        bool master;
        std::vector<std::string> modeLines;  // stored mode, own address, partner address
        int dialog;
    } cases[] = {{true, {"@MOD:1\r\n", "+SAD:0\r\n", "+PAD:1\r\n"}, IDD_MASTER_MODE},
                 {false, {"@MOD:2\r\n", "+SAD:1\r\n", "+PAD:0\r\n"}, IDD_SLAVE_MODE}};
    for (const Case& c : cases) {
        ScriptedRig rig;
        rig.Attach();
        FillRecord(rig.doc);
        rig.doc.pinFunctionsFixed = true;
        rig.Answer({"", "*MOD: 0/1\r\n", "*SAD: 0/0\r\n", "*PAD: 1/1\r\n"});
        for (const char* answer : kReadAllAnswers) rig.Answer({answer});
        rig.Answer({"*NAK:03\r\n"});
        if (c.master)
            rig.doc.SetTransparentMaster();
        else
            rig.doc.SetTransparentSlave();

        ASSERT_GE(rig.port->lines.size(), 5u) << c.master;
        const std::vector<std::string> head(rig.port->lines.begin(), rig.port->lines.begin() + 5);
        std::vector<std::string> expected{"+SAD:25\r\n"};
        expected.insert(expected.end(), c.modeLines.begin(), c.modeLines.end());
        expected.emplace_back("-VER\r\n");
        EXPECT_EQ(head, expected);
        EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{c.dialog, IDD_SET_ERROR}));
        EXPECT_EQ(rig.host.log.back(), "update");
        EXPECT_TRUE(rig.doc.HasDevice());
    }
}

TEST(TransparentMode, RejectedModeCommandEndsWithoutReload) {
    ScriptedRig rig;
    rig.Attach();
    FillRecord(rig.doc);
    rig.doc.pinFunctionsFixed = true;
    rig.Answer({"*~: 0/0\r\n", "*~: 0/0\r\n", "*~: 0/0\r\n", "*MOD: 0/2\r\n", "*NAK:03\r\n"});
    rig.doc.SetTransparentSlave();
    ASSERT_EQ(rig.port->lines.size(), 5u);  // SAD, FRQ, SCI, @MOD:2, +SAD:1; no PAD
    EXPECT_EQ(rig.port->lines[3], "@MOD:2\r\n");
    EXPECT_EQ(rig.port->lines[4], "+SAD:1\r\n");
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_SLAVE_MODE, IDD_SET_ERROR}));
    EXPECT_TRUE(rig.host.Lines("create 145").empty());
    EXPECT_FALSE(rig.port->isOpen);

    // Declined confirmations send nothing.
    for (int which = 0; which < 3; ++which) {
        ScriptedRig declined;
        declined.Attach();
        declined.host.dialogAnswers = {IDCANCEL};
        if (which == 0) declined.doc.SetTransparentMaster();
        if (which == 1) declined.doc.SetTransparentSlave();
        if (which == 2) declined.doc.CancelTransparentMode();
        EXPECT_EQ(declined.host.Dialogs().size(), 1u);
        EXPECT_TRUE(declined.port->written.empty());
    }
}

namespace {
const std::string kEscapeBytes = std::string("\x02\x03") + "Tovenk" + "\x03\x02";
}

TEST(Escape, AnsweredEscapeCreatesTheDeviceAndTakesTheSerialNumber) {
    // Without a device, and with one found earlier on another port at other settings.
    for (const bool earlierDevice : {false, true}) {
        ScriptedRig rig("COM9");
        if (earlierDevice) {
            rig.Attach(38400, '8', 'E', '1').portName = "COM3";
            rig.doc.device->serialNumber = 555;
        }
        // Any line answers the mode line; the serial number begins at index 6, whatever stands at 5.
        rig.Answer({"*NAK:01\r\n", "*MAN:1000000777\r\n"});
        EXPECT_TRUE(rig.doc.EscapeTransparentMode(19200, '7', 'O', '2')) << earlierDevice;
        ASSERT_TRUE(rig.doc.HasDevice());
        EXPECT_EQ(rig.doc.device->serialNumber, 777u);
        EXPECT_EQ(rig.port->written, kEscapeBytes + "+MOD:0\r\n-MAN\r\n");
        EXPECT_EQ(rig.port->openCount, 3);
        EXPECT_FALSE(rig.port->isOpen);
        EXPECT_EQ(LineOf(rig.port->line), LineOf({19200, 7, 1, 1, 2}));
        EXPECT_EQ(rig.Conduit()->portName, "COM9");
        EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 153", "destroy 153"}));
    }
}

TEST(Escape, FailuresKeepTheSerialNumberAndTheDevice) {
    struct Case {
        const char* what;
        std::vector<std::string> answers;
        bool failOpen;
        std::vector<std::string> log;
        std::size_t written;
    } cases[] = {
        {"no answer", {}, false, {"create 153", "destroy 153"}, kEscapeBytes.size() + 8},
        {"MAN without digits",
         {"*MOD: 0/0\r\n", "*MAN: ---------\r\n"},
         false,
         {"create 153", "destroy 153"},
         kEscapeBytes.size() + 14},
        {"MAN cut short", {"*MOD: 0/0\r\n", "*MAN"}, false, {"create 153", "destroy 153"}, kEscapeBytes.size() + 14},
        {"port gone", {}, true, {"create 153", "dialog 136", "destroy 153"}, 0},
    };
    for (const Case& c : cases) {
        ScriptedRig rig;
        rig.Attach();
        rig.doc.device->serialNumber = 555;
        for (const auto& answer : c.answers) rig.port->answers.push_back(answer);
        rig.port->failOpen = c.failOpen;
        EXPECT_FALSE(rig.doc.EscapeTransparentMode(9600, '8', 'N', '1')) << c.what;
        EXPECT_EQ(rig.host.log, c.log) << c.what;
        EXPECT_EQ(rig.port->written.size(), c.written) << c.what;
        ASSERT_TRUE(rig.doc.HasDevice()) << c.what;
        EXPECT_EQ(rig.doc.device->serialNumber, 555u) << c.what;
        EXPECT_FALSE(rig.port->isOpen) << c.what;
    }
}
