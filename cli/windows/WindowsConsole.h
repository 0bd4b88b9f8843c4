#pragma once
// tarnik on a Windows console. The program's texts are UTF-8; the console
// shows them only with its output code page set to UTF-8, and it rewrites the
// progress line in place only with escape sequences switched on. Both are
// the console's settings, shared with the shell that started the program, so
// they are put back when the program ends.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

class WindowsConsole {
public:
    WindowsConsole();
    ~WindowsConsole();
    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    // The descriptor is a console window. _isatty says yes for every
    // character device, NUL and a serial port included; a confirmation must
    // not be asked of NUL.
    static bool IsConsole(int fd);
    // What the destructor puts back, for a process that ends without it
    // (Interrupt::SetBeforeExit): only Win32 console calls, safe in a console
    // control handler's thread.
    static void RestoreForExit();
    // Standard error is a console that takes "\r\033[K" (Windows 10 and later).
    bool EscapesWork() const { return escapes_; }

private:
    UINT outputCodePage_ = 0;
    HANDLE error_ = INVALID_HANDLE_VALUE;
    DWORD errorMode_ = 0;
    bool restoreMode_ = false;
    bool escapes_ = false;
};
#endif
