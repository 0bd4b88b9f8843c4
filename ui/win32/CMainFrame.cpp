#include "CMainFrame.h"

#include "CVelmoraDoc.h"
#include "CVelmoraView.h"
#include "MenuRules.h"
#include "ResourceIds.h"
#include "Texts.h"
#include "Wide.h"
#include "Win32WorkflowHost.h"

namespace {

const wchar_t kClassName[] = L"VelmoraMainFrame";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

bool RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc)) return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window in Create
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

CMainFrame::CMainFrame(CVelmoraView& view, Win32WorkflowHost& host) : view_(view), host_(host) {}

bool CMainFrame::Create() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterFrameClass(instance)) return false;
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    window_ = CreateWindowExW(0, kClassName, TextW(AFX_IDS_APP_TITLE).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              400, 300, nullptr, menu, instance, nullptr);
    if (window_ == nullptr) return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CMainFrame::WindowProc));
    host_.SetMainWindow(window_);
    return view_.Create(window_);
}

void CMainFrame::AddDemoMenu(std::function<void()> powerCycle) {
    powerCycle_ = std::move(powerCycle);
    HMENU demo = CreatePopupMenu();
    AppendMenuW(demo, MF_STRING, kDemoPowerCycle, Widen(KvDemoMenu().powerCycle).c_str());
    AppendMenuW(GetMenu(window_), MF_POPUP, reinterpret_cast<UINT_PTR>(demo), Widen(KvDemoMenu().title).c_str());
    DrawMenuBar(window_);
    // The window keeps fitting the form exactly, menu bar included.
    view_.FitFrameToForm();
}

namespace {
constexpr UINT kShowDialogMessage = WM_APP + 1;
}

void CMainFrame::ShowDialogLater(int dialogId) {
    PostMessageW(window_, kShowDialogMessage, static_cast<WPARAM>(dialogId), 0);
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (frame == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return frame->HandleMessage(message, wParam, lParam);
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITMENUPOPUP:
        // The window menu (Alt+Space, the icon) is the system's: moving,
        // minimising and closing stay as it enables them.
        if (HIWORD(lParam) != 0) break;
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_ACTIVATE:
        // The keyboard focus belongs to a control of the form: kept when another
        // window (a dialog, another program) takes over, given back on return.
        if (LOWORD(wParam) == WA_INACTIVE) {
            view_.RememberFocus();
            break;
        }
        if (HIWORD(wParam) != 0) break;  // minimised
        view_.RestoreFocus();
        return 0;
    case WM_SETFOCUS: view_.RestoreFocus(); return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: the system has scaled the form
        // (a dialog); the window takes the place it suggests, then fits the
        // form again.
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        view_.FitFrameToForm();
        return 0;
    }
    case WM_COMMAND:
        // Menu commands and accelerators (lParam 0); the form's buttons go to the form.
        if (lParam == 0) {
            OnCommand(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (host_.Waiting()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case kCommandStateMessage: return CommandState(static_cast<int>(wParam));
    case kShowDialogMessage: host_.RunDialog(static_cast<int>(wParam)); return 0;
    case WM_CLOSE:
        // Closing asks nothing and saves nothing; only while a workflow holds the
        // thread (a close request reaching a dialog's message loop) is it put off.
        if (WorkflowInputBlocker::Active()) return 0;
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void CMainFrame::OnInitMenuPopup(HMENU menu) {
    const bool hasDevice = view_.Form().GetDocument().HasDevice();
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == static_cast<UINT>(-1) || id == 0) continue;  // sub-menu or separator
        if (id == static_cast<UINT>(kDemoPowerCycle)) continue;
        const bool enabled = IsMenuCommandEnabled(static_cast<int>(id), hasDevice);
        EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

namespace {

HMENU MenuHolding(HMENU menu, int commandId) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) == static_cast<UINT>(commandId)) return menu;
        if (HMENU sub = GetSubMenu(menu, i); sub != nullptr) {
            if (HMENU found = MenuHolding(sub, commandId)) return found;
        }
    }
    return nullptr;
}

}  // namespace

LRESULT CMainFrame::CommandState(int commandId) {
    if (commandId >= SC_SIZE) {
        // A command of the window menu, after the menu has been prepared as
        // opening it does.
        HMENU system = GetSystemMenu(window_, FALSE);
        SendMessageW(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system), MAKELPARAM(0, TRUE));
        const UINT state = GetMenuState(system, static_cast<UINT>(commandId), MF_BYCOMMAND);
        if (state == static_cast<UINT>(-1)) return -1;
        return (state & (MF_GRAYED | MF_DISABLED)) != 0 ? 0 : 1;
    }
    HMENU menu = MenuHolding(GetMenu(window_), commandId);
    if (menu == nullptr) return -1;
    OnInitMenuPopup(menu);
    const UINT state = GetMenuState(menu, static_cast<UINT>(commandId), MF_BYCOMMAND);
    return (state & (MF_GRAYED | MF_DISABLED)) != 0 ? 0 : 1;
}

void CMainFrame::OnCommand(int commandId) {
    // A command's menu item may have been enabled when the menu last opened;
    // the rule decides again now (an accelerator never opens the menu).
    if (commandId == kDemoPowerCycle) {
        if (powerCycle_ && !WorkflowInputBlocker::Active()) powerCycle_();
        return;
    }
    if (!IsMenuCommandEnabled(commandId, view_.Form().GetDocument().HasDevice())) return;
    switch (commandId) {
    case ID_APP_ABOUT:
        if (!WorkflowInputBlocker::Active()) host_.RunDialog(IDD_ABOUTBOX);
        break;
    case ID_APP_EXIT: SendMessageW(window_, WM_CLOSE, 0, 0); break;
    default: view_.OnCommand(commandId); break;
    }
}
