#include "Win32WorkflowHost.h"

#include <chrono>
#include <utility>

#include "DialogLayout.h"
#include "PortFailureLine.h"
#include "ResourceIds.h"
#include "Wide.h"
#include "Win32Dialogs.h"

// Puts what was just painted on the screen. On Windows a paint is on the screen
// when UpdateWindow returns; a window system that draws into a buffer of its own
// (Wine's X11 driver) sends the buffer on when the thread next looks at its
// queue, which a blocked workflow would not do before it ends. So the queue is
// idle for a millisecond, waiting for no kind of message: nothing is taken
// from the queue. (Looking at the queue alone is not enough there: a buffer
// is sent on at once only when the thread goes idle.)
void ShowPaintedNow() {
    GdiFlush();
    MsgWaitForMultipleObjectsEx(0, nullptr, 1, 0, 0);
}

Win32WorkflowHost::Win32WorkflowHost(KvClock& clock) : clock_(clock) {}

Win32WorkflowHost::~Win32WorkflowHost() {
    for (auto& [id, window] : progress_) {
        if (IsWindow(window)) DestroyWindow(window);
    }
}

int Win32WorkflowHost::RunDialog(int dialogId) {
    if (WorkflowInputBlocker::Active()) DropQueuedInput();
    const std::string reason = HasReasonLine(dialogId) ? pendingOpenFailure_ : std::string();
    pendingOpenFailure_.clear();
    return RunModalDialog(dialogId, mainWindow_, reason);
}

void Win32WorkflowHost::ReportOpenFailure(const KvPortOpenFailure& failure) {
    pendingOpenFailure_ = KvPortFailureLine(failure);
}

void Win32WorkflowHost::ReportChanges(const std::string& line) { pendingOpenFailure_ = line; }

void Win32WorkflowHost::ReportDeviceGone(const KvPortFailure& failure) {
    pendingOpenFailure_ = KvPortFailureLine(failure);
}

void Win32WorkflowHost::ShowMessage(int stringId) {
    if (WorkflowInputBlocker::Active()) DropQueuedInput();
    MessageBoxW(mainWindow_, TextW(stringId).c_str(), TextW(AFX_IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void Win32WorkflowHost::ShowText(const std::string& text) {
    if (WorkflowInputBlocker::Active()) DropQueuedInput();
    // A message box breaks its lines at CR LF.
    std::string lines;
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    MessageBoxW(mainWindow_, Widen(lines).c_str(), TextW(AFX_IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void Win32WorkflowHost::CreateProgress(int dialogId) {
    DestroyProgress(dialogId);
    HWND window = CreateProgressWindow(dialogId, mainWindow_);
    if (window == nullptr) return;
    progress_[dialogId] = window;
    // Disabled and blanked in its WM_INITDIALOG; the search window is visible
    // by its resource, the others are shown here.
    if (dialogId != IDD_SCAN) ShowWindow(window, SW_SHOWNA);
    UpdateWindow(window);
    ShowPaintedNow();
}

void Win32WorkflowHost::SetProgressText(int dialogId, const KvString& text) {
    HWND window = ProgressWindow(dialogId);
    if (window == nullptr) return;
    SetDlgItemTextW(window, IDC_SCAN_SETTINGS, Widen(text.CStr()).c_str());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ShowPaintedNow();
}

void Win32WorkflowHost::DestroyProgress(int dialogId) {
    auto it = progress_.find(dialogId);
    if (it == progress_.end()) return;
    HWND window = it->second;
    progress_.erase(it);
    if (IsWindow(window)) DestroyWindow(window);
}

HWND Win32WorkflowHost::ProgressWindow(int dialogId) const {
    auto it = progress_.find(dialogId);
    return it == progress_.end() ? nullptr : it->second;
}

void Win32WorkflowHost::BeginWaitCursor() {
    ++waitCursors_;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32WorkflowHost::EndWaitCursor() {
    if (waitCursors_ == 0) return;
    if (--waitCursors_ == 0) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void Win32WorkflowHost::UpdateAllViews() {
    const auto views = views_;
    for (const auto& refresh : views) refresh();
}

void Win32WorkflowHost::Sleep(unsigned milliseconds) { clock_.SleepFor(std::chrono::milliseconds(milliseconds)); }

// ---------------------------------------------------------------------------
// Input while a workflow blocks

namespace {
int g_blockers = 0;
}

void DropQueuedInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    // Clicks on the title bar and the frame (the close box among them).
    while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCMBUTTONDBLCLK, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_NCXBUTTONDOWN, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

WorkflowInputBlocker::WorkflowInputBlocker() { ++g_blockers; }

WorkflowInputBlocker::~WorkflowInputBlocker() {
    if (--g_blockers == 0) DropQueuedInput();
}

bool WorkflowInputBlocker::Active() { return g_blockers > 0; }
