#pragma once
// The operating-system ports this process holds open, kept where a signal
// handler can reach them. On POSIX an exclusive open (TIOCEXCL) belongs to
// the terminal, not to the descriptor: a process that ends without clearing
// it leaves the port unusable for ordinary users while anybody else (a
// pseudo-terminal's master, a getty) still has it open. A program that ends
// on a signal therefore releases what is listed here first.
//
// Safe for threads: ports opened and closed on several threads at once (a
// search of every port, stations working side by side) are listed and taken
// off without a lock, and the handler may run meanwhile.
namespace KvOpenPorts {

// Called by the port right after it has taken a descriptor for itself (lock
// held, before the exclusive flag is set) and right before it closes it.
// `lockFile` names a lock file the port created for this descriptor, or is
// nullptr; it is removed on release. Ports beyond the table's 64 slots are
// simply not listed.
void Add(int descriptor, const char* lockFile = nullptr);
void Remove(int descriptor);

// Lets the device go for good: takes the descriptor off the list, leaves the
// line at rest (speed 0, so that the next opening raises no modem lines; see
// PosixLineAtRest), clears the exclusive flag and closes the descriptor.
void Release(int descriptor);

// Async-signal-safe: releases every listed port as Release does (line at
// rest, exclusive flag cleared, closed, which drops its flock) and removes
// its lock file. Only for a process
// about to end: the ports' owners are not told. Does nothing on Windows,
// where the system releases a handle when its process ends.
void ReleaseAllForExit();

}  // namespace KvOpenPorts
