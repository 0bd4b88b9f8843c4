#pragma once
// A workflow host for tests: answers modal dialogs from a script and writes
// every call into one log, in order, as short lines:
//   "dialog 136"  "message 41453"  "create 145"  "text 132 57600bps, 7bits, none, stop1"
//   "destroy 145"  "wait+"  "wait-"  "update"  "sleep 1200"
// Its Sleep moves the clock it was given (a KvVirtualClock in tests).
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "KvClock.h"
#include "WorkflowHost.h"

class RecorderHost : public WorkflowHost {
public:
    explicit RecorderHost(KvClock& clock) : clock_(clock) {}

    int RunDialog(int dialogId) override;
    void ReportChanges(const std::string& line) override { log.push_back("changes " + line); }
    void ShowMessage(int stringId) override;
    void CreateProgress(int dialogId) override;
    void SetProgressText(int dialogId, const KvString& text) override;
    void DestroyProgress(int dialogId) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void UpdateAllViews() override;
    void Sleep(unsigned milliseconds) override;

    // Script: answers of the next modal dialogs, in order; IDOK once it runs out.
    std::deque<int> dialogAnswers;
    // Called while a modal dialog is up, before it is answered: lets a test look
    // at the port, the conduit or the document at that moment.
    std::function<void(int dialogId)> onDialog;
    // Called after every views update.
    std::function<void()> onUpdate;

    // Record
    std::vector<std::string> log;
    int waitDepth = 0;              // wait cursors shown and not yet hidden
    std::vector<int> openProgress;  // progress windows created and not destroyed

    // The log lines that start with `prefix` ("dialog ", "text 132 "), in order.
    std::vector<std::string> Lines(const std::string& prefix) const;
    // Modal dialog numbers in the order shown.
    std::vector<int> Dialogs() const;
    // The scan window's settings lines, in order.
    std::vector<std::string> ScanTexts() const;
    void Clear();

private:
    KvClock& clock_;
};
