// The Windows console's keys for tarnik monitor.
#include "Keys.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

struct Keys::State {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD savedMode = 0;
    bool console = false;
};

Keys::Keys() : state_(std::make_unique<State>()) {
    state_->console = GetConsoleMode(state_->input, &state_->savedMode) != 0;
    // No line editing, no echo, Ctrl-C as a key.
    if (state_->console) SetConsoleMode(state_->input, 0);
}

Keys::~Keys() { Restore(); }

void Keys::Restore() {
    if (state_->console) SetConsoleMode(state_->input, state_->savedMode);
}

int Keys::Read(char* bytes, int size, int waitMs) {
    if (state_->console) {
        if (WaitForSingleObject(state_->input, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0) return 0;
        INPUT_RECORD records[32];
        DWORD count = 0;
        if (!ReadConsoleInputW(state_->input, records, 32, &count)) return -1;
        std::wstring typed;
        for (DWORD i = 0; i < count; ++i) {
            const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
            if (records[i].EventType != KEY_EVENT || !key.bKeyDown || key.uChar.UnicodeChar == 0) continue;
            typed.append(key.wRepeatCount, key.uChar.UnicodeChar);
        }
        const int n = WideCharToMultiByte(CP_UTF8, 0, typed.data(), static_cast<int>(typed.size()), bytes, size,
                                          nullptr, nullptr);
        return n > 0 ? n : 0;
    }
    DWORD available = 0;
    if (GetFileType(state_->input) == FILE_TYPE_PIPE) {
        if (!PeekNamedPipe(state_->input, nullptr, 0, nullptr, &available, nullptr)) return -1;
        if (available == 0) {
            Sleep(static_cast<DWORD>(waitMs));
            return 0;
        }
    }
    DWORD got = 0;
    if (!ReadFile(state_->input, bytes, static_cast<DWORD>(size), &got, nullptr) || got == 0) return -1;
    return static_cast<int>(got);
}
