#include <gtest/gtest.h>

#include "DeviceRig.h"
#include "KvExceptions.h"
#include "ResourceIds.h"

namespace {
void AnswerReadAll(ScriptedRig& rig, int upTo = 10) {
    for (int i = 0; i < upTo; ++i) rig.port->answers.emplace_back(kReadAllAnswers[i]);
}
}  // namespace

TEST(ReadSettings, QueriesThenProbesAndFillsTheRecordThroughTheGetters) {
    ScriptedRig rig;
    rig.Attach();
    // The stored bank differs in every value the window shows: the record is
    // filled from the running bank.
    rig.Answer({"*VER: 1.00.003\r\n", "*MOD: 0/0\r\n", "*SAD: 25/99\r\n", "*PAD: 7/7\r\n", "*PAN: 0/0\r\n",
                "*FRQ: 10/11\r\n", "*RTY: 3/3\r\n", "*LED: 1/1\r\n", "*SCI: 9600,8,N,1/4800,7,E,2\r\n",
                "*PFC: 0120/1001\r\n", "*PFC: 0120/1001\r\n", "*MAN: 000000042\r\n"});
    rig.doc.ReadSettings();

    EXPECT_EQ(rig.port->lines,
              (std::vector<std::string>{"-VER\r\n", "-MOD\r\n", "-SAD\r\n", "-PAD\r\n", "-PAN\r\n", "-FRQ\r\n",
                                        "-RTY\r\n", "-LED\r\n", "-SCI\r\n", "-PFC\r\n", "-PFC:0120\r\n"}));
    EXPECT_EQ(rig.port->openCount, 11);  // each query opens and closes the port
    EXPECT_FALSE(rig.port->isOpen);
    EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 145", "wait+", "wait-", "destroy 145", "update"}));
    EXPECT_FALSE(rig.doc.pinFunctionsFixed);
    EXPECT_FALSE(rig.doc.addressLocked);

    EXPECT_EQ(rig.doc.GetAddress(), 25);
    EXPECT_EQ(rig.doc.GetFrequencyIndex(), 10);
    EXPECT_EQ(rig.doc.GetBaudRate(), 9600);
    EXPECT_EQ(rig.doc.GetDataBits(), '8');
    EXPECT_EQ(rig.doc.GetParity(), 'N');
    EXPECT_EQ(rig.doc.GetStopBits(), '1');
    EXPECT_EQ(rig.doc.GetPinFunction(0), '0');
    EXPECT_EQ(rig.doc.GetPinFunction(1), '1');
    EXPECT_EQ(rig.doc.GetPinFunction(2), '2');
    EXPECT_EQ(rig.doc.GetPinFunction(3), '0');
    EXPECT_EQ(rig.doc.GetPinFunction(4), -1);
    EXPECT_EQ(rig.doc.GetVersionText(), "1.00.003");
    EXPECT_EQ(rig.doc.GetOperatingMode(true), 0);
    DeviceSettings expected;
    expected.address = 25;
    expected.frequencyIndex = 10;
    expected.baudRate = 9600;
    expected.dataBits = '8';
    expected.parity = 'N';
    expected.stopBits = '1';
    expected.pinFunctions[0] = expected.pinFunctions[3] = '0';
    expected.pinFunctions[1] = '1';
    expected.pinFunctions[2] = '2';
    EXPECT_EQ(rig.doc.settings, expected);

    // The serial number is asked for live, every time.
    EXPECT_EQ(rig.doc.GetSerialNumber(), 42u);
    EXPECT_EQ(rig.port->lines.back(), "-MAN\r\n");
    EXPECT_THROW(rig.doc.GetSerialNumber(), KvConduitReadException);
    EXPECT_FALSE(rig.port->isOpen);
}

TEST(ReadSettings, ProbeRejectionAndStoredModes) {
    struct Case {
        const char* mode;
        const char* probe;
        bool fixed;
        bool locked;
        int shownMode;
    } cases[] = {
        {"*MOD: 0/0\r\n", "*NAK:03\r\n", true, false, 0},
        {"*MOD: 0/2\r\n", "*PFC: 0120/0120\r\n", false, true, 2},  // slave pending power-up
        {"*MOD: 0/1\r\n", "*PFC: 0120/0120\r\n", false, true, 1},
        {"*MOD: 0/15\r\n", "*PFC: 0120/0120\r\n", false, false, 0},  // 15 shows as standard
        {"*MOD: 0/7\r\n", "*PFC: 0120/0120\r\n", false, false, 1},
    };
    for (const Case& c : cases) {
        ScriptedRig rig;
        rig.Attach();
        AnswerReadAll(rig);
        rig.port->answers[1] = c.mode;
        rig.Answer({c.probe});
        rig.doc.pinFunctionsFixed = !c.fixed;
        rig.doc.ReadSettings();
        EXPECT_TRUE(rig.doc.HasDevice()) << c.mode;
        EXPECT_EQ(rig.doc.pinFunctionsFixed, c.fixed) << c.mode;
        EXPECT_EQ(rig.doc.addressLocked, c.locked) << c.mode;
        EXPECT_EQ(rig.doc.GetOperatingMode(true), c.shownMode) << c.mode;
        EXPECT_TRUE(rig.host.Dialogs().empty()) << c.mode;
    }
}

TEST(ReadSettings, EveryFailureDropsTheDevice) {
    struct Case {
        const char* what;
        int answered;         // read-all answers before the failing one
        const char* failing;  // nullptr: silence
        int dialog;
    } cases[] = {
        {"silence", 2, nullptr, IDD_COMM_ERROR},
        {"port gone", -1, nullptr, IDD_OPEN_ERROR},
        {"write fails", -2, nullptr, IDD_OPEN_ERROR},
        {"command rejected", 5, "*NAK:01\r\n", IDD_COMM_ERROR},
        {"parameter rejected outside the probe", 4, "*NAK:03\r\n", IDD_COMM_ERROR},
        {"too short", 1, "x\r\n", IDD_COMM_ERROR},
        {"does not parse", 2, "*SAD: xyz\r\n", IDD_COMM_ERROR},
        {"NAK without a code", 3, "*NAK\r\n", IDD_COMM_ERROR},
        {"probe rejected otherwise", 10, "*NAK:01\r\n", IDD_COMM_ERROR},
        {"probe silent", 10, nullptr, IDD_COMM_ERROR},
    };
    for (const Case& c : cases) {
        ScriptedRig rig;
        rig.Attach();
        if (c.answered == -1) rig.port->failOpen = true;
        if (c.answered == -2) rig.port->failWriteAfter = 3;
        AnswerReadAll(rig, c.answered < 0 ? 0 : c.answered);
        if (c.failing) rig.Answer({c.failing});
        bool deviceDuringDialog = false;
        rig.host.onDialog = [&](int) { deviceDuringDialog = rig.doc.HasDevice(); };

        rig.doc.ReadSettings();
        EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 145", "wait+", "destroy 145",
                                                          "dialog " + std::to_string(c.dialog), "update", "wait-"}))
            << c.what;
        EXPECT_TRUE(deviceDuringDialog) << c.what;
        EXPECT_FALSE(rig.doc.HasDevice()) << c.what;
        EXPECT_FALSE(rig.port->isOpen) << c.what;
    }
}

TEST(ReadSettings, WithoutDeviceOnlyShowsItsPopup) {
    ScriptedRig rig;
    rig.doc.ReadSettings();
    EXPECT_EQ(rig.host.log, (std::vector<std::string>{"create 145", "destroy 145", "update"}));
    EXPECT_TRUE(rig.port->written.empty());
    EXPECT_EQ(rig.doc.GetAddress(), -1);
    EXPECT_EQ(rig.doc.GetPinFunction(0), -1);
    EXPECT_EQ(rig.doc.GetOperatingMode(true), -1);
    EXPECT_EQ(rig.doc.GetSerialNumber(), 0u);
    EXPECT_EQ(rig.doc.GetVersionText(), "");
}

TEST(WriteSettings, SendsTheRecordToBothBanksInOneHeldOpening) {
    for (const bool fixedPins : {false, true}) {
        ScriptedRig rig;
        KvSerialConduit& conduit = rig.Attach();
        FillRecord(rig.doc);
        rig.doc.pinFunctionsFixed = fixedPins;
        for (int i = 0; i < 11; ++i) rig.Answer({"*~: 0/0\r\n"});
        bool portOpenAtDialog = true;
        std::uint32_t baudAtDialog = 0;
        rig.host.onDialog = [&](int) {
            portOpenAtDialog = rig.port->isOpen;
            baudAtDialog = conduit.BaudRate();
        };
        rig.host.dialogAnswers = {IDOK};

        bool written = false;
        EXPECT_TRUE(rig.doc.WriteSettings(true, &written));
        EXPECT_TRUE(written);
        std::vector<std::string> expected{"+SAD:25\r\n", "+FRQ:10\r\n"};
        if (!fixedPins) {
            // Each pin is two requests: the stored bank, then the running bank.
            for (const char* line : {"@PFC:1000\r\n", "-PFC:1000\r\n", "@PFC:1200\r\n", "-PFC:1200\r\n",
                                     "@PFC:1200\r\n", "-PFC:1200\r\n", "@PFC:1201\r\n", "-PFC:1201\r\n"})
                expected.emplace_back(line);
        }
        expected.emplace_back("+SCI:38400,8,E,1\r\n");
        EXPECT_EQ(rig.port->lines, expected) << fixedPins;
        EXPECT_EQ(rig.port->openCount, 1);
        EXPECT_EQ(rig.port->line.baudRate, 9600u);  // the whole batch went out at the old settings
        EXPECT_FALSE(rig.port->isOpen);
        EXPECT_FALSE(conduit.keepOpen);
        EXPECT_EQ(rig.host.log,
                  (std::vector<std::string>{"wait+", "create 146", "destroy 146", "dialog 140", "wait-"}));
        // The conduit follows the module before the done dialog comes up.
        EXPECT_FALSE(portOpenAtDialog);
        EXPECT_EQ(baudAtDialog, 38400u);
        EXPECT_EQ(conduit.Parity(), 2);
        EXPECT_EQ(conduit.TimeoutMs(), 70u);
    }
}

TEST(WriteSettings, ReloadChoiceIsSeparateFromSuccess) {
    ScriptedRig rig;
    KvSerialConduit& conduit = rig.Attach(57600);
    FillRecord(rig.doc);
    rig.doc.settings.baudRate = 1200;
    rig.doc.pinFunctionsFixed = true;
    for (int i = 0; i < 6; ++i) rig.Answer({"*~: 0/0\r\n"});
    rig.host.dialogAnswers = {IDCANCEL};
    bool written = false;
    EXPECT_FALSE(rig.doc.WriteSettings(true, &written));
    EXPECT_TRUE(written);
    EXPECT_EQ(conduit.TimeoutMs(), 240u);  // the time-out follows the new speed
    rig.host.Clear();
    written = false;
    EXPECT_FALSE(rig.doc.WriteSettings(false, &written));
    EXPECT_TRUE(written);
    EXPECT_TRUE(rig.host.Dialogs().empty());
}

TEST(WriteSettings, FailureStopsTheBatchAndKeepsTheOldLine) {
    struct Case {
        const char* what;
        int answered;         // answers before the failing request (-1: port cannot be opened)
        const char* failing;  // nullptr: silence
        int dialog;
        std::size_t sent;
        bool rejected;  // the module refused, as opposed to the link failing
    } cases[] = {
        {"silence at FRQ", 1, nullptr, IDD_SET_ERROR, 2, false},
        {"rejected pin", 3, "*NAK:03\r\n", IDD_SET_ERROR, 4, true},
        {"no answer to SCI", 10, "\r\n", IDD_SET_ERROR, 11, false},
        {"rejection without a code", 0, "*NAK:xy\r\n", IDD_SET_ERROR, 1, false},
        {"port gone", -1, nullptr, IDD_OPEN_ERROR, 0, false},
    };
    for (const Case& c : cases) {
        ScriptedRig rig;
        KvSerialConduit& conduit = rig.Attach();
        FillRecord(rig.doc);
        const DeviceSettings record = rig.doc.settings;
        if (c.answered < 0) rig.port->failOpen = true;
        for (int i = 0; i < c.answered; ++i) rig.Answer({"*~: 0/0\r\n"});
        if (c.failing) rig.Answer({c.failing});
        bool openAtDialog = false;
        rig.host.onDialog = [&](int) { openAtDialog = rig.port->isOpen; };

        bool written = true;
        EXPECT_FALSE(rig.doc.WriteSettings(true, &written)) << c.what;
        EXPECT_FALSE(written) << c.what;
        EXPECT_EQ(rig.doc.lastSettingRejected, c.rejected) << c.what;
        EXPECT_EQ(rig.port->lines.size(), c.sent) << c.what;
        EXPECT_EQ(rig.host.log, (std::vector<std::string>{"wait+", "create 146", "dialog " + std::to_string(c.dialog),
                                                          "destroy 146", "wait-"}))
            << c.what;
        EXPECT_EQ(openAtDialog, c.answered >= 0) << c.what;  // command failures: port still held
        EXPECT_FALSE(rig.port->isOpen) << c.what;
        EXPECT_FALSE(conduit.keepOpen) << c.what;
        EXPECT_EQ(conduit.BaudRate(), 9600u) << c.what;
        EXPECT_TRUE(rig.doc.HasDevice()) << c.what;
        EXPECT_EQ(rig.doc.settings, record) << c.what;
    }
}

TEST(WriteSettings, WithoutDeviceDoesNothing) {
    ScriptedRig rig;
    bool written = true;
    EXPECT_FALSE(rig.doc.WriteSettings(true, &written));
    EXPECT_FALSE(written);
    EXPECT_TRUE(rig.host.log.empty());
}
