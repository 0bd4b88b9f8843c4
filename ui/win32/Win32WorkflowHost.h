#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "KvClock.h"
#include "WorkflowHost.h"

// The workflows' window on the user, made of Win32 windows: modal dialogs from
// the resource script, message boxes with the program's title, the modeless
// progress windows that stay on screen while the thread blocks on the line, the
// wait cursor, the views' refresh and the blocking sleep.
class Win32WorkflowHost final : public WorkflowHost {
public:
    explicit Win32WorkflowHost(KvClock& clock = SteadyClock());
    ~Win32WorkflowHost() override;
    Win32WorkflowHost(const Win32WorkflowHost&) = delete;
    Win32WorkflowHost& operator=(const Win32WorkflowHost&) = delete;

    // The owner of every dialog and progress window.
    void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
    HWND MainWindow() const { return mainWindow_; }
    // Views refreshed by UpdateAllViews.
    void AddView(std::function<void()> refresh) { views_.push_back(std::move(refresh)); }

    int RunDialog(int dialogId) override;
    // Shown in the port-error dialog that follows.
    void ReportOpenFailure(const KvPortOpenFailure& failure) override;
    void ReportDeviceGone(const KvPortFailure& failure) override;
    void ReportChanges(const std::string& line) override;
    void ShowMessage(int stringId) override;
    // The same message box with a text of the program's own (UTF-8, lines by '\n').
    void ShowText(const std::string& text);
    void CreateProgress(int dialogId) override;
    void SetProgressText(int dialogId, const KvString& text) override;
    void DestroyProgress(int dialogId) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void UpdateAllViews() override;
    void Sleep(unsigned milliseconds) override;

    // The progress window of that number while its workflow runs, else null.
    HWND ProgressWindow(int dialogId) const;
    // True while a wait cursor is asked for.
    bool Waiting() const { return waitCursors_ > 0; }

private:
    KvClock& clock_;
    HWND mainWindow_ = nullptr;
    std::vector<std::function<void()>> views_;
    std::map<int, HWND> progress_;
    int waitCursors_ = 0;
    std::string pendingOpenFailure_;
};

// Held by every handler that runs a workflow. The workflow blocks the thread, so
// whatever the user clicks or types meanwhile waits in the thread's queue; when
// the last blocker is released that input is thrown away, so a click on 設定
// made during a scan does not start a write when the scan has ended. Input
// queued before a modal dialog of the workflow opens is thrown away as well:
// the dialog gets only what is done to it.
class WorkflowInputBlocker {
public:
    WorkflowInputBlocker();
    ~WorkflowInputBlocker();
    WorkflowInputBlocker(const WorkflowInputBlocker&) = delete;
    WorkflowInputBlocker& operator=(const WorkflowInputBlocker&) = delete;

    // True while a workflow runs: handlers start no second one, the frame does not close.
    static bool Active();
};

// Puts what has just been painted on the screen before the thread blocks.
void ShowPaintedNow();

// Removes the keyboard and mouse messages waiting in the thread's queue.
void DropQueuedInput();
