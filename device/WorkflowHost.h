#pragma once
#include "KvExceptions.h"
#include "KvString.h"

#include <string>

// What the workflows need of a user interface, and nothing more. The desktop
// program implements it with Qt, the command-line tool on the console, the
// tests with a recorder that answers dialogs from a script.
class WorkflowHost {
public:
    virtual ~WorkflowHost() = default;

    // Runs a modal dialog by its number (IDD_...); returns IDOK or IDCANCEL.
    virtual int RunDialog(int dialogId) = 0;
    // Why the port could not be opened, told right before the port-error
    // dialog (IDD_OPEN_ERROR) that reports it, for a front-end to show beside
    // the dialog's own text. Not told when the port failed in another way.
    virtual void ReportOpenFailure(const KvPortOpenFailure& failure) { (void)failure; }
    // Why a read or write failed when the device went away (cause Gone: an
    // adapter unplugged), told right before the failure dialog that reports
    // it (communication error, setting error, port error), for a front-end to
    // show beside it as it does the reason of an open failure.
    virtual void ReportDeviceGone(const KvPortFailure& failure) { (void)failure; }
    // What the confirmation of a write (IDD_SET_CONFIRM) is about to change,
    // told right before it, for a front-end to show under the dialog's text.
    virtual void ReportChanges(const std::string& line) { (void)line; }
    // Message box with the application title, the exclamation icon and OK.
    virtual void ShowMessage(int stringId) = 0;

    // Progress windows (IDD_SCAN, IDD_LOADING, IDD_SETTING, IDD_INITIALIZING,
    // IDD_ESCAPING): created disabled, shown and painted at once; they take no input.
    virtual void CreateProgress(int dialogId) = 0;
    // Sets the scan window's settings line and repaints the window now.
    virtual void SetProgressText(int dialogId, const KvString& text) = 0;
    virtual void DestroyProgress(int dialogId) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Every view refreshes itself from the document.
    virtual void UpdateAllViews() = 0;

    // Blocking sleep (the restart wait after a factory initialisation).
    virtual void Sleep(unsigned milliseconds) = 0;
};

// Shows the wait cursor for the life of the object.
class WaitCursor {
public:
    explicit WaitCursor(WorkflowHost& host) : host_(host) { host_.BeginWaitCursor(); }
    ~WaitCursor() { host_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    WorkflowHost& host_;
};
