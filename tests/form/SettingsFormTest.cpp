// The settings window's decisions against a simulated module: what each control
// shows and whether it is enabled, the checks and record updates of 設定, the
// dialogs of every command in order and the escape loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "EscapeForm.h"
#include "FormRig.h"
#include "Texts.h"

using tarnik::sim::FaultKind;
using tarnik::sim::ModuleConfig;

namespace {

std::string Text(int id) { return KvText(id); }

// Position of the first log line equal to `line`, or the log's size.
std::size_t Find(const RecorderHost& host, const std::string& line) {
    return static_cast<std::size_t>(std::find(host.log.begin(), host.log.end(), line) - host.log.begin());
}

const int kValueControls[] = {IDC_SET,       IDC_SERIAL_NUMBER, IDC_FREQUENCY, IDC_BAUD_RATE,
                              IDC_DATA_BITS, IDC_PARITY,        IDC_STOP_BITS};
const int kPins[] = {IDC_PIN_12, IDC_PIN_34, IDC_PIN_56, IDC_PIN_78};

}  // namespace

TEST(SettingsForm, BeforeTheFirstSearchAndAfterTheFirstRead) {
    ModuleConfig config;
    config.line = {38400, '7', 'O', '2'};
    config.serialNumber = 4567;
    FormRig rig(config);
    rig.Module().MutableRunning().frequency = 0;
    rig.Module().MutableRunning().address = 42;
    rig.Module().MutableRunning().pins[0] = '2';
    rig.Module().MutableRunning().pins[3] = '1';

    // Before the first search: scan guide, COM1, lists loaded without a
    // selection, the setting controls disabled; the search's own controls and
    // the texts of the form's layout are left alone.
    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_SCAN));
    EXPECT_EQ(rig.view.Selected(IDC_COM_PORT), "COM1");
    EXPECT_EQ(rig.Control(IDC_COM_PORT).items.size(), 20u);
    EXPECT_EQ(rig.Control(IDC_FREQUENCY).items.size(), 76u);
    EXPECT_EQ(rig.Control(IDC_PIN_56).items.size(), 2u);
    EXPECT_EQ(rig.Control(IDC_ADDRESS).limit, 4);
    for (int id : kValueControls) {
        EXPECT_EQ(rig.Control(id).enabled, false) << id;
        if (id != IDC_SET && id != IDC_SERIAL_NUMBER) {
            EXPECT_EQ(rig.Control(id).selection, -1) << id;
        }
    }
    for (int id : kPins) EXPECT_FALSE(rig.Control(id).enabled) << id;
    EXPECT_FALSE(rig.Control(IDC_ADDRESS).enabled);
    for (int untouched : {IDC_SCAN, IDC_SERIAL_NUMBER, IDC_VERSION, IDC_MODE_NOTE, IDC_PIN_NOTE})
        EXPECT_EQ(rig.Control(untouched).text, "") << untouched;
    EXPECT_TRUE(rig.Control(IDC_SCAN).enabled);
    EXPECT_TRUE(rig.Control(IDC_COM_PORT).enabled);
    EXPECT_NE(Find(rig.host, "fit"), rig.host.log.size());

    // The search runs with the window disabled and the wait cursor up, and
    // gives both back once the read is done.
    rig.host.Clear();
    rig.form.OnScan();
    ASSERT_TRUE(rig.doc.HasDevice());
    const std::vector<std::string>& log = rig.host.log;
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "wait+");
    EXPECT_EQ(log[1], "window-");
    EXPECT_LT(Find(rig.host, "destroy 145"), Find(rig.host, "window+"));
    EXPECT_EQ(log.back(), "wait-");
    EXPECT_LT(Find(rig.host, "destroy 132"), Find(rig.host, "repaint"));
    EXPECT_LT(Find(rig.host, "repaint"), Find(rig.host, "create 145"));

    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_EDIT));
    EXPECT_EQ(rig.Control(IDC_SERIAL_NUMBER).text, "000004567");
    EXPECT_EQ(rig.Control(IDC_VERSION).text, "1.00.003");
    EXPECT_EQ(rig.Control(IDC_ADDRESS).text, "42");
    EXPECT_EQ(rig.view.Selected(IDC_FREQUENCY), "2405");
    EXPECT_EQ(rig.view.Selected(IDC_BAUD_RATE), "38400");
    EXPECT_EQ(rig.view.Selected(IDC_DATA_BITS), "7");
    EXPECT_EQ(rig.view.Selected(IDC_PARITY), "奇数");
    EXPECT_EQ(rig.view.Selected(IDC_STOP_BITS), "2");
    EXPECT_EQ(rig.view.Selected(IDC_PIN_12), "アナログ入力");
    EXPECT_EQ(rig.view.Selected(IDC_PIN_34), "デジタル入力");
    EXPECT_EQ(rig.view.Selected(IDC_PIN_78), "デジタル出力");
    for (int id : kValueControls) EXPECT_TRUE(rig.Control(id).enabled) << id;
    for (int id : kPins) EXPECT_TRUE(rig.Control(id).enabled) << id;
    EXPECT_TRUE(rig.Control(IDC_ADDRESS).enabled);

    // The controls go into the record by their items' integers, the frequency by
    // its index; a list without a selection gives -1.
    rig.Control(IDC_FREQUENCY).selection = 75;
    rig.Control(IDC_PARITY).selection = 1;
    rig.Control(IDC_PIN_34).selection = 2;
    rig.Control(IDC_STOP_BITS).selection = -1;
    rig.form.StoreControlsToDocument();
    const DeviceSettings& record = rig.doc.settings;
    EXPECT_EQ(record.frequencyIndex, 75);
    EXPECT_EQ(record.baudRate, 38400);
    EXPECT_EQ(record.dataBits, '7');
    EXPECT_EQ(record.parity, 'E');
    EXPECT_EQ(record.stopBits, -1);
    EXPECT_EQ(record.pinFunctions[0], '2');
    EXPECT_EQ(record.pinFunctions[1], '2');
    EXPECT_EQ(record.pinFunctions[2], '0');
    EXPECT_EQ(record.pinFunctions[3], '1');

    // A value no item carries keeps the list's previous selection; the port list
    // follows the document's port name whatever its letter case.
    rig.Module().MutableRunning().pins[3] = '7';
    rig.doc.SetPortName("com7");
    rig.doc.ReadSettings();
    EXPECT_EQ(rig.view.Selected(IDC_PIN_78), "デジタル出力");
    EXPECT_EQ(rig.view.Selected(IDC_COM_PORT), "COM7");
}

TEST(SettingsForm, TheControlsAFrontEndMayCreateDisabledAreThoseTheFirstRefreshDisables) {
    // The front-ends create the controls the text table marks disabled; one
    // more would stay grey when it should not, one fewer would show enabled
    // before any device.
    FormRig rig;
    std::vector<int> disabled;
    for (const auto& [id, control] : rig.view.controls) {
        if (!control.enabled) disabled.push_back(id);
    }
    std::vector<int> listed;
    for (const KvFormControl& c : KvFormControls()) {
        if (c.disabledAtStart) listed.push_back(c.id);
    }
    std::sort(listed.begin(), listed.end());
    std::sort(disabled.begin(), disabled.end());
    EXPECT_EQ(listed, disabled);
}

TEST(SettingsForm, NotesAndLocksFollowTheStoredModeAndTheModel) {
    struct Row {
        bool fixedPins;
        int storedMode;
        int modeNote;  // 0: empty
        int pinNote;
        bool address;
        bool pins;
    };
    const Row rows[] = {
        {false, 0, 0, 0, true, true},
        {false, 1, IDS_MODE_MASTER, IDS_PINS_LOCKED_TRANSPARENT, false, false},
        {false, 2, IDS_MODE_SLAVE, IDS_PINS_LOCKED_TRANSPARENT, false, false},
        {false, 15, 0, 0, true, true},  // 15 counts as standard
        {true, 0, 0, IDS_PINS_FIXED_MODEL, true, false},
        {true, 1, IDS_MODE_MASTER, IDS_PINS_FIXED_MODEL, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "fixed " << row.fixedPins << " mode " << row.storedMode);
        ModuleConfig config;
        config.fixedPins = row.fixedPins;
        FormRig rig(config);
        rig.ScanAndRead();
        rig.Module().MutableStored().mode = row.storedMode;
        rig.doc.ReadSettings();
        EXPECT_EQ(rig.Control(IDC_MODE_NOTE).text, row.modeNote ? Text(row.modeNote) : "");
        EXPECT_EQ(rig.Control(IDC_PIN_NOTE).text, row.pinNote ? Text(row.pinNote) : "");
        EXPECT_EQ(rig.Control(IDC_ADDRESS).enabled, row.address);
        for (int id : kPins) EXPECT_EQ(rig.Control(id).enabled, row.pins) << id;
        for (int id : kValueControls) EXPECT_TRUE(rig.Control(id).enabled) << id;
    }
}

TEST(SettingsForm, SetChecksTheAddressBeforeAskingAnything) {
    FormRig rig;
    rig.ScanAndRead();
    const std::size_t heard = rig.Heard();
    for (const char* bad : {"", "10000", "x1"}) {
        SCOPED_TRACE(bad);
        rig.host.Clear();
        rig.Control(IDC_ADDRESS).text = bad;
        rig.form.OnSet();
        EXPECT_EQ(rig.host.log, std::vector<std::string>{"message " + std::to_string(IDS_BAD_ADDRESS)});
    }
    // 0 and 9999 pass on to the confirmation; cancelling it sends nothing either.
    for (const char* good : {"0", "9999"}) {
        SCOPED_TRACE(good);
        rig.host.Clear();
        rig.host.dialogAnswers = {IDCANCEL};
        rig.Control(IDC_ADDRESS).text = good;
        rig.form.OnSet();
        EXPECT_EQ(rig.host.Dialogs(), std::vector<int>{IDD_SET_CONFIRM});
        EXPECT_EQ(rig.host.Lines("create ").size(), 0u);
    }
    EXPECT_EQ(rig.Heard(), heard);
}

TEST(SettingsForm, SetWritesTheControlsAndReportsTheOutcome) {
    FormRig rig;
    rig.ScanAndRead();
    // The module's stored mode changes behind the program's back: only a re-read shows it.
    rig.Module().MutableStored().mode = 1;

    // "閉じる" in dialog 140: written, no re-read, the edits stay, the guide says done.
    rig.Control(IDC_FREQUENCY).selection = 10;
    rig.Control(IDC_ADDRESS).text = "1234";
    rig.Control(IDC_PIN_56).selection = 1;
    rig.host.dialogAnswers = {IDOK, IDCANCEL};
    rig.form.OnSet();
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_SET_CONFIRM, IDD_SET_DONE}));
    // The confirmation says what changes, against the module's running values.
    EXPECT_EQ(rig.host.Lines("changes "),
              std::vector<std::string>{
                  "changes アドレス：0 → 1234\n周波数：2405 → 2415 MHz\nI/O 5-6：デジタル入力 → デジタル出力"});
    // The window is repainted once the confirmation has gone, before the write.
    EXPECT_LT(Find(rig.host, "dialog 138"), Find(rig.host, "repaint"));
    EXPECT_LT(Find(rig.host, "repaint"), Find(rig.host, "create 146"));
    EXPECT_EQ(rig.Module().Running().frequency, 10);
    EXPECT_EQ(rig.Module().Stored().frequency, 10);
    EXPECT_EQ(rig.Module().Running().address, 1234);
    EXPECT_EQ(rig.Module().Stored().pins[2], '1');
    EXPECT_EQ(rig.Guide(), Text(IDS_SET_DONE));
    EXPECT_EQ(rig.Control(IDC_MODE_NOTE).text, "");

    // "再読み込み": the values come back from the module and the guide still says done.
    rig.host.Clear();
    rig.form.OnSet();
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_SET_CONFIRM, IDD_SET_DONE}));
    EXPECT_EQ(rig.host.Lines("changes "), std::vector<std::string>{"changes 変更なし"});
    EXPECT_EQ(rig.Control(IDC_ADDRESS).text, "1234");
    EXPECT_EQ(rig.Control(IDC_MODE_NOTE).text, Text(IDS_MODE_MASTER));
    EXPECT_EQ(rig.Guide(), Text(IDS_SET_DONE));

    // A write the module does not answer: error dialog 139, and the guide does
    // not claim success (it keeps the editing guide a refresh put there).
    rig.form.RefreshFromDocument();
    rig.Module().InjectFault(MakeFault(FaultKind::Silence, -1, "SAD"));
    rig.host.Clear();
    rig.form.OnSet();
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_SET_CONFIRM, IDD_SET_ERROR}));
    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_EDIT));
}

TEST(SettingsForm, WithoutADeviceSetAsksNothingAndNeverClaimsSuccess) {
    // A search that ends in a port failure after a good read: dialog 136, and the
    // form goes to its no-device state (scan guide, setting controls grey, the
    // last values still shown) instead of offering 設定 for a device it lost.
    FormRig rig;
    rig.ScanAndRead();
    rig.Module().InjectFault(MakeFault(FaultKind::PortVanishes, 1, "MAN"));
    rig.form.OnScan();
    EXPECT_EQ(rig.host.Dialogs(), std::vector<int>{IDD_OPEN_ERROR});
    ASSERT_FALSE(rig.doc.HasDevice());
    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_SCAN));
    for (int id : kValueControls) EXPECT_FALSE(rig.Control(id).enabled) << id;
    EXPECT_FALSE(rig.Control(IDC_ADDRESS).enabled);
    EXPECT_EQ(rig.Control(IDC_SERIAL_NUMBER).text, "123456789");
    EXPECT_EQ(rig.Control(IDC_ADDRESS).text, "0");

    // 設定 reached all the same (a key, a stale click): no confirmation for a
    // write that cannot happen, nothing sent, the guide says to search.
    rig.Module().ClearFaults();
    const std::size_t heard = rig.Heard();
    rig.host.Clear();
    rig.Control(IDC_GUIDE).text.clear();
    rig.form.OnSet();
    EXPECT_TRUE(rig.host.Dialogs().empty());
    EXPECT_TRUE(rig.host.Lines("message ").empty());
    EXPECT_EQ(rig.Heard(), heard);
    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_SCAN));

    // A write that went through, 再読み込み, and a re-read that loses the module:
    // its error dialog, and the guide asks for a search instead of saying done.
    FormRig reread;
    reread.ScanAndRead();
    reread.Module().InjectFault(MakeFault(FaultKind::Silence, -1, "VER"));
    reread.form.OnSet();
    EXPECT_EQ(reread.host.Dialogs(), (std::vector<int>{IDD_SET_CONFIRM, IDD_SET_DONE, IDD_COMM_ERROR}));
    EXPECT_FALSE(reread.doc.HasDevice());
    EXPECT_EQ(reread.Guide(), Text(IDS_GUIDE_SCAN));
    EXPECT_FALSE(reread.Control(IDC_SET).enabled);
}

TEST(SettingsForm, RefreshThatLosesTheSerialNumberKeepsTheWindow) {
    FormRig rig;
    rig.ScanAndRead();
    rig.Control(IDC_ADDRESS).text = "55";  // an edit in progress
    for (FaultKind kind : {FaultKind::Silence, FaultKind::NonNumericMan}) {
        rig.host.Clear();
        rig.Module().InjectFault(MakeFault(kind, 1, "MAN"));
        rig.host.UpdateAllViews();
        EXPECT_EQ(rig.host.Dialogs(), std::vector<int>{IDD_COMM_ERROR});
        EXPECT_EQ(rig.Control(IDC_ADDRESS).text, "55");
        EXPECT_EQ(rig.Control(IDC_SERIAL_NUMBER).text, "123456789");
        EXPECT_TRUE(rig.Control(IDC_SET).enabled);
    }
    // The module answers again: the next refresh shows its values.
    rig.host.Clear();
    rig.host.UpdateAllViews();
    EXPECT_TRUE(rig.host.Dialogs().empty());
    EXPECT_EQ(rig.Control(IDC_ADDRESS).text, "0");
}

TEST(SettingsForm, EscapeLoopRemembersTheChoiceAndRetriesOnTheSamePort) {
    FormRig rig;
    const SerialSettings picked{19200, '7', 'E', '2'};
    auto choose = [](SerialSettings choice, int result) {
        return [choice, result](SerialSettings& settings) {
            settings = choice;
            return result;
        };
    };

    // First opening shows 9600 8N1; a cancelled run keeps its choice and sends nothing.
    rig.view.escapeAnswers = {choose(picked, IDCANCEL)};
    rig.form.OnEscapeTransparent();
    EXPECT_EQ(rig.view.escapeShown, std::vector<SerialSettings>{kEscapeStartSettings});
    EXPECT_EQ(rig.host.Dialogs(), std::vector<int>{IDD_ESCAPE});
    EXPECT_TRUE(rig.host.Lines("create 153").empty());  // no attempt
    EXPECT_FALSE(rig.doc.HasDevice());

    // The next opening shows that choice. The module is not in transparent mode
    // and does not answer at 19200 7E2: dialog 152; 再試行 opens 148 again, where
    // the user also picks another port: the retry still goes to COM1, the port
    // the command began with. Then 閉じる ends the command.
    rig.host.Clear();
    rig.view.escapeShown.clear();
    rig.view.escapeAnswers = {choose(picked, IDOK), [&rig](SerialSettings&) {
                                  rig.Control(IDC_COM_PORT).selection = 4;
                                  return IDOK;
                              }};
    rig.host.dialogAnswers = {IDOK, IDCANCEL};
    rig.form.OnEscapeTransparent();
    EXPECT_EQ(rig.view.escapeShown, (std::vector<SerialSettings>{picked, picked}));
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_ESCAPE, IDD_ESCAPE_FAILED, IDD_ESCAPE, IDD_ESCAPE_FAILED}));
    EXPECT_EQ(rig.host.Lines("create 153").size(), 2u);
    EXPECT_EQ(std::string(rig.doc.GetPortName().CStr()), "COM1");
    EXPECT_TRUE(rig.doc.HasDevice());  // an escape attempt leaves a device object behind

    // 再試行, then Cancel in 148: nothing more is sent.
    rig.Control(IDC_COM_PORT).selection = 0;
    rig.host.Clear();
    rig.view.escapeAnswers = {choose(picked, IDOK)};
    rig.host.dialogAnswers = {IDOK};
    rig.form.OnEscapeTransparent();
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_ESCAPE, IDD_ESCAPE_FAILED, IDD_ESCAPE}));
    EXPECT_EQ(rig.host.Lines("create 153").size(), 1u);  // the one attempt

    // A module in transparent mode at 9600 8N1, powered up just now: the escape
    // works, dialog 151 follows, the window is repainted and the settings read.
    rig.Module().MutableStored().mode = 1;
    rig.Module().PowerCycle();
    ASSERT_TRUE(rig.Module().Transparent());
    rig.host.Clear();
    rig.view.escapeAnswers = {choose(kEscapeStartSettings, IDOK)};
    rig.form.OnEscapeTransparent();
    EXPECT_FALSE(rig.Module().Transparent());
    EXPECT_EQ(rig.host.Dialogs(), (std::vector<int>{IDD_ESCAPE, IDD_ESCAPE_DONE}));
    EXPECT_LT(Find(rig.host, "dialog 151"), Find(rig.host, "repaint"));
    EXPECT_LT(Find(rig.host, "repaint"), Find(rig.host, "create 145"));
    EXPECT_EQ(rig.Guide(), Text(IDS_GUIDE_EDIT));
    EXPECT_EQ(rig.form.EscapeSettings(), kEscapeStartSettings);
}

TEST(SettingsForm, InitializeAsksFirstAndReadsAfterTheRestart) {
    ModuleConfig config;
    config.line = {57600, '8', 'N', '2'};
    FormRig rig(config);
    rig.ScanAndRead();
    rig.Module().MutableRunning().frequency = 33;
    rig.Module().MutableStored().frequency = 33;

    // Cancelled: the window is repainted all the same, nothing is sent.
    const std::size_t heard = rig.Heard();
    rig.host.dialogAnswers = {IDCANCEL};
    rig.form.OnInitializeDevice();
    EXPECT_EQ(rig.host.log, (std::vector<std::string>{"dialog 141", "repaint"}));
    EXPECT_EQ(rig.Heard(), heard);

    rig.host.Clear();
    rig.form.OnInitializeDevice();
    EXPECT_EQ(rig.host.Lines("sleep ").size(), 1u);
    EXPECT_LT(Find(rig.host, "destroy 147"), Find(rig.host, "create 145"));
    EXPECT_EQ(rig.view.Selected(IDC_BAUD_RATE), "9600");
    EXPECT_EQ(rig.view.Selected(IDC_STOP_BITS), "1");
    EXPECT_EQ(rig.Control(IDC_FREQUENCY).selection, tarnik::sim::FactoryBank().frequency);
}

TEST(SettingsForm, TransparentCommandsTakeTheControlsAlong) {
    FormRig rig;
    rig.ScanAndRead();
    rig.Control(IDC_FREQUENCY).selection = 20;
    rig.form.OnTransparentMaster();
    ASSERT_FALSE(rig.host.Dialogs().empty());
    EXPECT_EQ(rig.host.Dialogs().front(), IDD_MASTER_MODE);
    EXPECT_EQ(rig.Module().Stored().mode, 1);
    EXPECT_EQ(rig.Module().Stored().frequency, 20);

    rig.Control(IDC_FREQUENCY).selection = 30;
    rig.form.OnTransparentSlave();
    EXPECT_EQ(rig.Module().Stored().mode, 2);
    EXPECT_EQ(rig.Module().Stored().frequency, 30);
    EXPECT_EQ(rig.Control(IDC_MODE_NOTE).text, Text(IDS_MODE_SLAVE));

    // Cancelling the switch leaves the record as it is: the controls are not copied.
    rig.host.Clear();
    rig.Control(IDC_FREQUENCY).selection = 40;
    rig.form.OnCancelTransparent();
    EXPECT_EQ(rig.host.Dialogs().front(), IDD_STANDARD_MODE);
    EXPECT_EQ(rig.Module().Stored().mode, 0);
    EXPECT_EQ(rig.doc.settings.frequencyIndex, 30);
}

TEST(SettingsForm, ThePortListFollowsTheDevicesPresentAndKeepsTheChoice) {
    FormRig rig;
    std::vector<std::string> names = ComPorts();
    names.push_back("/dev/ttyUSB0");
    rig.form.UpdatePortNames(names);
    rig.Control(IDC_COM_PORT).selection = 20;
    ASSERT_EQ(rig.form.SelectedPortName(), "/dev/ttyUSB0");

    // An adapter plugged in before it: the same device stays chosen.
    names.insert(names.begin() + 20, "/dev/ttyACM0");
    rig.form.UpdatePortNames(names);
    EXPECT_EQ(rig.Control(IDC_COM_PORT).items, names);
    EXPECT_EQ(rig.form.SelectedPortName(), "/dev/ttyUSB0");
    rig.form.OnScan();
    EXPECT_EQ(std::string(rig.doc.GetPortName().CStr()), "/dev/ttyUSB0");

    // Unplugged: the list falls back to its first port.
    rig.form.UpdatePortNames(ComPorts());
    EXPECT_EQ(rig.form.SelectedPortName(), "COM1");
}

TEST(SettingsForm, ATypedPortJoinsTheListAndABadOneLeavesTheChoice) {
    struct Case {
        const char* what;
        std::optional<std::string> typed;
        std::string selected;  // afterwards
        bool listed;           // the typed name is a new row
        bool refused;          // with message 41462
    };
    const Case cases[] = {
        {"a device path", std::string("/tmp/tarnik"), "/tmp/tarnik", true, false},
        {"a listed name in other letters", std::string("com3"), "COM3", false, false},
        {"no port at all", std::string("ttyUSB0"), "COM2", false, true},
        {"the prompt cancelled", std::nullopt, "COM2", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormRig rig;
        rig.form.OfferTypedPort();
        rig.form.UpdatePortNames(ComPorts());
        ControlState& list = rig.Control(IDC_COM_PORT);
        ASSERT_EQ(list.items.size(), 21u);
        EXPECT_EQ(list.items.back(), "その他...");
        EXPECT_TRUE(rig.form.IsTypedPortRow(20));
        list.selection = 20;
        EXPECT_EQ(rig.form.SelectedPortName(), "");

        rig.form.ChooseTypedPort(c.typed, "COM2");
        EXPECT_EQ(rig.form.SelectedPortName(), c.selected);
        EXPECT_EQ(rig.host.Lines("message ").size(), c.refused ? 1u : 0u);
        EXPECT_EQ(list.items.size(), c.listed ? 22u : 21u);
        // A typed name stays offered when the devices present change.
        rig.form.UpdatePortNames(ComPorts());
        EXPECT_EQ(rig.form.PortNames().size(), c.listed ? 21u : 20u);
    }
}
