#include "Driver.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace driver {

namespace {

int g_passed = 0;
int g_failed = 0;
std::wstring g_shotFolder;

void Print(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& utf16)
{
    if (utf16.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Check(bool ok, const std::string& what)
{
    if (ok) {
        ++g_passed;
        Print("ok     " + what);
    } else {
        ++g_failed;
        Print("FAILED " + what);
    }
}

void CheckText(const std::wstring& actual, const std::string& expectedUtf8, const std::string& what)
{
    const bool ok = actual == Widen(expectedUtf8);
    Check(ok, what + (ok ? "" : ": \"" + Narrow(actual) + "\", expected \"" + expectedUtf8 + "\""));
}

int Summary()
{
    Print(std::to_string(g_passed) + " passed, " + std::to_string(g_failed) + " failed");
    return g_failed == 0 ? 0 : 1;
}

void Fatal(const std::string& what)
{
    Check(false, what);
    Print("(stopped)");
    Summary();
    std::exit(1);
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (ready()) return true;
        if (GetTickCount64() >= end) return false;
        ::Sleep(20);
    }
}

// ---------------------------------------------------------------------------

App::App(const std::wstring& exe, const std::wstring& args)
{
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
        Fatal("the main window appears");
    }
    form_ = FindWindowExW(frame_, nullptr, L"#32770", nullptr);
    if (form_ == nullptr) Fatal("the settings form is in the main window");
    Settle();
}

App::~App()
{
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 3);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void App::Settle() const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    WaitForInputIdle(process_.hProcess, 10000);
    SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
}

bool App::Close()
{
    PostMessageW(frame_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) return false;
    DWORD status = 1;
    GetExitCodeProcess(process_.hProcess, &status);
    return status == 0;
}

HWND App::FindDialog(const std::string& title) const
{
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

HWND App::WaitDialog(const std::string& title, int timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(title)) != nullptr; }, timeoutMs);
    if (found == nullptr) Fatal("dialog \"" + title + "\" appears");
    return found;
}

bool App::WaitDialogGone(HWND dialog, int timeoutMs) const
{
    return WaitUntil([dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

bool App::MenuCommandEnabled(int commandId) const
{
    // Asked of the frame: under Wine another process cannot read the program's
    // menus. The frame prepares the menu as opening it would, then answers.
    constexpr UINT kCommandStateMessage = WM_APP + 2;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(frame_, kCommandStateMessage, static_cast<WPARAM>(commandId), 0, SMTO_NORMAL, 10000, &result);
    const auto state = static_cast<LRESULT>(result);
    if (state < 0) Fatal("menu command " + std::to_string(commandId) + " exists");
    return state == 1;
}

void App::Command(int commandId) const
{
    PostMessageW(frame_, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void App::DemoCommand(int commandId) const
{
    if (!MenuCommandEnabled(commandId)) Fatal("demo command " + std::to_string(commandId) + " enabled");
    Command(commandId);
}

// ---------------------------------------------------------------------------

std::wstring Caption(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::vector<ControlInfo> Controls(HWND parent)
{
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back({child, ClassName(child), GetDlgCtrlID(child), Caption(child), IsWindowEnabled(child) != 0,
                            IsWindowVisible(child) != 0});
    }
    return controls;
}

std::wstring LiveText(HWND control)
{
    wchar_t text[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &result);
    return text;
}

int ListSelection(HWND list)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_GETCURSEL, 0, 0, SMTO_NORMAL, 10000, &result);
    return static_cast<int>(static_cast<LRESULT>(result));
}

void SelectListItem(HWND list, int index)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_NORMAL, 10000, &result);
}

void SetEditText(HWND edit, const std::wstring& text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 10000, &result);
}

void Click(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

void ClickDialogButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) Fatal("button " + std::to_string(id) + " in dialog \"" + Narrow(Caption(dialog)) + "\"");
    Click(button);
}

// ---------------------------------------------------------------------------

void SetShotFolder(const std::wstring& folder) { g_shotFolder = folder; }

namespace {

// The window's rectangle as it is on the screen now, 24-bit rows bottom-up.
std::vector<char> Capture(HWND window, BITMAPINFOHEADER& header)
{
    RECT box{};
    GetWindowRect(window, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

}  // namespace

void Shot(HWND window, const std::string& name)
{
    if (g_shotFolder.empty()) return;
    // A window is found as soon as it is visible, which can be before it has
    // been painted and before the window system has shown the paint: wait
    // until the program has painted it and two pictures in a row agree.
    WaitUntil([window] { return GetUpdateRect(window, nullptr, FALSE) == FALSE; }, 2000);
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
        // A title bar is on the screen: the left end of its caption shows the
        // caption colour, which nothing of the window beneath has.
        const bool drawn = WaitUntil(
            [window] {
                RECT box{};
                GetWindowRect(window, &box);
                HDC screen = GetDC(nullptr);
                const COLORREF pixel = GetPixel(screen, box.left + GetSystemMetrics(SM_CXDLGFRAME) + 1,
                                                box.top + GetSystemMetrics(SM_CYDLGFRAME) + 1);
                ReleaseDC(nullptr, screen);
                return pixel == GetSysColor(COLOR_ACTIVECAPTION) || pixel == GetSysColor(COLOR_INACTIVECAPTION);
            },
            5000);
        Check(drawn, "window of " + name + " is on the screen");
    }
    BITMAPINFOHEADER header{};
    std::vector<char> pixels = Capture(window, header);
    WaitUntil(
        [&] {
            BITMAPINFOHEADER again{};
            std::vector<char> next = Capture(window, again);
            const bool same = next == pixels;
            pixels = std::move(next);
            header = again;
            return same;
        },
        1000);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(std::filesystem::path(g_shotFolder) / (name + ".bmp"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    Check(static_cast<bool>(out), "picture " + name);
}

}  // namespace driver
