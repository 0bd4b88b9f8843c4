#include "CVelmoraView.h"

#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

#include "CVelmoraDoc.h"
#include "DialogFont.h"
#include "KvExceptions.h"
#include "KvPortDiscovery.h"
#include "ResourceIds.h"
#include "StepFailure.h"
#include "Texts.h"
#include "Wide.h"
#include "Win32Dialogs.h"
#include "Win32WorkflowHost.h"

namespace {

const COLORREF kNoteColour = RGB(230, 0, 0);
// The form's own notification to itself: その他... was chosen, ask once the list has closed.
constexpr WORD kAskForPort = 0x7F00;

void ReportFailure(Win32WorkflowHost& host) { host.RunDialog(IDD_COMM_ERROR); }

// Runs a handler and reports a failure of the program's own families that
// leaves it with the communication-error dialog: no such failure may cross a
// window procedure.
template <typename F>
void RunGuarded(Win32WorkflowHost& host, F&& handler) {
    if (KvRunStep(handler)) ReportFailure(host);
}

}  // namespace

CVelmoraView::CVelmoraView(CVelmoraDoc& document, Win32WorkflowHost& host) : host_(host), form_(document, host, *this) {
    host_.AddView([this] {
        if (window_ != nullptr) form_.RefreshFromDocument();
    });
}

CVelmoraView::~CVelmoraView() = default;

bool CVelmoraView::Create(HWND frame) {
    frame_ = frame;
    // The controls the first refresh disables come disabled from the resource
    // (the text table marks them): disabling a drop-down list once it exists
    // costs its list window a round of changes under Wine.
    window_ = CreateDialogInFace(GetModuleHandleW(nullptr), IDD_VELMORA_FORM, frame, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return false;
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Every text of the form is in the form's font: one device context measures them all.
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
    for (HWND c = GetWindow(window_, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) FitTextToControl(c, dc);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    // What each device is, is looked up when the list is opened.
    ports_ = PortListEntries({});
    form_.OfferTypedPort();
    form_.CreateControls(PortListNames(ports_));
    RunGuarded(host_, [this] { form_.FillControlLists(); });
    ShowWindow(window_, SW_SHOW);
    return true;
}

INT_PTR CALLBACK CVelmoraView::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<CVelmoraView*>(lParam)->window_ = window;
        return FALSE;
    }
    auto* view = reinterpret_cast<CVelmoraView*>(GetWindowLongPtrW(window, DWLP_USER));
    return view ? view->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CVelmoraView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_SCAN) {
            OnScan();
            return TRUE;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_SET) {
            OnSet();
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COM_PORT && HIWORD(wParam) == CBN_DROPDOWN) {
            if (!form_.IsTypedPortRow(GetListSelection(IDC_COM_PORT))) lastPort_ = form_.SelectedPortName();
            FillPortList();
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COM_PORT && HIWORD(wParam) == CBN_SETFOCUS) {
            portsStale_ = true;
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COM_PORT && HIWORD(wParam) == CBN_CLOSEUP) {
            ShowPortTexts(false);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COM_PORT && HIWORD(wParam) == CBN_SELCHANGE) {
            // The list may still be open: the dialog comes once it has closed.
            if (form_.IsTypedPortRow(GetListSelection(IDC_COM_PORT))) {
                PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_COM_PORT, kAskForPort), 0);
            } else {
                lastPort_ = form_.SelectedPortName();
            }
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COM_PORT && HIWORD(wParam) == kAskForPort) {
            if (form_.IsTypedPortRow(GetListSelection(IDC_COM_PORT))) AskForTypedPort();
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORSTATIC: {
        // The two notes in red; everything else in the system's colours.
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id != IDC_MODE_NOTE && id != IDC_PIN_NOTE) return FALSE;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kNoteColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
        if (host_.Waiting()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

void CVelmoraView::BeforeInput(const MSG& message) {
    const bool choosing =
        message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN || message.message == WM_MOUSEWHEEL;
    if (!portsStale_ || !choosing || message.hwnd != GetDlgItem(window_, IDC_COM_PORT)) return;
    // The ports present (COM21 and above among them) are in the closed list
    // before the key or the wheel moves the choice, so they can be chosen
    // without opening it. Looked up at the first key, not when the focus
    // arrives (at start): that would cost every start the look-up.
    portsStale_ = false;
    ports_ = PortListEntries(KvDiscoverSerialPorts());
    form_.UpdatePortNames(PortListNames(ports_));
}

void CVelmoraView::FillPortList() {
    ports_ = PortListEntries(KvDiscoverSerialPorts());
    form_.UpdatePortNames(PortListNames(ports_));
    ShowPortTexts(true);
    // The open list is as wide as its longest line.
    HWND list = GetDlgItem(window_, IDC_COM_PORT);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const CPortListEntry& e : ports_) {
        const std::wstring text = Widen(e.text);
        SIZE size{};
        if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) {
            widest = std::max(widest, static_cast<int>(size.cx));
        }
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    const int margin = GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE) + 8;
    SendMessageW(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margin), 0);
}

void CVelmoraView::ShowPortTexts(bool described) {
    // The form keeps the names by their places; only the lines' texts change.
    // Typed paths and その他... come after the ports found and stay as they are.
    const int selected = GetListSelection(IDC_COM_PORT);
    HWND list = GetDlgItem(window_, IDC_COM_PORT);
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (at < ports_.size()) {
            texts.push_back(described ? ports_[at].text : ports_[at].name);
            continue;
        }
        const auto length = static_cast<int>(SendMessageW(list, CB_GETLBTEXTLEN, at, 0));
        std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max(length, 0)));
        texts.push_back(Narrow(text));
    }
    SetListItems(IDC_COM_PORT, texts);
    if (selected >= 0) SetListSelection(IDC_COM_PORT, selected);
}

void CVelmoraView::AskForTypedPort() {
    const std::optional<std::wstring> typed = AskForText(frame_, TextW(AFX_IDS_APP_TITLE), TextW(IDS_PORT_PROMPT));
    std::optional<std::string> name;
    if (typed) {
        std::string text = Narrow(*typed);
        const auto first = text.find_first_not_of(" \t");
        const auto last = text.find_last_not_of(" \t");
        name = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    }
    form_.ChooseTypedPort(name, lastPort_);
    lastPort_ = form_.SelectedPortName();
}

void CVelmoraView::OnScan() {
    if (WorkflowInputBlocker::Active()) return;
    WorkflowInputBlocker blocker;
    RunGuarded(host_, [this] { form_.OnScan(); });
}

void CVelmoraView::OnSet() {
    if (WorkflowInputBlocker::Active()) return;
    WorkflowInputBlocker blocker;
    RunGuarded(host_, [this] { form_.OnSet(); });
}

void CVelmoraView::OnCommand(int commandId) {
    if (WorkflowInputBlocker::Active()) return;
    if (commandId == ID_FILE_OPEN_ || commandId == ID_FILE_SAVE_ || commandId == ID_FILE_SAVE_AS_) {
        RunGuarded(host_, [this, commandId] {
            if (commandId == ID_FILE_OPEN_)
                form_.OnFileOpen();
            else if (commandId == ID_FILE_SAVE_)
                form_.OnFileSave();
            else
                form_.OnFileSaveAs();
        });
        return;
    }
    WorkflowInputBlocker blocker;
    RunGuarded(host_, [this, commandId] {
        switch (commandId) {
        case ID_TOOLS_INITIALIZE: form_.OnInitializeDevice(); break;
        case ID_MODE_TRANSPARENT_MASTER: form_.OnTransparentMaster(); break;
        case ID_MODE_TRANSPARENT_SLAVE: form_.OnTransparentSlave(); break;
        case ID_MODE_CANCEL_TRANSPARENT: form_.OnCancelTransparent(); break;
        case ID_MODE_ESCAPE_TRANSPARENT: form_.OnEscapeTransparent(); break;
        default: break;
        }
    });
}

namespace {

// 開く... or 名前を付けて保存... (`save`) in the system's file dialog, starting
// at `current` when given. The name comes back in full, however long.
std::optional<std::string> AskFileName(HWND owner, bool save, const std::string& current) {
    std::wstring filter = Widen("プロファイル (*.json)");
    filter += L'\0';
    filter += L"*.json";
    filter += L'\0';
    filter += Widen("すべてのファイル (*.*)");
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    const std::wstring title = Widen(save ? "名前を付けて保存" : "開く");
    std::wstring name = save ? Widen(current) : std::wstring();
    name.resize(std::max<std::size_t>(name.size() + 1, 32768), L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"json";
    // The program keeps no list of recent files and leaves the working folder alone.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_DONTADDTORECENT |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    return Narrow(name.c_str());
}

}  // namespace

std::optional<std::string> CVelmoraView::AskProfileToOpen() { return AskFileName(frame_, false, {}); }

std::optional<std::string> CVelmoraView::AskProfileToSave(const std::string& current) {
    return AskFileName(frame_, true, current);
}

void CVelmoraView::ShowProblem(const std::string& text) { host_.ShowText(text); }

void CVelmoraView::SetControlText(int controlId, const std::string& text) {
    SetDlgItemTextW(window_, controlId, Widen(text).c_str());
    FitTextToControl(GetDlgItem(window_, controlId));
}

std::string CVelmoraView::GetControlText(int controlId) const {
    HWND control = GetDlgItem(window_, controlId);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

void CVelmoraView::EnableControl(int controlId, bool enable) {
    ::EnableWindow(GetDlgItem(window_, controlId), enable ? TRUE : FALSE);
}

void CVelmoraView::SetListItems(int controlId, const std::vector<std::string>& texts) {
    HWND list = GetDlgItem(window_, controlId);
    std::vector<std::wstring> lines;
    lines.reserve(texts.size());
    std::size_t characters = 0;
    for (const std::string& text : texts) {
        lines.push_back(Widen(text));
        characters += lines.back().size() + 1;
    }
    // Filled without drawing (the list and its scroll bar are brought up to
    // date once, not after every line), into storage taken in one go.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    SendMessageW(list, CB_INITSTORAGE, static_cast<WPARAM>(lines.size()),
                 static_cast<LPARAM>(characters * sizeof(wchar_t)));
    for (const std::wstring& line : lines) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    // The port list's lines grow while it is open (what each device is): its
    // open list is widened instead (FillPortList).
    if (controlId != IDC_COM_PORT) FitListToTexts(list);
    // The box itself shows the selection's text: drawn anew, as it was not while filling.
    InvalidateRect(list, nullptr, TRUE);
}

int CVelmoraView::GetListSelection(int controlId) const {
    return static_cast<int>(SendDlgItemMessageW(window_, controlId, CB_GETCURSEL, 0, 0));
}

void CVelmoraView::SetListSelection(int controlId, int index) {
    SendDlgItemMessageW(window_, controlId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CVelmoraView::SetTextLimit(int controlId, int characters) {
    SendDlgItemMessageW(window_, controlId, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void CVelmoraView::EnableWindow(bool enable) {
    // A disabled window loses the focus to nobody: taken back once the form
    // takes input again, while the main window is the active one.
    if (!enable) RememberFocus();
    ::EnableWindow(window_, enable ? TRUE : FALSE);
    if (enable && frame_ != nullptr && GetActiveWindow() == frame_) RestoreFocus();
}

void CVelmoraView::RememberFocus() {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
}

void CVelmoraView::RestoreFocus() {
    if (window_ == nullptr || !IsWindowEnabled(window_)) return;
    HWND target = focus_;
    if (target == nullptr || !IsChild(window_, target) || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
        target = GetNextDlgTabItem(window_, nullptr, FALSE);
    }
    if (target == nullptr) return;
    // As the dialog manager moves the focus: a button becomes the default one.
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void CVelmoraView::RepaintNow() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ShowPaintedNow();
}

void CVelmoraView::FitFrameToForm() {
    if (frame_ == nullptr) return;
    RECT form{};
    GetWindowRect(window_, &form);
    const int width = form.right - form.left;
    const int height = form.bottom - form.top;
    // Twice: a menu bar that wraps onto a second row only shows once the width is set.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client{};
        GetClientRect(frame_, &client);
        RECT outer{};
        GetWindowRect(frame_, &outer);
        const int dx = width - (client.right - client.left);
        const int dy = height - (client.bottom - client.top);
        if (dx == 0 && dy == 0) break;
        SetWindowPos(frame_, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int CVelmoraView::RunEscapeDialog(SerialSettings& settings) {
    if (WorkflowInputBlocker::Active()) DropQueuedInput();
    return ::RunEscapeDialog(host_.MainWindow(), settings);
}
