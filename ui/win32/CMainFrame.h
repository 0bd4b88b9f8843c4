#pragma once
#include <windows.h>

#include <functional>

class CVelmoraView;
class Win32WorkflowHost;

// The main window: title bar with system menu and minimise box, the menu bar of
// resource 128, no status bar, no toolbar; its client area is the settings form.
class CMainFrame {
public:
    CMainFrame(CVelmoraView& view, Win32WorkflowHost& host);
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window (hidden) and the form inside it.
    bool Create();
    HWND Window() const { return window_; }

    // Demo mode: a menu "デモ" whose one command switches the module off and on.
    void AddDemoMenu(std::function<void()> powerCycle);

    // Test switch --show-dialog: runs the modal dialog of that number once the
    // message loop runs, for pictures of dialogs no workflow of the demo reaches.
    void ShowDialogLater(int dialogId);

    // Other programs cannot read a menu of this one under every system (Wine
    // keeps menus inside their process), so a driver asks the frame: message
    // kCommandStateMessage with the command number prepares the menu holding
    // it as opening it would, and answers 1 (enabled), 0 (grey) or -1 (no such item);
    // a system command (SC_CLOSE, SC_MOVE, ...) asks about the window menu.
    static constexpr UINT kCommandStateMessage = WM_APP + 2;

    // The command number of the demo menu's power cycle.
    static constexpr int kDemoPowerCycle = 40001;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitMenuPopup(HMENU menu);
    void OnCommand(int commandId);
    LRESULT CommandState(int commandId);

    CVelmoraView& view_;
    Win32WorkflowHost& host_;
    HWND window_ = nullptr;
    std::function<void()> powerCycle_;
};
