#pragma once
// The workflow host of the benchmarks: every dialog is answered with OK, what
// was shown is remembered, and the sleep really sleeps.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ResourceIds.h"
#include "WorkflowHost.h"

class BenchHost : public WorkflowHost {
public:
    int RunDialog(int dialogId) override {
        shown.push_back("dialog " + std::to_string(dialogId));
        lastShown = dialogId;
        return IDOK;
    }
    void ShowMessage(int stringId) override {
        shown.push_back("message " + std::to_string(stringId));
        lastShown = stringId;
    }
    void CreateProgress(int) override {}
    void SetProgressText(int, const KvString&) override { ++progressTexts; }
    void DestroyProgress(int) override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void UpdateAllViews() override {}
    void Sleep(unsigned milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

    std::vector<std::string> shown;  // "dialog N" / "message N", in order
    int lastShown = 0;               // number of the last dialog or message
    int progressTexts = 0;           // a search sets one per candidate
};
