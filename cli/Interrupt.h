#pragma once
// What tarnik does when it is told to stop (Ctrl-C, kill, a closed terminal).
//
// Install() sets handlers for SIGINT, SIGTERM and SIGHUP (Windows: SIGINT,
// SIGBREAK and SIGTERM). The handler ends the process itself, at once, from
// wherever the program is: nothing has to poll for it and no workflow runs on
// after it. Before the process ends the handler
//   1. releases every serial port the process holds open (exclusive flag,
//      flock and lock file; see KvOpenPorts), so the next program can open it;
//   2. writes on standard error "tarnik: interrupted" or, while a ChangeScope
//      lives, that the module was being changed followed by the text that its
//      settings may be incomplete (the note of the write's error report),
//      then the note of SetNote, if any;
//   3. calls the action of SetBeforeExit, if any (a Windows console's code
//      page put back);
//   4. exits with 128 + the signal's number: 130 for SIGINT (and SIGBREAK),
//      143 for SIGTERM, 129 for SIGHUP.
//
// Usage: Interrupt::Install() once, early in main. Wrap every step that sends
// changes to a module in an Interrupt::ChangeScope. A long-running loop (one
// module after another) may keep a one-line summary up to date with SetNote;
// the handler prints it after its message.
//
// Safe for threads: SetNote and SetPendingRecord may be called from several
// threads (stations of a bench), each station with its own record slot.
namespace Interrupt {

void Install();

// 128 + the signal's number; SIGBREAK counts as SIGINT.
int ExitCodeFor(int signalNumber);

// The signal that started the handler, 0 when none has come.
int Received();

// Marks the module as being changed while it lives; may be nested.
class ChangeScope {
public:
    ChangeScope();
    ~ChangeScope();
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;
};

// What the handler does last, after its message and just before the process
// ends (nullptr: nothing): put back what the program changed in the terminal
// it shares with its shell. It runs in the handler, so it may do only what is
// safe there.
void SetBeforeExit(void (*action)());

// A line printed after the handler's message ("" or nullptr: none). Copied;
// at most 511 bytes are kept. Not to be called from a signal handler.
void SetNote(const char* line);

// A record the handler appends to the file open as `fd` when it stops the
// program now (a log's line for the unit being changed: a unit cut short still
// has its record). nullptr or fd -1: none. Copied, whatever its length.
// Stations working side by side each use a slot of their own (0 to
// kPendingSlots - 1), and the handler appends every record set. Not to be
// called from a signal handler.
inline constexpr int kPendingSlots = 32;
void SetPendingRecord(int fd, const char* line, int slot = 0);

}  // namespace Interrupt
