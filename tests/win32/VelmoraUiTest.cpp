// Drives velmora.exe under Wine as a user would, through its real windows.
//
//   velmora_ui_test VELMORA.EXE demo [--shots FOLDER]
//       the demo module inside the program: scan, read, write with and without
//       the re-read, the address check, initialisation, master / slave /
//       cancel, the power cycle, a write that fails, the escape with wrong and
//       right settings, a port that cannot be opened; a click and a key made
//       during a workflow are dropped
//   velmora_ui_test VELMORA.EXE port COMn
//       a module at the far end of a real COM port (tarnik-sim, serial number
//       246813579, version 2.04.017): scan, read, write, re-read
//   velmora_ui_test VELMORA.EXE profile [--shots FOLDER]
//       the demo module: Ctrl+S saves the form as a profile through the
//       system's save dialog, Ctrl+O fills it from one that `tarnik read --json`
//       would print, through the open dialog; the module is not written
//   velmora_ui_test VELMORA.EXE dialog ID [--shots FOLDER]
//       opens one dialog through the program's test switch and checks its texts
//   velmora_ui_test VELMORA.EXE face FACE [--shots FOLDER]
//       in a prefix that has FACE but no "ＭＳ Ｐゴシック": the form is laid out
//       in FACE
//
// Expected texts come from the program's text table; what each step must show
// is written here. Each mode is one GoogleTest test; the status is 0 when
// nothing failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DialogFont.h"
#include "Driver.h"
#include "ResourceIds.h"
#include "Texts.h"

using namespace driver;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace {

std::string Title(int dialogId) { return KvDialogTitle(dialogId); }
std::string Line(int dialogId) { return KvDialog(dialogId)->headline.front(); }
std::string Str(int id) { return KvText(id); }

// The dialog's title, its lines top to bottom (the box caption in its place)
// and its buttons, against the text table.
void CheckDialogTexts(HWND dialog, int dialogId) {
    const std::string name = "dialog " + std::to_string(dialogId);
    EXPECT_EQ(Narrow(Caption(dialog)), std::string(KvDialogTitle(dialogId))) << name + " title";
    std::vector<std::wstring> shown;
    for (const ControlInfo& c : Controls(dialog)) {
        const LONG style = GetWindowLongW(c.window, GWL_STYLE);
        const bool group = c.className == L"Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
        const bool text = c.className == L"Static" && (style & SS_TYPEMASK) <= SS_RIGHT;
        if ((group || text) && !c.text.empty() && c.visible) shown.push_back(c.text);
    }
    const std::vector<const char*> lines = KvDialogLines(dialogId);
    EXPECT_TRUE(shown.size() >= lines.size()) << name + " shows " + std::to_string(lines.size()) + " lines";
    for (std::size_t i = 0; i < lines.size() && i < shown.size(); ++i)
        EXPECT_EQ(Narrow(shown[i]), std::string(lines[i])) << name + " line " + std::to_string(i + 1);
    for (const KvDialogButton& b : KvDialog(dialogId)->buttons) {
        HWND button = GetDlgItem(dialog, b.id);
        if (dialogId == IDD_SCAN) {
            // The search cannot be interrupted: its Cancel button is hidden and disabled.
            EXPECT_TRUE(button != nullptr && !IsWindowVisible(button) && !IsWindowEnabled(button))
                << name + " cancel button hidden and disabled";
            continue;
        }
        EXPECT_EQ(Narrow(button ? Caption(button) : L""), std::string(b.text))
            << name + " button " + std::to_string(b.id);
    }
}

// Runs a modal dialog's check, takes its picture and answers it.
void Answer(App& app, int dialogId, int button, const std::string& shot = "") {
    HWND dialog = app.WaitDialog(Title(dialogId));
    app.Settle();
    CheckDialogTexts(dialog, dialogId);
    if (!shot.empty()) Shot(dialog, shot);
    ClickDialogButton(dialog, button);
    EXPECT_TRUE(app.WaitDialogGone(dialog))
        << "dialog " + std::to_string(dialogId) + " closes with button " + std::to_string(button);
}

// A progress window seen while its workflow runs: its line, disabled (takes no input).
void SeeProgress(App& app, int dialogId, const std::string& shot) {
    HWND window = app.WaitDialog(Line(dialogId));
    EXPECT_TRUE(!IsWindowEnabled(window)) << "progress window " + std::to_string(dialogId) + " takes no input";
    EXPECT_TRUE((GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION)
        << "progress window " + std::to_string(dialogId) + " has no title bar";
    Shot(window, shot, false);
}

std::wstring FormText(App& app, int id) { return LiveText(app.Control(id)); }

// After a workflow during which 設定 was clicked or its key pressed: a marker
// is posted behind that input; once the marker has acted, so has everything
// queued before it, and input that got through would have opened dialog 138.
void CheckInputDropped(App& app, const std::string& what) {
    HWND stopBits = app.Control(IDC_STOP_BITS);
    const int before = ListSelection(stopBits);
    const int marker = before == 1 ? 0 : 1;
    PostMessageW(stopBits, CB_SETCURSEL, static_cast<WPARAM>(marker), 0);
    EXPECT_TRUE(WaitUntil([&] { return ListSelection(stopBits) == marker; }, 15000)) << what + ": queue worked off";
    SelectListItem(stopBits, before);
    app.Settle();
    HWND confirm = app.FindDialog(Title(IDD_SET_CONFIRM));
    EXPECT_TRUE(confirm == nullptr) << what;
    if (confirm != nullptr) ClickDialogButton(confirm, IDCANCEL);
}

void WaitGuide(App& app, int stringId, const std::string& when) {
    const std::wstring wanted = Widen(Str(stringId));
    const bool seen = WaitUntil([&] { return Caption(app.Control(IDC_GUIDE)) == wanted; }, 30000);
    EXPECT_TRUE(seen) << when + ": guide shows " + std::to_string(stringId);
    app.Settle();
}

struct Expected {
    const char* serial;
    const char* version;
    const char* frequency;
    const char* address;
    const char* baud;
    const char* dataBits;
    const char* parity;
    const char* stopBits;
    const char* pin12;
};

void CheckValues(App& app, const Expected& e, const std::string& when) {
    EXPECT_EQ(Narrow(FormText(app, IDC_SERIAL_NUMBER)), std::string(e.serial)) << when + ": serial number";
    EXPECT_EQ(Narrow(FormText(app, IDC_VERSION)), std::string(e.version)) << when + ": version";
    EXPECT_EQ(Narrow(FormText(app, IDC_FREQUENCY)), std::string(e.frequency)) << when + ": frequency";
    EXPECT_EQ(Narrow(FormText(app, IDC_ADDRESS)), std::string(e.address)) << when + ": address";
    EXPECT_EQ(Narrow(FormText(app, IDC_BAUD_RATE)), std::string(e.baud)) << when + ": baud rate";
    EXPECT_EQ(Narrow(FormText(app, IDC_DATA_BITS)), std::string(e.dataBits)) << when + ": data bits";
    EXPECT_EQ(Narrow(FormText(app, IDC_PARITY)), std::string(e.parity)) << when + ": parity";
    EXPECT_EQ(Narrow(FormText(app, IDC_STOP_BITS)), std::string(e.stopBits)) << when + ": stop bits";
    EXPECT_EQ(Narrow(FormText(app, IDC_PIN_12)), std::string(e.pin12)) << when + ": I/O 1-2";
}

bool Enabled(App& app, int id) { return IsWindowEnabled(app.Control(id)) != 0; }

void CheckNotes(App& app, const std::string& mode, const std::string& pins, const std::string& when) {
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_MODE_NOTE))), std::string(mode)) << when + ": mode note";
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_PIN_NOTE))), std::string(pins)) << when + ": pin note";
}

void CheckDeviceCommands(App& app, bool enabled, const std::string& when) {
    for (int id :
         {ID_TOOLS_INITIALIZE, ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE, ID_MODE_CANCEL_TRANSPARENT}) {
        EXPECT_TRUE(app.MenuCommandEnabled(id) == enabled)
            << when + ": menu command " + std::to_string(id) + (enabled ? " enabled" : " disabled");
    }
    EXPECT_TRUE(app.MenuCommandEnabled(ID_MODE_ESCAPE_TRANSPARENT)) << when + ": 透過モード脱出 enabled";
}

// Set with the given address: confirmation, the setting window, then dialog
// 140 answered with `answer`.
void Write(App& app, const wchar_t* address, int answer, const std::string& shots) {
    SetEditText(app.Control(IDC_ADDRESS), address);
    Click(app.Control(IDC_SET));
    Answer(app, IDD_SET_CONFIRM, IDOK, shots.empty() ? "" : "dialog-138-set-confirm");
    SeeProgress(app, IDD_SETTING, "dialog-146-setting");
    Answer(app, IDD_SET_DONE, answer, shots.empty() ? "" : "dialog-140-set-done");
}

const char kFactory[] = "9600";

bool FocusInForm(App& app) {
    HWND focus = app.Focus();
    return focus != nullptr && IsChild(app.Form(), focus);
}

// The keyboard focus reaches a control of the form within a few seconds.
bool FocusReachesForm(App& app) {
    return WaitUntil([&] { return FocusInForm(app); }, 5000);
}

// Tab until the control has the focus; false when it never gets it.
bool TabTo(App& app, int id) {
    HWND target = app.Control(id);
    for (int i = 0; i < 30 && app.Focus() != target; ++i) {
        HWND before = app.Focus();
        PressKey(VK_TAB);
        if (!WaitUntil([&] { return app.Focus() != before; }, 5000)) return false;
    }
    return app.Focus() == target;
}

void DemoRun(const std::wstring& exe) {
    App app(exe, L"--demo");

    // --- Start: no device.
    EXPECT_EQ(Narrow(Caption(app.Frame())), std::string(Str(AFX_IDS_APP_TITLE))) << "start: title bar";
    const LONG frameStyle = GetWindowLongW(app.Frame(), GWL_STYLE);
    EXPECT_TRUE((frameStyle & WS_THICKFRAME) == 0 && (frameStyle & WS_MAXIMIZEBOX) == 0 &&
                (frameStyle & WS_MINIMIZEBOX))
        << "start: the window cannot be resized or maximised, only minimised";
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_GUIDE))), std::string(Str(IDS_GUIDE_SCAN))) << "start: guide";
    EXPECT_EQ(Narrow(FormText(app, IDC_COM_PORT)), std::string("COM1")) << "start: port";
    EXPECT_EQ(Narrow(FormText(app, IDC_SERIAL_NUMBER)), std::string("000000000")) << "start: serial number";
    EXPECT_EQ(Narrow(FormText(app, IDC_VERSION)), std::string("0.00.000")) << "start: version";
    EXPECT_TRUE(ListSelection(app.Control(IDC_BAUD_RATE)) == -1) << "start: no baud rate selected";
    EXPECT_TRUE(!Enabled(app, IDC_SET) && !Enabled(app, IDC_FREQUENCY) && !Enabled(app, IDC_PIN_12) &&
                !Enabled(app, IDC_ADDRESS))
        << "start: setting controls disabled";
    EXPECT_TRUE(Enabled(app, IDC_SCAN) && Enabled(app, IDC_COM_PORT)) << "start: scan and port list enabled";
    CheckDeviceCommands(app, false, "start");
    for (int command : {SC_CLOSE, SC_MOVE, SC_MINIMIZE})
        EXPECT_TRUE(app.MenuCommandEnabled(command))
            << "start: window menu command " + std::to_string(command) + " enabled";
    Shot(app.Frame(), "main-start");

    // --- The port list open, on the devices present (the check maps COM24 and
    // COM25), then closed on one of them.
    {
        HWND ports = app.Control(IDC_COM_PORT);
        DWORD_PTR done = 0;
        SendMessageTimeoutW(ports, CB_SHOWDROPDOWN, TRUE, 0, SMTO_NORMAL, 10000, &done);
        app.Settle();
        // The open list is a top-level window of the program's own.
        HWND open = nullptr;
        while ((open = FindWindowExW(nullptr, open, L"ComboLBox", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(open, &owner);
            if (owner == app.ProcessId() && IsWindowVisible(open)) break;
        }
        EXPECT_NE(open, nullptr) << "port list: it opens";
        if (open != nullptr) Shot(open, "port-list-open");
        const std::vector<std::wstring> lines = ListTexts(ports);
        SendMessageTimeoutW(ports, CB_SHOWDROPDOWN, FALSE, 0, SMTO_NORMAL, 10000, &done);
        int com25 = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].rfind(L"COM25", 0) == 0) com25 = static_cast<int>(i);
        }
        EXPECT_GE(com25, 20) << "port list: COM25, which exists, after COM1 to COM20";
        EXPECT_EQ(Narrow(lines.back()), Str(IDS_PORT_OTHER)) << "port list: その他... last";
        if (com25 >= 0) {
            SelectListItem(ports, com25);
            app.Settle();
            Shot(app.Frame(), "main-port-closed");
        }
        SelectListItem(ports, 0);
        app.Settle();
    }

    // --- The keyboard: the focus is on the form from the start, and Tab moves it.
    app.ToFront();
    EXPECT_TRUE(FocusReachesForm(app)) << "start: the keyboard focus is on a control of the form";
    HWND first = app.Focus();
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusInForm(app) && app.Focus() != first; }, 5000))
        << "start: Tab moves the focus";

    app.Command(ID_APP_ABOUT);
    Answer(app, IDD_ABOUTBOX, IDOK, "dialog-100-about");
    EXPECT_TRUE(FocusReachesForm(app)) << "after the About box: the focus is back on the form";

    // --- Scan (the space bar on スキャン) and read. Meanwhile the user clicks
    // 設定: the click may not act once the search is over.
    EXPECT_TRUE(TabTo(app, IDC_SCAN)) << "Tab reaches スキャン";
    PressKey(VK_SPACE);
    HWND scan = app.WaitDialog(Title(IDD_SCAN));
    CheckDialogTexts(scan, IDD_SCAN);
    EXPECT_TRUE(!IsWindowEnabled(scan)) << "scan: search window takes no input";
    EXPECT_TRUE((GetWindowLongW(scan, GWL_STYLE) & WS_SYSMENU) == 0) << "scan: search window has no close box";
    EXPECT_TRUE(!IsWindowEnabled(app.Form())) << "scan: settings window disabled during the search";
    const std::wstring firstTried = Widen("57600,7,N,1");
    std::wstring tried;
    WaitUntil(
        [&] {
            tried = Caption(GetDlgItem(scan, IDC_SCAN_SETTINGS));
            return !tried.empty() && tried != firstTried;
        },
        15000);
    EXPECT_TRUE(!tried.empty() && tried != Widen("SERIAL SETTINGS")) << "scan: line settings shown: " + Narrow(tried);
    Shot(scan, "dialog-132-scan", false);
    HWND setButton = app.Control(IDC_SET);
    RECT box{};
    GetClientRect(setButton, &box);
    const LPARAM centre = MAKELPARAM(box.right / 2, box.bottom / 2);
    PostMessageW(setButton, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageW(setButton, WM_LBUTTONUP, 0, centre);
    SeeProgress(app, IDD_LOADING, "dialog-145-loading");
    WaitGuide(app, IDS_GUIDE_EDIT, "after scan");
    CheckInputDropped(app, "scan: the click on 設定 made during the search was dropped");
    CheckValues(app, {"123456789", "1.00.003", "2405", "0", "19200", "8", "偶数", "1", "デジタル入力"}, "after scan");
    EXPECT_TRUE(Enabled(app, IDC_SET) && Enabled(app, IDC_ADDRESS) && Enabled(app, IDC_PIN_12) &&
                Enabled(app, IDC_PIN_78))
        << "after scan: setting controls enabled";
    CheckNotes(app, "", "", "after scan");
    CheckDeviceCommands(app, true, "after scan");
    Shot(app.Frame(), "main-device");
    EXPECT_TRUE(FocusReachesForm(app)) << "after the search: the focus is back on the form";

    // --- Ctrl+V reaches the address box, not the menu's grey 貼り付け.
    SetEditText(app.Control(IDC_ADDRESS), L"");
    SetClipboardText(L"25");
    EXPECT_TRUE(TabTo(app, IDC_ADDRESS)) << "Tab reaches the address box";
    PressKey('V', {VK_CONTROL});
    EXPECT_TRUE(WaitUntil([&] { return FormText(app, IDC_ADDRESS) == L"25"; }, 5000))
        << "Ctrl+V pastes into the address box";

    // --- The address check: nothing is asked or sent.
    SetEditText(app.Control(IDC_ADDRESS), L"");
    Click(app.Control(IDC_SET));
    HWND message = app.WaitDialog(Str(AFX_IDS_APP_TITLE));
    app.Settle();
    bool saysBadAddress = false;
    for (const ControlInfo& c : Controls(message))
        saysBadAddress = saysBadAddress || c.text == Widen(Str(IDS_BAD_ADDRESS));
    EXPECT_TRUE(saysBadAddress) << "empty address: message 41448 with the program's title";
    Shot(message, "message-bad-address");
    ClickDialogButton(message, IDOK);
    app.WaitDialogGone(message);
    EXPECT_TRUE(app.FindDialog(Title(IDD_SET_CONFIRM)) == nullptr) << "empty address: no confirmation";

    // --- Escape key in the confirmation stops the write.
    SetEditText(app.Control(IDC_ADDRESS), L"1234");
    Click(app.Control(IDC_SET));
    HWND confirm = app.WaitDialog(Title(IDD_SET_CONFIRM));
    app.Settle();
    PostMessageW(GetDlgItem(confirm, IDOK), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(app.WaitDialogGone(confirm)) << "Escape closes the confirmation";
    app.Settle();
    EXPECT_TRUE(app.FindDialog(Line(IDD_SETTING)) == nullptr && app.FindDialog(Title(IDD_SET_DONE)) == nullptr)
        << "Escape in the confirmation: nothing written";
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_GUIDE))), std::string(Str(IDS_GUIDE_EDIT)))
        << "Escape in the confirmation: guide unchanged";

    // --- Write with the re-read offer taken: the values come back from the module.
    SelectListItem(app.Control(IDC_FREQUENCY), 10);
    SelectListItem(app.Control(IDC_BAUD_RATE), 5);
    SelectListItem(app.Control(IDC_PIN_12), 2);
    Write(app, L"1234", IDOK, "shots");
    SeeProgress(app, IDD_LOADING, "dialog-145-loading");
    WaitGuide(app, IDS_SET_DONE, "write and re-read");
    CheckValues(app, {"123456789", "1.00.003", "2415", "1234", "38400", "8", "偶数", "1", "アナログ入力"},
                "write and re-read");

    // --- Write, then 閉じる: the values stay as edited.
    Write(app, L"42", IDCANCEL, "");
    WaitGuide(app, IDS_SET_DONE, "write and close");
    EXPECT_EQ(Narrow(FormText(app, IDC_ADDRESS)), std::string("42")) << "write and close: address as edited";

    // --- Initialisation: factory settings, read back.
    // Meanwhile the user presses the space bar on 設定: dropped as well.
    app.Command(ID_TOOLS_INITIALIZE);
    Answer(app, IDD_INIT_CONFIRM, IDOK, "dialog-141-init-confirm");
    SeeProgress(app, IDD_INITIALIZING, "dialog-147-initializing");
    PostMessageW(app.Control(IDC_SET), WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(app.Control(IDC_SET), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
    WaitGuide(app, IDS_GUIDE_EDIT, "initialise");
    CheckInputDropped(app, "initialise: the key pressed on 設定 during the initialisation was dropped");
    CheckValues(app, {"123456789", "1.00.003", "2405", "0", kFactory, "8", "なし", "1", "デジタル入力"}, "initialise");

    // --- Transparent master, slave, cancel.
    app.Command(ID_MODE_TRANSPARENT_MASTER);
    Answer(app, IDD_MASTER_MODE, IDOK, "dialog-142-master");
    WaitUntil([&] { return Caption(app.Control(IDC_MODE_NOTE)) == Widen(Str(IDS_MODE_MASTER)); }, 30000);
    app.Settle();
    CheckNotes(app, Str(IDS_MODE_MASTER), Str(IDS_PINS_LOCKED_TRANSPARENT), "master");
    EXPECT_EQ(Narrow(FormText(app, IDC_ADDRESS)), std::string("0")) << "master: address";
    EXPECT_TRUE(!Enabled(app, IDC_PIN_12) && !Enabled(app, IDC_PIN_78) && Enabled(app, IDC_BAUD_RATE))
        << "master: pin lists disabled, line lists enabled";
    Shot(app.Frame(), "main-master");

    app.Command(ID_MODE_TRANSPARENT_SLAVE);
    Answer(app, IDD_SLAVE_MODE, IDOK, "dialog-143-slave");
    WaitUntil([&] { return Caption(app.Control(IDC_MODE_NOTE)) == Widen(Str(IDS_MODE_SLAVE)); }, 30000);
    app.Settle();
    CheckNotes(app, Str(IDS_MODE_SLAVE), Str(IDS_PINS_LOCKED_TRANSPARENT), "slave");
    EXPECT_EQ(Narrow(FormText(app, IDC_ADDRESS)), std::string("1")) << "slave: address";

    app.Command(ID_MODE_CANCEL_TRANSPARENT);
    Answer(app, IDD_STANDARD_MODE, IDOK, "dialog-144-standard");
    WaitUntil([&] { return Caption(app.Control(IDC_MODE_NOTE)).empty(); }, 30000);
    app.Settle();
    CheckNotes(app, "", "", "cancel");
    EXPECT_TRUE(Enabled(app, IDC_PIN_12)) << "cancel: pin lists enabled again";

    // --- Master again, then the module is switched off and on: it runs in
    // transparent mode and takes no commands. A write fails.
    app.Command(ID_MODE_TRANSPARENT_MASTER);
    Answer(app, IDD_MASTER_MODE, IDOK);
    WaitUntil([&] { return Caption(app.Control(IDC_MODE_NOTE)) == Widen(Str(IDS_MODE_MASTER)); }, 30000);
    app.Settle();
    constexpr int kDemoPowerCycle = 40001;  // the demo menu's one command
    app.DemoCommand(kDemoPowerCycle);
    app.Settle();
    Click(app.Control(IDC_SET));
    Answer(app, IDD_SET_CONFIRM, IDOK);
    Answer(app, IDD_SET_ERROR, IDOK, "dialog-139-set-error");
    app.Settle();
    EXPECT_TRUE(app.FindDialog(Title(IDD_SET_DONE)) == nullptr) << "failed write: no completion dialog";
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_GUIDE))), std::string(Str(IDS_GUIDE_EDIT)))
        << "failed write: guide does not say done";

    // --- Escape: start values, wrong settings fail, the retry shows the last
    // choice, the right settings succeed and the settings are read again.
    app.Command(ID_MODE_ESCAPE_TRANSPARENT);
    HWND escape = app.WaitDialog(Title(IDD_ESCAPE));
    app.Settle();
    CheckDialogTexts(escape, IDD_ESCAPE);
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_BAUD_RATE))), std::string("9600")) << "escape: start baud rate";
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_DATA_BITS))), std::string("8")) << "escape: start data bits";
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_PARITY))), std::string("なし")) << "escape: start parity";
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_STOP_BITS))), std::string("1")) << "escape: start stop bits";
    Shot(escape, "dialog-148-escape");
    SelectListItem(GetDlgItem(escape, IDC_BAUD_RATE), 0);
    SelectListItem(GetDlgItem(escape, IDC_PARITY), 1);
    ClickDialogButton(escape, IDOK);
    app.WaitDialogGone(escape);
    SeeProgress(app, IDD_ESCAPING, "dialog-153-escaping");
    Answer(app, IDD_ESCAPE_FAILED, IDOK, "dialog-152-escape-failed");
    escape = app.WaitDialog(Title(IDD_ESCAPE));
    app.Settle();
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_BAUD_RATE))), std::string("1200"))
        << "escape retry: last baud rate";
    EXPECT_EQ(Narrow(LiveText(GetDlgItem(escape, IDC_PARITY))), std::string("偶数")) << "escape retry: last parity";
    SelectListItem(GetDlgItem(escape, IDC_BAUD_RATE), 3);
    SelectListItem(GetDlgItem(escape, IDC_PARITY), 0);
    ClickDialogButton(escape, IDOK);
    app.WaitDialogGone(escape);
    Answer(app, IDD_ESCAPE_DONE, IDOK, "dialog-151-escape-done");
    WaitGuide(app, IDS_GUIDE_EDIT, "escape");
    EXPECT_EQ(Narrow(FormText(app, IDC_SERIAL_NUMBER)), std::string("123456789")) << "escape: the module answers again";
    // The module left transparent mode: a write goes through.
    Write(app, L"7", IDCANCEL, "");
    WaitGuide(app, IDS_SET_DONE, "write after escape");

    // --- A port that cannot be opened: the search ends at once, no device.
    SelectListItem(app.Control(IDC_COM_PORT), 19);
    Click(app.Control(IDC_SCAN));
    HWND openError = app.WaitDialog(Title(IDD_OPEN_ERROR));
    app.Settle();
    const std::wstring reason = Caption(GetDlgItem(openError, IDC_OPEN_REASON));
    EXPECT_THAT(Narrow(reason), HasSubstr("COM20")) << "port COM20: the dialog tells why";
    Answer(app, IDD_OPEN_ERROR, IDOK, "dialog-136-open-error");
    WaitGuide(app, IDS_GUIDE_SCAN, "port COM20");
    EXPECT_TRUE(!Enabled(app, IDC_SET)) << "port COM20: 設定 disabled";
    EXPECT_EQ(Narrow(FormText(app, IDC_ADDRESS)), std::string("7")) << "port COM20: last values stay";
    CheckDeviceCommands(app, false, "port COM20");

    // --- その他...: a port the list does not hold, typed; it stays in the list.
    HWND ports = app.Control(IDC_COM_PORT);
    const int other = static_cast<int>(SendMessageW(ports, CB_GETCOUNT, 0, 0)) - 1;
    SelectListItem(ports, other);
    // What the list tells the form when the user chooses a line.
    PostMessageW(app.Form(), WM_COMMAND, MAKEWPARAM(IDC_COM_PORT, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ports));
    HWND ask = app.WaitDialog(Str(AFX_IDS_APP_TITLE));
    app.Settle();
    SetEditText(GetDlgItem(ask, 1001), L"COM42");
    Shot(ask, "dialog-port-typed");
    ClickDialogButton(ask, IDOK);
    EXPECT_TRUE(app.WaitDialogGone(ask)) << "その他...: the dialog closes";
    EXPECT_EQ(Narrow(FormText(app, IDC_COM_PORT)), std::string("COM42")) << "その他...: the typed port is chosen";

    EXPECT_TRUE(app.Close()) << "closing asks nothing and the program ends with status 0";
}

void PortRun(const std::wstring& exe, const std::wstring& port) {
    App app(exe, L"");
    HWND ports = app.Control(IDC_COM_PORT);
    // The port (above COM20) is in the closed list at the first key pressed in
    // the box, which has the focus from the start: reachable with the arrow keys.
    app.ToFront();
    PressKey(VK_HOME);
    int index = -1;
    WaitUntil(
        [&] {
            const std::vector<std::wstring> closed = ListTexts(ports);
            for (std::size_t i = 0; i < closed.size(); ++i) {
                if (closed[i] == port) index = static_cast<int>(i);
            }
            return index >= 0;
        },
        5000);
    ASSERT_GE(index, 0) << Narrow(port) + " in the port list before it was opened";
    SelectListItem(ports, index);
    EXPECT_EQ(Narrow(LiveText(ports)), std::string(Narrow(port))) << "port chosen";
    // Opened, the list says what the port is (Wine lists its mapped ports as
    // serial devices); closed again, the box shows the name alone, still chosen.
    DropList(ports, true);
    const std::vector<std::wstring> open = ListTexts(ports);
    const std::wstring described = open.size() > static_cast<std::size_t>(index) ? open[index] : L"";
    EXPECT_THAT(Narrow(described), StartsWith(Narrow(port) + "  ")) << "open port list describes " + Narrow(port);
    EXPECT_GT(described.size(), port.size() + 2) << "open port list describes " + Narrow(port);
    DropList(ports, false);
    EXPECT_EQ(Narrow(LiveText(ports)), std::string(Narrow(port))) << "closed port list shows the name";
    EXPECT_TRUE(ListSelection(ports) == index) << "closed port list: the port stays chosen";
    Click(app.Control(IDC_SCAN));
    app.WaitDialog(Title(IDD_SCAN));
    WaitGuide(app, IDS_GUIDE_EDIT, "scan on " + Narrow(port));
    CheckValues(app, {"246813579", "2.04.017", "2405", "0", "38400", "8", "なし", "1", "デジタル入力"},
                "scan on " + Narrow(port));
    CheckDeviceCommands(app, true, "scan on " + Narrow(port));

    SelectListItem(app.Control(IDC_FREQUENCY), 75);
    Write(app, L"4321", IDOK, "");
    WaitGuide(app, IDS_SET_DONE, "write and re-read on " + Narrow(port));
    CheckValues(app, {"246813579", "2.04.017", "2480", "4321", "38400", "8", "なし", "1", "デジタル入力"},
                "write and re-read on " + Narrow(port));

    EXPECT_TRUE(app.Close()) << "closing ends the program with status 0";
}

// The file name box of the system's file dialog: the combo box of the
// Explorer-style dialog (cmb13), or the edit of the older one (edt1).
HWND FileNameBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, 0x47C);
    return box != nullptr ? box : GetDlgItem(dialog, 0x480);
}

// Types `name` into the file dialog titled `title` and presses its OK button.
void ChooseFile(App& app, const char* title, const std::wstring& name, const std::string& shot) {
    HWND dialog = app.WaitDialog(title);
    app.Settle();
    if (!shot.empty()) Shot(dialog, shot);
    HWND box = FileNameBox(dialog);
    ASSERT_TRUE(box != nullptr) << title << ": a file name box";
    SetEditText(box, name);
    ClickDialogButton(dialog, IDOK);
    EXPECT_TRUE(app.WaitDialogGone(dialog)) << title << ": the dialog closes with OK";
    app.Settle();
}

std::string ReadFileText(const std::wstring& name) {
    std::string text;
    if (std::FILE* file = _wfopen(name.c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
        std::fclose(file);
    }
    return text;
}

void ProfileRun(const std::wstring& exe) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"velmora-profile";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring saved = folder + L"\\" + Widen("一号機.json");
    const std::wstring other = folder + L"\\" + Widen("二号機.json");
    DeleteFileW(saved.c_str());
    // What `tarnik read --json` prints for another module.
    const std::string json = R"({"format": 1, "serialNumber": 987654321, "version": "1.02.000", "runningMode": 0,
  "storedMode": 0, "address": 25, "addressLocked": false, "channel": 10, "channelMHz": 2415,
  "baudRate": 38400, "dataBits": 7, "parity": "O", "stopBits": 2, "pins": "2000", "pinsFixed": false})";
    if (std::FILE* file = _wfopen(other.c_str(), L"wb")) {
        std::fwrite(json.data(), 1, json.size(), file);
        std::fclose(file);
    }

    App app(exe, L"--demo");
    EXPECT_FALSE(app.MenuCommandEnabled(ID_FILE_OPEN_)) << "start: 開く... grey without a module";
    Click(app.Control(IDC_SCAN));
    WaitGuide(app, IDS_GUIDE_EDIT, "after scan");
    for (int id : {ID_FILE_OPEN_, ID_FILE_SAVE_, ID_FILE_SAVE_AS_})
        EXPECT_TRUE(app.MenuCommandEnabled(id)) << "after scan: menu command " + std::to_string(id) + " enabled";
    EXPECT_FALSE(app.MenuCommandEnabled(ID_FILE_NEW_)) << "after scan: 新規作成 stays grey";

    // --- Ctrl+S without a current file: the save dialog, then the file.
    SelectListItem(app.Control(IDC_BAUD_RATE), 6);  // 57600
    app.ToFront();
    PressKey('S', {VK_CONTROL});
    ChooseFile(app, "名前を付けて保存", saved, "dialog-file-save");
    const std::string text = ReadFileText(saved);
    EXPECT_THAT(text, StartsWith("{\n  \"format\": 1,\n  \"address\": 0,")) << "saved profile:\n" + text;
    EXPECT_THAT(text, HasSubstr("\"baudRate\": 57600,")) << "saved profile:\n" + text;
    EXPECT_THAT(text, HasSubstr("\"parity\": \"E\",")) << "saved profile:\n" + text;

    // --- Ctrl+O: the open dialog, the form shows the file's values, the
    // guide asks for 設定; nothing is written.
    app.ToFront();
    PressKey('O', {VK_CONTROL});
    ChooseFile(app, "開く", other, "dialog-file-open");
    CheckValues(app, {"123456789", "1.00.003", "2415", "25", "38400", "7", "奇数", "2", "アナログ入力"},
                "after opening a profile");
    EXPECT_EQ(Narrow(Caption(app.Control(IDC_GUIDE))), Str(IDS_GUIDE_EDIT)) << "after opening: guide";
    Shot(app.Frame(), "main-profile-opened");

    // --- Ctrl+S now writes to the opened file without asking.
    app.ToFront();
    PressKey('S', {VK_CONTROL});
    // The write happens in the program's own time: wait until the file is
    // the program's (a saved profile carries no serial number), not a while.
    EXPECT_TRUE(WaitUntil([&] { return ReadFileText(other).find("serialNumber") == std::string::npos; }, 15000))
        << "the opened file saved again:\n" + ReadFileText(other);
    EXPECT_TRUE(app.FindDialog("名前を付けて保存") == nullptr) << "Ctrl+S with a current file asks nothing";
    EXPECT_THAT(ReadFileText(other), HasSubstr("\"pins\": \"2000\"")) << "the opened file saved again";

    EXPECT_TRUE(app.Close()) << "closing ends the program with status 0";
    DeleteFileW(saved.c_str());
    DeleteFileW(other.c_str());
    RemoveDirectoryW(folder.c_str());
}

void DialogRun(const std::wstring& exe, int dialogId) {
    App app(exe, L"--show-dialog " + std::to_wstring(dialogId));
    Answer(app, dialogId, IDOK, "dialog-" + std::to_string(dialogId));
    app.Settle();
    EXPECT_TRUE(app.Close()) << "closing ends the program with status 0";
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

int ChildCount(HWND window) {
    int count = 0;
    for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) ++count;
    return count;
}

std::wstring FontFace(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

// In a prefix without "ＭＳ Ｐゴシック" and with `face`: the program's lookup
// finds `face`, and every dialog of velmora.exe, built from its template
// with the face replaced, has the face and all the controls of the original.
// (The fonts of another process cannot be asked for; the templates are
// rebuilt here by the program's own code from the program's own resources.)
void FaceRun(const std::wstring& exe, const std::wstring& face) {
    EXPECT_EQ(Narrow(DialogFaceName()), Narrow(face)) << "the face found in this prefix";
    HMODULE program = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr) << "velmora.exe's resources";
    std::vector<int> ids;
    EnumResourceNamesW(
        program, MAKEINTRESOURCEW(5),
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
            if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(list)->push_back(LOWORD(name));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&ids));
    EXPECT_GT(ids.size(), 10u) << "the program's dialogs";
    HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const auto instance = static_cast<HINSTANCE>(program);
    for (int id : ids) {
        const std::vector<WORD> copy = DialogTemplateInFace(instance, id);
        ASSERT_FALSE(copy.empty()) << "dialog " << id;
        HWND original = CreateDialogParamW(instance, MAKEINTRESOURCEW(id), parent, QuietDialogProc, 0);
        HWND rebuilt = CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), parent,
                                                  QuietDialogProc, 0);
        // The about box's icon needs the program loaded as a program, not as data.
        if (original == nullptr) continue;
        ASSERT_NE(rebuilt, nullptr) << "dialog " << id;
        EXPECT_EQ(Narrow(FontFace(rebuilt)), Narrow(face)) << "dialog " << id;
        EXPECT_EQ(ChildCount(rebuilt), ChildCount(original)) << "dialog " << id;
        DestroyWindow(rebuilt);
        DestroyWindow(original);
    }
    DestroyWindow(parent);
    FreeLibrary(program);

    App app(exe, L"--demo");
    EXPECT_EQ(Narrow(FormText(app, IDC_COM_PORT)), std::string("COM1")) << "the form, in " << Narrow(face);
    app.Settle();
    Shot(app.Frame(), "main-fallback-face");
    EXPECT_TRUE(app.Close()) << "closing ends the program with status 0";
}

}  // namespace

// The command line after GoogleTest has taken its own options.
std::vector<std::wstring> g_args;

TEST(VelmoraExe, DemoModule) { DemoRun(g_args[0]); }
TEST(VelmoraExe, ModuleOnAComPort) { PortRun(g_args[0], g_args[2]); }
TEST(VelmoraExe, OneDialog) { DialogRun(g_args[0], std::stoi(g_args[2])); }
TEST(VelmoraExe, FallbackFace) { FaceRun(g_args[0], g_args[2]); }
TEST(VelmoraExe, Profiles) { ProfileRun(g_args[0]); }

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    g_args.assign(argv + 1, argv + argc);
    const std::wstring mode = g_args.size() >= 2 ? g_args[1] : L"";
    for (std::size_t i = 2; i + 1 < g_args.size(); ++i) {
        if (g_args[i] == L"--shots") SetShotFolder(g_args[i + 1]);
    }
    if (mode == L"demo")
        testing::GTEST_FLAG(filter) = "VelmoraExe.DemoModule";
    else if (mode == L"port" && g_args.size() > 2)
        testing::GTEST_FLAG(filter) = "VelmoraExe.ModuleOnAComPort";
    else if (mode == L"profile")
        testing::GTEST_FLAG(filter) = "VelmoraExe.Profiles";
    else if (mode == L"dialog" && g_args.size() > 2)
        testing::GTEST_FLAG(filter) = "VelmoraExe.OneDialog";
    else if (mode == L"face" && g_args.size() > 2)
        testing::GTEST_FLAG(filter) = "VelmoraExe.FallbackFace";
    else {
        std::fputs("usage: velmora_ui_test VELMORA.EXE demo|port COMn|profile|dialog ID|face FACE [--shots FOLDER]\n",
                   stderr);
        return 2;
    }
    return RUN_ALL_TESTS();
}
