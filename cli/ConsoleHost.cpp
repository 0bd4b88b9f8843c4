#include "ConsoleHost.h"

#include <chrono>
#include <cstring>

#include "DialogTexts.h"
#include "Failure.h"
#include "Language.h"
#include "Output.h"
#include "ResourceIds.h"
#include "SerialSettings.h"
#include "Texts.h"
#include "Utf8Text.h"

namespace {

// The question a confirmation asks on the terminal; nullptr for no confirmation.
const char* ConfirmQuestion(int dialogId) {
    const CliDialogText* dialog = CliDialog(dialogId);
    return dialog && dialog->question && dialogId != IDD_ESCAPE_FAILED ? dialog->question : nullptr;
}

bool IsFailureDialog(int dialogId) {
    return dialogId == IDD_OPEN_ERROR || dialogId == IDD_COMM_ERROR || dialogId == IDD_SET_ERROR ||
           dialogId == IDD_ESCAPE_FAILED;
}

}  // namespace

ConsoleHost::ConsoleHost(const ConsoleOptions& options, KvClock& clock, std::FILE* out, std::FILE* in)
    : options_(options), clock_(clock), out_(out), in_(in) {}

ConsoleHost::~ConsoleHost() { EndProgressLine(); }

int ConsoleHost::RunDialog(int dialogId) {
    events.push_back({false, dialogId});
    if (ConfirmQuestion(dialogId)) return Confirm(dialogId) ? IDOK : IDCANCEL;
    switch (dialogId) {
    case IDD_SET_DONE:
        // The write went through; a re-read only when asked for.
        if (!options_.quiet) PrintDialog(dialogId, true);
        return options_.reload ? IDOK : IDCANCEL;
    case IDD_ESCAPE_DONE:
        if (!options_.quiet) PrintDialog(dialogId, true);
        return IDOK;
    case IDD_ESCAPE_FAILED:
        PrintDialog(dialogId, false);
        // Another try only on a terminal and only when nobody answers for the user.
        if (options_.interactive && !options_.yes) return Ask(Tr(CliDialog(dialogId)->question)) ? IDOK : IDCANCEL;
        return IDCANCEL;
    default: PrintDialog(dialogId, false); return IDOK;
    }
}

void ConsoleHost::ShowMessage(int stringId) {
    events.push_back({true, stringId});
    const char* text = CliMessage(stringId);
    const std::string shown = text ? Tr(text) : TrFormat("message %d", stringId);
    Print(stringId == IDS_DEVICE_NOT_FOUND ? "tarnik: " + shown : shown);
    if (stringId == IDS_DEVICE_NOT_FOUND) PrintHints(NotFoundHints());
}

void ConsoleHost::ReportOpenFailure(const KvPortOpenFailure& failure) {
    heldScanTitle_.clear();
    heldCandidate_.clear();
    openFailure = failure;
    openFailurePending_ = true;
}

void ConsoleHost::ReportDeviceGone(const KvPortFailure& failure) { ReportOpenFailure(failure); }

void ConsoleHost::PrintHints(const std::vector<std::string>& list) {
    hints = list;
    for (const std::string& hint : list) Print(TrFormat("  hint: %s", hint.c_str()));
}

void ConsoleHost::CreateProgress(int dialogId) {
    if (dialogId == IDD_SCAN) scanAttempts = 0;
    if (options_.quiet) return;
    const CliDialogText* dialog = CliDialog(dialogId);
    if (!dialog || dialog->lines.empty()) return;
    const char* line = Tr(dialog->lines.front());
    if (dialogId == IDD_SCAN) {
        heldScanTitle_ = line;
        return;
    }
    if (options_.terminal) {
        // A transient line, gone when the workflow ends.
        EndProgressLine();
        std::fprintf(out_, "\r\033[K%s", DisplayText(line).c_str());
        std::fflush(out_);
        progressLineOpen_ = true;
        return;
    }
    Print(line);
}

void ConsoleHost::SetProgressText(int dialogId, const KvString& text) {
    if (dialogId != IDD_SCAN) return;
    ++scanAttempts;
    if (options_.quiet) return;
    const std::string line =
        TrFormat("candidate %d/%d: %s", scanAttempts, static_cast<int>(kScanCandidateCount), text.Bytes().c_str());
    if (!heldScanTitle_.empty() && scanAttempts == 1) {
        heldCandidate_ = line;
        return;
    }
    ReleaseScanLines();
    ShowCandidate(line);
}

void ConsoleHost::ShowCandidate(const std::string& line) {
    if (options_.terminal) {
        std::fprintf(out_, "\r\033[K%s", DisplayText(line).c_str());
        std::fflush(out_);
        progressLineOpen_ = true;
    } else {
        Print(line);
    }
}

void ConsoleHost::ReleaseScanLines() {
    if (heldScanTitle_.empty()) return;
    const std::string title = std::move(heldScanTitle_);
    const std::string candidate = std::move(heldCandidate_);
    heldScanTitle_.clear();
    heldCandidate_.clear();
    Print(title);
    if (!candidate.empty()) ShowCandidate(candidate);
}

void ConsoleHost::DestroyProgress(int dialogId) {
    if (dialogId == IDD_SCAN) ReleaseScanLines();
    if (!progressLineOpen_ || !options_.terminal) return;
    if (dialogId == IDD_SCAN) {
        // The last candidate stays on screen: it is the one that answered.
        EndProgressLine();
    } else {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        progressLineOpen_ = false;
    }
}

void ConsoleHost::Sleep(unsigned milliseconds) { clock_.SleepFor(std::chrono::milliseconds(milliseconds)); }

void ConsoleHost::Note(const std::string& text) {
    lastNote = text;
    Print(text);
}

void ConsoleHost::Info(const std::string& text) {
    if (!options_.quiet) Print(text);
}

bool ConsoleHost::Ask(const std::string& question) {
    if (!options_.interactive) return false;
    EndProgressLine();
    std::fprintf(out_, "%s [y/N] ", DisplayText(question).c_str());
    std::fflush(out_);
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, in_)) {
        std::fputs("\n", out_);
        return false;
    }
    return std::strcmp(answer, "y\n") == 0 || std::strcmp(answer, "Y\n") == 0 || std::strcmp(answer, "yes\n") == 0;
}

bool ConsoleHost::Saw(int dialogId) const {
    for (const Event& e : events) {
        if (!e.message && e.id == dialogId) return true;
    }
    return false;
}

bool ConsoleHost::SawMessage(int stringId) const {
    for (const Event& e : events) {
        if (e.message && e.id == stringId) return true;
    }
    return false;
}

int ConsoleHost::FirstFailure() const {
    for (const Event& e : events) {
        if (e.message ? e.id == IDS_DEVICE_NOT_FOUND : IsFailureDialog(e.id)) return e.id;
    }
    return 0;
}

void ConsoleHost::ClearEvents() {
    events.clear();
    declined = false;
    openFailure.reset();
    openFailurePending_ = false;
    hints.clear();
    lastNote.clear();
}

bool ConsoleHost::Confirm(int dialogId) {
    if (options_.yes) {
        if (!options_.quiet) PrintDialog(dialogId, true);
        return true;
    }
    if (!options_.interactive) {
        // The command checks this before it sends anything; here only as a guard.
        Print(Tr("tarnik: confirmation needed; standard input is not a terminal (use --yes)"));
        declined = true;
        return false;
    }
    PrintDialog(dialogId, false);
    const bool ok = Ask(Tr(ConfirmQuestion(dialogId)));
    if (!ok) declined = true;
    return ok;
}

void ConsoleHost::PrintDialog(int dialogId, bool headlineOnly) {
    const CliDialogText* dialog = CliDialog(dialogId);
    if (!dialog) {
        Print(TrFormat("dialog %d", dialogId));
        return;
    }
    // An error is said as the program's own, like every other of tarnik's.
    std::string first = IsFailureDialog(dialogId) ? "tarnik: " : "";
    if (*dialog->title) first += std::string("[") + Tr(dialog->title) + "] ";
    first += Tr(dialog->lines.front());
    Print(first);
    if (headlineOnly) return;
    for (std::size_t i = 1; i < dialog->lines.size(); ++i) Print(std::string("  ") + Tr(dialog->lines[i]));
    const bool gone = openFailure && openFailure->cause == KvPortFailure::Cause::Gone;
    if ((dialogId == IDD_OPEN_ERROR || gone) && openFailurePending_ && openFailure) {
        // The system's reason and what fits it say more than the checklist.
        openFailurePending_ = false;
        Print("  " + FailureSummary(*openFailure));
        PrintHints(OpenFailureHints(*openFailure, DeviceGroup(openFailure->path.Bytes())));
        return;
    }
    if (IsFailureDialog(dialogId) && dialogId != IDD_SET_ERROR) {
        std::vector<std::string> list;
        for (const char* note : dialog->notes) list.emplace_back(Tr(note));
        PrintHints(list);
        return;
    }
    for (const char* note : dialog->notes) Print(std::string("  ") + Tr(note));
}

void ConsoleHost::EndProgressLine() {
    if (!progressLineOpen_) return;
    std::fputs("\n", out_);
    std::fflush(out_);
    progressLineOpen_ = false;
}

void ConsoleHost::Print(const std::string& line) {
    ReleaseScanLines();
    EndProgressLine();
    PrintLine(out_, options_.prefix + line);
}
