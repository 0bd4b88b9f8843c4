#include "WindowsConsole.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

namespace {

// What RestoreForExit puts back: 0 when the code page was not changed, a
// null handle when the mode was not.
std::atomic<UINT> changedCodePage{0};
std::atomic<HANDLE> changedModeHandle{nullptr};
std::atomic<DWORD> changedMode{0};

// A console stream passes the program's bytes on as they are, whole lines at
// a time. In text mode the C runtime may convert each byte from the locale's
// code page on its way to the console (Wine's does: "製" comes out as "è£½"),
// and unbuffered it hands a UTF-8 sequence over in pieces, which the console
// cannot decode. Every line the program writes is followed by fflush.
void PassBytesWhole(std::FILE* stream) {
    static char buffers[2][16384];
    static int used = 0;
    if (!WindowsConsole::IsConsole(_fileno(stream)) || used == 2) return;
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
    std::setvbuf(stream, buffers[used], _IOFBF, sizeof buffers[used]);
    ++used;
}

}  // namespace

WindowsConsole::WindowsConsole() {
    outputCodePage_ = GetConsoleOutputCP();
    // 0 without a console (output redirected and no window): nothing to set.
    if (outputCodePage_ != 0 && outputCodePage_ != CP_UTF8) {
        changedCodePage.store(outputCodePage_);
        SetConsoleOutputCP(CP_UTF8);
    }
    PassBytesWhole(stdout);
    PassBytesWhole(stderr);
    error_ = GetStdHandle(STD_ERROR_HANDLE);
    if (error_ != INVALID_HANDLE_VALUE && error_ != nullptr && GetConsoleMode(error_, &errorMode_)) {
        if (errorMode_ & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
            escapes_ = true;
        } else if (SetConsoleMode(error_, errorMode_ | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
            escapes_ = true;
            restoreMode_ = true;
            changedMode.store(errorMode_);
            changedModeHandle.store(error_);
        }
    }
}

WindowsConsole::~WindowsConsole() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (restoreMode_) SetConsoleMode(error_, errorMode_);
    if (outputCodePage_ != 0 && outputCodePage_ != CP_UTF8) SetConsoleOutputCP(outputCodePage_);
}

void WindowsConsole::RestoreForExit() {
    if (HANDLE handle = changedModeHandle.load()) SetConsoleMode(handle, changedMode.load());
    if (const UINT codePage = changedCodePage.load()) SetConsoleOutputCP(codePage);
}

bool WindowsConsole::IsConsole(int fd) {
    const intptr_t handle = _get_osfhandle(fd);
    if (handle == -1) return false;
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}
