// The yardstick of the Windows start-up benchmark: the barest Win32 dialog
// program of the same kind as velmora.exe (common controls 6 by the same
// manifest), one dialog from a resource in the same font and of the same size
// as velmora.exe's settings form, shown, painted, and ended the way
// `velmora.exe --exit-after-first-paint` ends. For comparison:
//   --no-common-controls   without the common controls (the system's older ones)
//   --form VELMORA.EXE     holding velmora.exe's settings form, made from that
//                          program's resource (its controls, without the
//                          program's document, menu, form layer and lists)
#include <windows.h>

#include <commctrl.h>
#include <cstdlib>
#include <cwchar>

namespace {

INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const bool plain = __argc > 1 && std::wcscmp(__wargv[1], L"--no-common-controls") == 0;
    const wchar_t* formProgram = __argc > 2 && std::wcscmp(__wargv[1], L"--form") == 0 ? __wargv[2] : nullptr;
    if (!plain) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(1), nullptr, DialogProc, 0);
    if (dialog == nullptr) return 1;
    if (formProgram != nullptr) {
        constexpr int kForm = 101;
        HMODULE resources =
            LoadLibraryExW(formProgram, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (resources == nullptr) return 1;
        HWND form = CreateDialogParamW(resources, MAKEINTRESOURCEW(kForm), dialog, DialogProc, 0);
        if (form == nullptr) return 1;
        ShowWindow(form, SW_SHOW);
    }
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
