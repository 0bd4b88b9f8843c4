#include "Interrupt.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <stdlib.h>
#else
#include <unistd.h>
#endif

#include "DialogTexts.h"
#include "KvOpenPorts.h"
#include "Language.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

std::atomic<int> received{0};
std::atomic<int> changing{0};
std::atomic<bool> terminal{false};
// "The settings may be incomplete.", looked up before any signal can come.
const char* incompleteText = nullptr;
const char* interruptedText = "tarnik: interrupted";
const char* interruptedChangingText = "tarnik: interrupted while the module was being changed";

// Two note buffers: SetNote fills the one not shown, then switches, so the
// handler never reads a line half-written.
constexpr std::size_t kNoteMax = 512;
char notes[2][kNoteMax] = {};
std::atomic<int> shownNote{-1};

// The same for the pending records and the descriptors they go to, one slot
// per station. A record is as long as it needs to be: the buffer not shown is
// filled outside the handler, which only reads the one shown.
struct PendingSlot {
    std::string records[2];
    int fds[2] = {-1, -1};
    std::atomic<int> shown{-1};
};
PendingSlot pending[Interrupt::kPendingSlots];
// Writers of the note take turns; the handler takes no lock.
std::mutex noteLock;

std::atomic<void (*)()> beforeExit{nullptr};

void PutTo(int fd, const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
#ifdef _WIN32
        const int put = _write(fd, text, static_cast<unsigned>(left));
#else
        const ssize_t put = write(fd, text, left);
#endif
        if (put <= 0) return;
        text += put;
        left -= static_cast<std::size_t>(put);
    }
}

void Put(const char* text) { PutTo(2, text); }

// Only async-signal-safe calls from here on.
extern "C" void OnSignal(int signalNumber) {
    int expected = 0;
    // A second signal while the first is handled waits for the first's exit.
    if (!received.compare_exchange_strong(expected, signalNumber)) return;
    KvOpenPorts::ReleaseAllForExit();
    for (PendingSlot& slot : pending) {
        const int record = slot.shown.load();
        if (record >= 0 && changing.load() > 0) PutTo(slot.fds[record], slot.records[record].c_str());
    }
    if (terminal.load()) Put("\n");
    if (changing.load() > 0) {
        Put(interruptedChangingText);
        Put("\n");
        if (incompleteText) {
            Put(incompleteText);
            Put("\n");
        }
    } else {
        Put(interruptedText);
        Put("\n");
    }
    const int note = shownNote.load();
    if (note >= 0 && notes[note][0] != '\0') {
        Put(notes[note]);
        Put("\n");
    }
    if (void (*action)() = beforeExit.load()) action();
    _exit(Interrupt::ExitCodeFor(signalNumber));
}

// The note of the write's error report, in the tool's language.
const char* FindIncompleteText() {
    const CliDialogText* dialog = CliDialog(IDD_SET_ERROR);
    return dialog && !dialog->notes.empty() ? Tr(dialog->notes.front()) : nullptr;
}

}  // namespace

namespace Interrupt {

void Install() {
    incompleteText = FindIncompleteText();
    interruptedText = Tr("tarnik: interrupted");
    interruptedChangingText = Tr("tarnik: interrupted while the module was being changed");
#ifdef _WIN32
    terminal.store(_isatty(2) != 0);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#ifdef SIGBREAK
    std::signal(SIGBREAK, OnSignal);
#endif
#else
    terminal.store(isatty(2) != 0);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    action.sa_flags = 0;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) (void)sigaction(signalNumber, &action, nullptr);
#endif
}

int ExitCodeFor(int signalNumber) {
#ifdef SIGBREAK
    if (signalNumber == SIGBREAK) return 128 + SIGINT;
#endif
    return 128 + signalNumber;
}

int Received() { return received.load(); }

ChangeScope::ChangeScope() { changing.fetch_add(1); }
ChangeScope::~ChangeScope() { changing.fetch_sub(1); }

void SetBeforeExit(void (*action)()) { beforeExit.store(action); }

void SetNote(const char* line) {
    const std::lock_guard<std::mutex> guard(noteLock);
    if (!line || !*line) {
        shownNote.store(-1);
        return;
    }
    const int next = shownNote.load() == 0 ? 1 : 0;
    const std::size_t length = std::min(std::strlen(line), kNoteMax - 1);
    std::memcpy(notes[next], line, length);
    notes[next][length] = '\0';
    shownNote.store(next);
}

void SetPendingRecord(int fd, const char* line, int slot) {
    if (slot < 0 || slot >= kPendingSlots) return;
    PendingSlot& s = pending[slot];
    if (fd < 0 || !line || !*line) {
        s.shown.store(-1);
        return;
    }
    const int next = s.shown.load() == 0 ? 1 : 0;
    s.records[next].assign(line);
    s.fds[next] = fd;
    s.shown.store(next);
}

}  // namespace Interrupt
