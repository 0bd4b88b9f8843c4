#include "RecorderHost.h"

#include <algorithm>
#include <chrono>

#include "ResourceIds.h"

int RecorderHost::RunDialog(int dialogId) {
    log.push_back("dialog " + std::to_string(dialogId));
    if (onDialog) onDialog(dialogId);
    if (dialogAnswers.empty()) return IDOK;
    const int answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

void RecorderHost::ShowMessage(int stringId) { log.push_back("message " + std::to_string(stringId)); }

void RecorderHost::CreateProgress(int dialogId) {
    log.push_back("create " + std::to_string(dialogId));
    openProgress.push_back(dialogId);
}

void RecorderHost::SetProgressText(int dialogId, const KvString& text) {
    log.push_back("text " + std::to_string(dialogId) + " " + text.Bytes());
}

void RecorderHost::DestroyProgress(int dialogId) {
    log.push_back("destroy " + std::to_string(dialogId));
    const auto it = std::find(openProgress.begin(), openProgress.end(), dialogId);
    if (it != openProgress.end()) openProgress.erase(it);
}

void RecorderHost::BeginWaitCursor() {
    log.push_back("wait+");
    ++waitDepth;
}

void RecorderHost::EndWaitCursor() {
    log.push_back("wait-");
    --waitDepth;
}

void RecorderHost::UpdateAllViews() {
    log.push_back("update");
    if (onUpdate) onUpdate();
}

void RecorderHost::Sleep(unsigned milliseconds) {
    log.push_back("sleep " + std::to_string(milliseconds));
    clock_.SleepFor(std::chrono::milliseconds(milliseconds));
}

std::vector<std::string> RecorderHost::Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const auto& line : log) {
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
}

std::vector<int> RecorderHost::Dialogs() const {
    std::vector<int> ids;
    for (const auto& line : Lines("dialog ")) ids.push_back(std::stoi(line.substr(7)));
    return ids;
}

std::vector<std::string> RecorderHost::ScanTexts() const {
    const std::string prefix = "text " + std::to_string(IDD_SCAN) + " ";
    std::vector<std::string> texts;
    for (const auto& line : Lines(prefix)) texts.push_back(line.substr(prefix.size()));
    return texts;
}

void RecorderHost::Clear() {
    log.clear();
    waitDepth = 0;
    openProgress.clear();
}
