#pragma once
// A user's hands on velmora.exe from outside: starts the program, finds its
// windows, clicks their buttons, reads their texts and control values, and
// takes pictures of them. Everything goes through the Windows API the way
// another program would see the windows (FindWindow, EnumChildWindows,
// BM_CLICK, WM_GETTEXT), so the real message loop, dialogs and host run.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace driver {

// A step that cannot go on (a window that never came) ends the test, failed:
// the error is thrown, and GoogleTest reports it with its text.
struct DriverError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void Fatal(const std::string& what);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// Waits until `ready` is true, polling every 20 ms, at most timeoutMs.
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

class App {
public:
    App(const std::wstring& exe, const std::wstring& args);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    DWORD ProcessId() const { return process_.dwProcessId; }
    HWND Frame() const { return frame_; }
    HWND Form() const { return form_; }
    HWND Control(int id) const { return GetDlgItem(form_, id); }

    // Waits until the program has processed everything queued and waits for input.
    void Settle() const;
    // Closes the main window; true when the process ended with status 0.
    bool Close();

    // A visible top-level dialog of the program with this title (UTF-8), or
    // whose first static text is `title` for the untitled progress windows.
    HWND FindDialog(const std::string& title) const;
    HWND WaitDialog(const std::string& title, int timeoutMs = 15000) const;
    bool WaitDialogGone(HWND dialog, int timeoutMs = 15000) const;

    // The enabled state of a menu command after the menu has been prepared
    // for showing, as when the user opens it.
    bool MenuCommandEnabled(int commandId) const;
    // The window of the program that has the keyboard focus, if any.
    HWND Focus() const;
    // Brings the main window to the front, so that the keys typed reach it.
    void ToFront() const;
    void Command(int commandId) const;
    void DemoCommand(int commandId) const;

private:
    [[noreturn]] void StopStarted(const std::string& what);

    PROCESS_INFORMATION process_{};
    HWND frame_ = nullptr;
    HWND form_ = nullptr;
};

// Texts of a window's controls, top to bottom as created.
struct ControlInfo {
    HWND window;
    std::wstring className;
    int id;
    std::wstring text;
    bool enabled;
    bool visible;
};
std::vector<ControlInfo> Controls(HWND parent);
// The caption of a window, read without sending it a message (works while its thread is busy).
std::wstring Caption(HWND window);
// The text of a control by WM_GETTEXT (edit and list contents): its thread must be idle.
std::wstring LiveText(HWND control);
int ListSelection(HWND list);
void SelectListItem(HWND list, int index);
// The lines of a combo box's list, in order.
std::vector<std::wstring> ListTexts(HWND list);
// Opens or closes a combo box's list as its button does (CBN_DROPDOWN, CBN_CLOSEUP).
void DropList(HWND list, bool open);
void SetEditText(HWND edit, const std::wstring& text);
// Types a key as the keyboard does (SendInput), with the modifier keys held
// down around it: it reaches the window with the focus through the program's
// message loop, accelerators and dialog keys included.
void PressKey(WORD key, std::initializer_list<WORD> held = {});
void SetClipboardText(const std::wstring& text);
// Posts a click (BM_CLICK) to a button: the driver does not wait for its handler.
void Click(HWND button);
void ClickDialogButton(HWND dialog, int id);

// Pictures: when a folder is set, Shot writes the window as it is on the
// screen into FOLDER/NAME.bmp. ownerWaiting: the window's thread waits for
// input (a modal dialog, the idle main window), so it can be made to paint
// anew first; false for a progress window, whose thread is busy.
void SetShotFolder(const std::wstring& folder);
void Shot(HWND window, const std::string& name, bool ownerWaiting = true);

}  // namespace driver
