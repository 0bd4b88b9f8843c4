#pragma once
// Who else uses a serial device. flock and the terminal's exclusive flag only
// stop those who open the device after us; a terminal program that opened it
// before, without a lock, is found here: through /proc (the processes this
// user may look into) and through the UUCP lock files that several terminal
// programs leave in /var/lock.
#include <string>

#include "KvExceptions.h"

// "cat (pid 4711)" for a process other than this one that has `devicePath`
// open, "" when none can be seen. A process that also holds the master end of
// a pseudo-terminal is that terminal's far end, not a rival, and is passed by.
std::string KvFindPortHolder(const std::string& devicePath);

// "minicom (pid 4711)" when `lockDir` holds a lock file for `devicePath`
// (LCK..ttyUSB0; LCK..pts_3 for /dev/pts/3) whose process is alive and is
// not this one; "" otherwise. Stale locks are passed by.
std::string KvFindUucpLock(const std::string& devicePath, const std::string& lockDir = "/var/lock");

// The process id a lock file holds: ten ASCII digits padded with blanks (the
// common form) or a 4-byte binary number (the old form); 0 when neither.
long KvLockFilePid(const std::string& content);

// The holder check of one port object: the lock files every time, /proc (the
// costly part, a look at every open descriptor of every visible process) at
// the first opening of a device and then at most once a second while the same
// device is opened again and again (the search opens it 84 times).
class KvPortHolderCheck {
public:
    // "" when nobody else holds `devicePath`, else who does.
    std::string Holder(const std::string& devicePath);

private:
    std::string cleanPath_;  // the device last found free in /proc
    long long cleanAtMs_ = 0;
};

// The failure to report for `port`, opened as `path`, that open() or flock()
// refused with `error`; the holder is looked for when the device is busy.
KvPortOpenFailure KvOpenFailureFor(const std::string& port, const std::string& path, int error);
