#include "KvOpenPorts.h"

#include <atomic>
#include <cstring>

#ifndef _WIN32
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "PosixLine.h"
#endif

namespace {

// A search of every port at once holds one port per thread, a bench of
// stations one per station: room for all of them.
constexpr int kSlots = 64;
constexpr std::size_t kPathMax = 256;
// A slot being filled in by one thread: no other thread takes it, and the
// signal handler passes it by.
constexpr int kClaiming = -2;

struct Slot {
    std::atomic<int> descriptor{-1};
    char lockFile[kPathMax] = {};  // written only by the thread that claimed the slot
};

Slot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slots");

#ifndef _WIN32
// Async-signal-safe (tcgetattr, the cfset*speed of PosixLineAtRest,
// tcsetattr, ioctl and close all are). Output still on its way goes out at
// the line's own settings first: the speed changes once it has drained.
void LetGo(int descriptor) {
    struct termios state {};
    if (tcgetattr(descriptor, &state) == 0) {
        const struct termios rest = PosixLineAtRest(state);
        (void)tcsetattr(descriptor, TCSADRAIN, &rest);
    }
    (void)ioctl(descriptor, TIOCNXCL);
    (void)close(descriptor);
}
#endif

}  // namespace

namespace KvOpenPorts {

void Add(int descriptor, const char* lockFile) {
    if (descriptor < 0) return;
    for (Slot& slot : slots) {
        // The slot is claimed before its path is written, so two threads
        // never write one path, and the descriptor is published after the
        // path, so the handler never sees a half-written path for a listed port.
        int expected = -1;
        if (!slot.descriptor.compare_exchange_strong(expected, kClaiming)) continue;
        const std::size_t length = lockFile ? std::strlen(lockFile) : 0;
        if (length < kPathMax) {
            if (length > 0) std::memcpy(slot.lockFile, lockFile, length);
            slot.lockFile[length] = '\0';
        } else {
            slot.lockFile[0] = '\0';
        }
        slot.descriptor.store(descriptor);
        return;
    }
}

void Remove(int descriptor) {
    if (descriptor < 0) return;
    for (Slot& slot : slots) {
        int expected = descriptor;
        if (slot.descriptor.compare_exchange_strong(expected, -1)) return;
    }
}

void Release(int descriptor) {
    if (descriptor < 0) return;
    Remove(descriptor);
#ifndef _WIN32
    LetGo(descriptor);
#endif
}

void ReleaseAllForExit() {
#ifndef _WIN32
    for (Slot& slot : slots) {
        int descriptor = slot.descriptor.load();
        if (descriptor < 0 || !slot.descriptor.compare_exchange_strong(descriptor, -1)) continue;
        LetGo(descriptor);
        if (slot.lockFile[0] != '\0') (void)unlink(slot.lockFile);
    }
#endif
}

}  // namespace KvOpenPorts
