#include "Win32Dialogs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "DialogFont.h"
#include "EscapeForm.h"
#include "FormLists.h"
#include "ResourceIds.h"
#include "Wide.h"

namespace {

constexpr int kEscapeLists[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// The controls of a dialog, as rectangles in its client area.
RECT ChildRect(HWND child) {
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

// Lines that need more rows on this font than the layout gave them push what
// lies below them down, and the boxes around them and the dialog grow: nothing
// is cut off, whatever the font's glyph widths.
void GrowToFitTexts(HWND dialog) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    int grown = 0;
    for (HWND text : children) {
        wchar_t className[16] = {};
        GetClassNameW(text, className, 16);
        const LONG type = GetWindowLongW(text, GWL_STYLE) & SS_TYPEMASK;
        if (lstrcmpiW(className, L"Static") != 0 || (type != SS_LEFT && type != SS_CENTER)) continue;
        const int length = GetWindowTextLengthW(text);
        if (length == 0) continue;
        std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(text, line.data(), length + 1);
        RECT box = ChildRect(text);
        RECT need{0, 0, box.right - box.left, 0};
        HDC dc = GetDC(text);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(text, WM_GETFONT, 0, 0)));
        DrawTextW(dc, line.c_str(), length, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        SelectObject(dc, old);
        ReleaseDC(text, dc);
        const int extra = need.bottom - (box.bottom - box.top);
        if (extra <= 0) continue;
        if (need.right - need.left > box.right - box.left + 1) continue;  // one long row: FitTextToControl's case
        const int below = box.bottom;
        SetWindowPos(text, nullptr, 0, 0, box.right - box.left, box.bottom - box.top + extra,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (HWND other : children) {
            if (other == text) continue;
            RECT r = ChildRect(other);
            if (r.top >= below) {
                SetWindowPos(other, nullptr, r.left, r.top + extra, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            } else if (r.top <= box.top && r.bottom >= below) {
                // A box around the line.
                SetWindowPos(other, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + extra,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        grown += extra;
    }
    if (grown > 0) {
        RECT outer{};
        GetWindowRect(dialog, &outer);
        SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + grown,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

void FitListToTexts(HWND list) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(list, &info)) return;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        if (length <= 0) continue;
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        SIZE size{};
        if (GetTextExtentPoint32W(dc, text.c_str(), length, &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    // The selection field draws its text a few pixels in from its edges.
    constexpr int kTextMargin = 6;
    const int extra = widest + kTextMargin - (info.rcItem.right - info.rcItem.left);
    if (extra <= 0) return;
    const RECT box = ChildRect(list);
    SetWindowPos(list, nullptr, 0, 0, box.right - box.left + extra, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // What stands to its right on the same row ("bps", "ビット") moves along.
    for (HWND other = GetWindow(GetParent(list), GW_CHILD); other != nullptr; other = GetWindow(other, GW_HWNDNEXT)) {
        if (other == list) continue;
        const RECT r = ChildRect(other);
        if (r.left >= box.right - 1 && r.top < box.bottom && r.bottom > box.top &&
            r.bottom - r.top <= 2 * (box.bottom - box.top)) {
            SetWindowPos(other, nullptr, r.left + extra, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

namespace {

// Every dialog of the program when it opens: one-row texts widened where the
// font needs it, wrapping texts given the rows they need.
void FitDialogToFont(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) FitTextToControl(c);
    GrowToFitTexts(dialog);
}

INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (lParam != 0) {
            const auto& reason = *reinterpret_cast<const std::string*>(lParam);
            SetDlgItemTextW(dialog, IDC_OPEN_REASON, Widen(reason).c_str());
        }
        FitDialogToFont(dialog);
        CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

void StoreEscapeChoice(HWND dialog, SerialSettings& settings) {
    // Baud rate, then stop bits, parity and data bits, as the dialog always has.
    for (int id : {IDC_BAUD_RATE, IDC_STOP_BITS, IDC_PARITY, IDC_DATA_BITS}) {
        const auto index = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
        StoreEscapeSelection(settings, id, index);
    }
}

INT_PTR CALLBACK EscapeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto& settings = *reinterpret_cast<SerialSettings*>(lParam);
        for (int id : kEscapeLists) {
            for (const std::string& text : FormListTexts(id)) {
                SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
            }
            SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(EscapeListSelection(settings, id)), 0);
            FitListToTexts(GetDlgItem(dialog, id));
        }
        FitDialogToFont(dialog);
        CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            auto* settings = reinterpret_cast<SerialSettings*>(GetWindowLongPtrW(dialog, DWLP_USER));
            StoreEscapeChoice(dialog, *settings);
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

// The progress windows take no input and are never closed by the user: the
// workflow that created them destroys them.
INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    FitDialogToFont(dialog);
    // Takes no input, and the search window's settings line is blank until the
    // first candidate is set. Both happen here, before a window that is visible
    // by its resource is first shown, so nobody ever sees it otherwise.
    EnableWindow(dialog, FALSE);
    SetDlgItemTextW(dialog, IDC_SCAN_SETTINGS, L"");
    return TRUE;
}

// A dialog template in memory: the header, the face, then each control on a
// DWORD boundary (DLGTEMPLATE and DLGITEMTEMPLATE).
class TemplateWriter {
public:
    TemplateWriter(DWORD style, int cx, int cy, const wchar_t* face) {
        Dword(style | DS_SETFONT);
        Dword(0);
        count_ = words_.size();
        Word(0);  // controls, counted as they are added
        for (int v : {0, 0, cx, cy}) Word(static_cast<WORD>(v));
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Word(0);  // the title is set when the dialog opens
        Word(9);
        String(face);
    }
    void Control(WORD atom, DWORD style, int x, int y, int cx, int cy, int id, const wchar_t* text) {
        if (words_.size() % 2 != 0) Word(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (int v : {x, y, cx, cy, id}) Word(static_cast<WORD>(v));
        Word(0xFFFF);
        Word(atom);
        String(text);
        Word(0);  // no creation data
        ++words_[count_];
    }
    const DLGTEMPLATE* Template() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void String(const wchar_t* text) {
        for (; *text != L'\0'; ++text) Word(static_cast<WORD>(*text));
        Word(0);
    }
    std::vector<WORD> words_;
    std::size_t count_ = 0;
};

constexpr int kTextEdit = 1001;
constexpr int kTextPrompt = 1002;

struct TextRequest {
    const std::wstring* title;
    const std::wstring* prompt;
    std::wstring typed;
};

INT_PTR CALLBACK TextDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto& request = *reinterpret_cast<TextRequest*>(lParam);
        SetWindowTextW(dialog, request.title->c_str());
        SetDlgItemTextW(dialog, kTextPrompt, request.prompt->c_str());
        FitDialogToFont(dialog);
        CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;  // the focus goes to the edit, the first control that takes it
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto& request = *reinterpret_cast<TextRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
            HWND edit = GetDlgItem(dialog, kTextEdit);
            request.typed.assign(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            request.typed.resize(static_cast<std::size_t>(
                GetWindowTextW(edit, request.typed.data(), static_cast<int>(request.typed.size()))));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

std::optional<std::wstring> AskForText(HWND owner, const std::wstring& title, const std::wstring& prompt) {
    TemplateWriter t(DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU, 250, 66, DialogFaceName());
    t.Control(0x0082, SS_LEFT, 7, 7, 236, 16, kTextPrompt, L"");
    t.Control(0x0081, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 27, 236, 12, kTextEdit, L"");
    t.Control(0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, 136, 46, 50, 14, IDOK, L"OK");
    t.Control(0x0080, BS_PUSHBUTTON | WS_TABSTOP, 193, 46, 50, 14, IDCANCEL, L"キャンセル");
    TextRequest request{&title, &prompt, {}};
    const INT_PTR result =
        DialogBoxIndirectParamW(Instance(), t.Template(), owner, TextDialogProc, reinterpret_cast<LPARAM>(&request));
    if (result != IDOK) return std::nullopt;
    return request.typed;
}

void CentreWindow(HWND window, HWND over) {
    RECT box{};
    GetWindowRect(window, &box);
    RECT area{};
    if (over != nullptr && IsWindowVisible(over) && !IsIconic(over))
        GetWindowRect(over, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int RunModalDialog(int dialogId, HWND owner, const std::string& reason) {
    const LPARAM param = reason.empty() ? 0 : reinterpret_cast<LPARAM>(&reason);
    const INT_PTR result = DialogBoxInFace(Instance(), dialogId, owner, PlainDialogProc, param);
    return result == IDOK ? IDOK : IDCANCEL;
}

int RunEscapeDialog(HWND owner, SerialSettings& settings) {
    const INT_PTR result =
        DialogBoxInFace(Instance(), IDD_ESCAPE, owner, EscapeDialogProc, reinterpret_cast<LPARAM>(&settings));
    return result == IDOK ? IDOK : IDCANCEL;
}

HWND CreateProgressWindow(int dialogId, HWND owner) {
    switch (dialogId) {
    case IDD_SCAN:
    case IDD_LOADING:
    case IDD_SETTING:
    case IDD_INITIALIZING:
    case IDD_ESCAPING: return CreateDialogInFace(Instance(), dialogId, owner, ProgressProc, 0);
    default: return nullptr;
    }
}

void FitTextToControl(HWND control, HDC shared) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    if (lstrcmpiW(className, L"Static") != 0) return;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT) return;

    const int length = GetWindowTextLengthW(control);
    if (length == 0) return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control, text.data(), length + 1);
    SIZE size{};
    if (shared != nullptr) {
        GetTextExtentPoint32W(shared, text.c_str(), length, &size);
    } else {
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, text.c_str(), length, &size);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }

    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    // Texts that wrap over several rows keep their width.
    if (box.bottom - box.top >= 2 * size.cy) return;
    const RECT before = box;
    const int need = size.cx + 1;
    const int width = box.right - box.left;
    if (need > width) {
        // A centred value grows to the right too: its label sits at its left.
        const int extra = need - width;
        if (type == SS_RIGHT)
            box.left -= extra;
        else
            box.right += extra;
    }
    if (size.cy > box.bottom - box.top) {
        // Taller glyphs than the layout's 8 units: centred on the row.
        const int extra = size.cy - (box.bottom - box.top);
        box.top -= extra / 2;
        box.bottom += extra - extra / 2;
    }
    if (EqualRect(&before, &box)) return;
    SetWindowPos(control, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
