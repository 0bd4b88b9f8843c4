#pragma once
// The workflows' user interface on a console. Dialogs become messages on
// standard error (the dialog's own lines), confirmations are answered by --yes
// or asked on the terminal, progress windows become progress lines. The host
// remembers every dialog and message it was shown, in order, so the command
// can tell afterwards which failure ended a workflow.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "KvClock.h"
#include "WorkflowHost.h"

struct ConsoleOptions {
    bool yes = false;          // every confirmation answered with OK
    bool reload = false;       // the done dialog of a write answered with "再読み込み"
    bool quiet = false;        // no progress lines and no result messages; errors still shown
    bool interactive = false;  // standard input is a terminal: confirmations may be asked
    bool terminal = false;     // standard error is a terminal: progress lines overwrite themselves
    std::string prefix;        // put before every line ("/dev/ttyUSB0: " for one of several stations)
};

class ConsoleHost : public WorkflowHost {
public:
    ConsoleHost(const ConsoleOptions& options, KvClock& clock, std::FILE* out = stderr, std::FILE* in = stdin);
    ~ConsoleHost() override;

    int RunDialog(int dialogId) override;
    void ShowMessage(int stringId) override;
    void ReportOpenFailure(const KvPortOpenFailure& failure) override;
    void ReportDeviceGone(const KvPortFailure& failure) override;
    void CreateProgress(int dialogId) override;
    void SetProgressText(int dialogId, const KvString& text) override;
    void DestroyProgress(int dialogId) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void UpdateAllViews() override { ++updates; }
    void Sleep(unsigned milliseconds) override;

    // A line of the tool's own on the message stream: Note always (errors,
    // refusals), Info unless --quiet (what is about to happen).
    void Note(const std::string& text);
    void Info(const std::string& text);
    // Asks a yes/no question of the tool's own; false without a terminal.
    bool Ask(const std::string& question);

    const ConsoleOptions& Options() const { return options_; }
    KvClock& Clock() const { return clock_; }

    // What was shown, in order: modal dialogs and message boxes.
    struct Event {
        bool message = false;  // a message box (string id) rather than a dialog
        int id = 0;
    };
    std::vector<Event> events;
    bool declined = false;  // a confirmation was answered with "no"
    int updates = 0;
    int scanAttempts = 0;  // candidates shown by the last search
    // Why the port could not be opened or the device went away, when the
    // system said; the hints printed with the last failure; the tool's own
    // last note.
    std::optional<KvPortOpenFailure> openFailure;
    std::vector<std::string> hints;
    std::string lastNote;

    bool Saw(int dialogId) const;
    bool SawMessage(int stringId) const;
    // The first error report: dialog 136, 137, 139 or 152, or message 41453; 0 when none.
    int FirstFailure() const;
    // Forget what was shown (before the next workflow of the same command).
    void ClearEvents();
    // Shows hints ("  hint: ...") and keeps them for the JSON error object.
    void PrintHints(const std::vector<std::string>& list);

private:
    bool Confirm(int dialogId);
    void PrintDialog(int dialogId, bool headlineOnly);
    void EndProgressLine();
    void Print(const std::string& line);
    void ShowCandidate(const std::string& line);
    void ReleaseScanLines();

    ConsoleOptions options_;
    KvClock& clock_;
    std::FILE* out_;
    std::FILE* in_;
    bool progressLineOpen_ = false;    // a terminal progress line waits to be overwritten
    bool openFailurePending_ = false;  // the next port-error dialog (any failure dialog when gone) carries openFailure
    // The search's first lines wait until the port has opened: a port that
    // cannot be opened was never searched, and its error comes alone.
    std::string heldScanTitle_;
    std::string heldCandidate_;
};
