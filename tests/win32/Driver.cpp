#include "Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace driver {

namespace {

std::wstring g_shotFolder;

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& utf16) {
    if (utf16.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Fatal(const std::string& what) { throw DriverError(what); }

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (ready()) return true;
        if (GetTickCount64() >= end) return false;
        ::Sleep(20);
    }
}

// ---------------------------------------------------------------------------

App::App(const std::wstring& exe, const std::wstring& args) {
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
        Fatal("start " + Narrow(exe));
    }
    const DWORD pid = process_.dwProcessId;
    const bool shown = WaitUntil(
        [this, pid] {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, L"VelmoraMainFrame", nullptr)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == pid && IsWindowVisible(window)) {
                    frame_ = window;
                    return true;
                }
            }
            return false;
        },
        30000);
    if (!shown) {
        // What there is instead, for the log.
        EnumWindows(
            [](HWND window, LPARAM) -> BOOL {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                Print("  window " + Narrow(ClassName(window)) + " \"" + Narrow(Caption(window)) + "\" process " +
                      std::to_string(owner) + (IsWindowVisible(window) ? " visible" : ""));
                return TRUE;
            },
            0);
        Print("  started process " + std::to_string(pid));
        StopStarted("the main window appears");
    }
    form_ = FindWindowExW(frame_, nullptr, L"#32770", nullptr);
    if (form_ == nullptr) StopStarted("the settings form is in the main window");
    Settle();
}

void App::StopStarted(const std::string& what) {
    // The destructor does not run for an object whose constructor throws.
    TerminateProcess(process_.hProcess, 3);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    Fatal(what);
}

App::~App() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 3);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void App::Settle() const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    WaitForInputIdle(process_.hProcess, 10000);
    SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
}

bool App::Close() {
    PostMessageW(frame_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) return false;
    DWORD status = 1;
    GetExitCodeProcess(process_.hProcess, &status);
    return status == 0;
}

HWND App::FindDialog(const std::string& title) const {
    struct Search {
        DWORD pid;
        std::wstring title;
        HWND found;
    } search{process_.dwProcessId, Widen(title), nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s.pid || !IsWindowVisible(window) || ClassName(window) != L"#32770") return TRUE;
            bool match = Caption(window) == s.title;
            if (!match && Caption(window).empty()) {
                // An untitled progress window: known by its line.
                HWND line = FindWindowExW(window, nullptr, L"Static", nullptr);
                match = line != nullptr && Caption(line) == s.title;
            }
            if (match) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND App::WaitDialog(const std::string& title, int timeoutMs) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(title)) != nullptr; }, timeoutMs);
    if (found == nullptr) Fatal("dialog \"" + title + "\" appears");
    return found;
}

bool App::WaitDialogGone(HWND dialog, int timeoutMs) const {
    return WaitUntil([dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

bool App::MenuCommandEnabled(int commandId) const {
    // Asked of the frame: under Wine another process cannot read the program's
    // menus. The frame prepares the menu as opening it would, then answers.
    constexpr UINT kCommandStateMessage = WM_APP + 2;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(frame_, kCommandStateMessage, static_cast<WPARAM>(commandId), 0, SMTO_NORMAL, 10000, &result);
    const auto state = static_cast<LRESULT>(result);
    if (state < 0) Fatal("menu command " + std::to_string(commandId) + " exists");
    return state == 1;
}

HWND App::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(frame_, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void App::ToFront() const {
    // Keys typed before the frame is in front go to the window that just
    // closed (a file dialog): wait for the switch, not a fixed while.
    SetForegroundWindow(frame_);
    WaitUntil([this] { return GetForegroundWindow() == frame_; }, 5000);
    Settle();
}

void App::Command(int commandId) const { PostMessageW(frame_, WM_COMMAND, MAKEWPARAM(commandId, 0), 0); }

void App::DemoCommand(int commandId) const {
    if (!MenuCommandEnabled(commandId)) Fatal("demo command " + std::to_string(commandId) + " enabled");
    Command(commandId);
}

// ---------------------------------------------------------------------------

std::wstring Caption(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::vector<ControlInfo> Controls(HWND parent) {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back({child, ClassName(child), GetDlgCtrlID(child), Caption(child), IsWindowEnabled(child) != 0,
                            IsWindowVisible(child) != 0});
    }
    return controls;
}

std::wstring LiveText(HWND control) {
    wchar_t text[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &result);
    return text;
}

int ListSelection(HWND list) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_GETCURSEL, 0, 0, SMTO_NORMAL, 10000, &result);
    return static_cast<int>(static_cast<LRESULT>(result));
}

void SelectListItem(HWND list, int index) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_NORMAL, 10000, &result);
}

std::vector<std::wstring> ListTexts(HWND list) {
    std::vector<std::wstring> texts;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 10000, &count);
    for (int i = 0; i < static_cast<int>(static_cast<LRESULT>(count)); ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, SMTO_NORMAL, 10000, &length);
        const LRESULT characters = static_cast<LRESULT>(length);
        if (characters < 0) break;
        std::wstring text(static_cast<std::size_t>(characters) + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_NORMAL, 10000, &copied);
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(0, static_cast<LRESULT>(copied))));
        texts.push_back(text);
    }
    return texts;
}

void DropList(HWND list, bool open) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0, SMTO_NORMAL, 10000, &result);
}

void SetEditText(HWND edit, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 10000, &result);
}

void PressKey(WORD key, std::initializer_list<WORD> held) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD vk : held) add(vk, false);
    add(key, false);
    add(key, true);
    for (auto it = held.end(); it != held.begin();) add(*--it, true);
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
        Fatal("keys typed");
    }
}

void SetClipboardText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) Fatal("clipboard memory");
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(memory);
        Fatal("clipboard opened");
    }
    EmptyClipboard();
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!set) {
        GlobalFree(memory);
        Fatal("text put on the clipboard");
    }
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void ClickDialogButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) Fatal("button " + std::to_string(id) + " in dialog \"" + Narrow(Caption(dialog)) + "\"");
    Click(button);
}

// ---------------------------------------------------------------------------

void SetShotFolder(const std::wstring& folder) { g_shotFolder = folder; }

void Shot(HWND window, const std::string& name, bool ownerWaiting) {
    // One picture of each: the first time a window is seen.
    static std::set<std::string> taken;
    if (g_shotFolder.empty() || !taken.insert(name).second) return;
    if (ownerWaiting) {
        // The whole window painted anew now, by its own thread, which waits for
        // input and shows the paint as it goes idle.
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    // The picture is taken of the X server's screen by whoever runs the driver
    // (scripts/windows-ui-check.sh): reading the screen through the Windows API
    // under Wine can give pixels older than what the screen shows. The request
    // is the file NAME.request with the window's rectangle; the answer NAME.png.
    RECT box{};
    GetWindowRect(window, &box);
    const std::filesystem::path folder(g_shotFolder);
    const std::filesystem::path picture = folder / (name + ".png");
    std::error_code ignored;
    std::filesystem::remove(picture, ignored);
    {
        std::ofstream request(folder / (name + ".request.tmp"));
        // The last field: the window's thread is idle and its last paints may
        // still be on their way to the screen (1), or it has shown its paint
        // and is busy, and the window goes away when it is done (0).
        request << box.left << ' ' << box.top << ' ' << (box.right - box.left) << ' ' << (box.bottom - box.top) << ' '
                << (ownerWaiting ? 1 : 0) << '\n';
    }
    std::filesystem::rename(folder / (name + ".request.tmp"), folder / (name + ".request"), ignored);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(picture); }, 15000)) << "picture " + name;
}

}  // namespace driver
