// The yardstick of the Windows start-up benchmark: the barest Win32 dialog
// program of the same kind as velmora.exe (common controls 6 by the same
// manifest), one dialog from a resource in the same font and of the same size
// as velmora.exe's settings form, shown, painted, and ended the way
// `velmora.exe --exit-after-first-paint` ends. With --no-common-controls it
// leaves the common controls out (the system's older controls), for comparison.
#include <windows.h>

#include <commctrl.h>
#include <cstdlib>
#include <cwchar>

namespace {

INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (__argc < 2 || std::wcscmp(__wargv[1], L"--no-common-controls") != 0) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(1), nullptr, DialogProc, 0);
    if (dialog == nullptr) return 1;
    ShowWindow(dialog, SW_SHOWNORMAL);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(dialog);
    return 0;
}
