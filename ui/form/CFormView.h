#pragma once
#include <optional>
#include <string>
#include <vector>

#include "SerialSettings.h"

// What the settings form asks of a toolkit, and nothing more. A front-end (Qt,
// Win32, a test) implements it by mapping each control number (IDC_...) of
// form 101 to its widget; every decision about what a control shows, which
// item it selects and whether it is enabled is taken by CSettingsForm.
//
// Texts are UTF-8. List indexes count from 0; -1 means "no item selected".
// None of these calls may throw.
class CFormView {
public:
    virtual ~CFormView() = default;

    // Static texts (IDC_GUIDE, IDC_MODE_NOTE, IDC_PIN_NOTE, IDC_SERIAL_NUMBER,
    // IDC_VERSION) and the address edit (IDC_ADDRESS).
    virtual void SetControlText(int controlId, const std::string& text) = 0;
    // What the user typed into the address edit (IDC_ADDRESS).
    virtual std::string GetControlText(int controlId) const = 0;
    virtual void EnableControl(int controlId, bool enable) = 0;

    // Replaces the items of a drop-down list; afterwards no item is selected.
    virtual void SetListItems(int controlId, const std::vector<std::string>& texts) = 0;
    virtual int GetListSelection(int controlId) const = 0;
    // Selects an item; -1 clears the selection.
    virtual void SetListSelection(int controlId, int index) = 0;
    // The most characters the edit takes.
    virtual void SetTextLimit(int controlId, int characters) = 0;

    // The whole settings window takes input (true) or none (false); the
    // enabled state of the single controls is kept underneath.
    virtual void EnableWindow(bool enable) = 0;
    // Invalidates the whole window (background erased) and paints it at once:
    // a workflow is about to block the thread.
    virtual void RepaintNow() = 0;
    // The frame's client area is made to fit the form exactly.
    virtual void FitFrameToForm() = 0;

    // Runs the escape dialog (148) modally: its lists show `settings` (see
    // EscapeForm.h for the selection rules), and when it closes, with OK or
    // Cancel alike, the choice is stored back into `settings`. Returns IDOK
    // ("透過モード脱出") or IDCANCEL (キャンセル, Escape key, close box).
    virtual int RunEscapeDialog(SerialSettings& settings) = 0;

    // The file dialogs of 開く... and 名前を付けて保存..., offering "*.json":
    // the chosen file's name (UTF-8), or nothing when the user cancels. The
    // save dialog starts at `current` when it is not "".
    virtual std::optional<std::string> AskProfileToOpen() = 0;
    virtual std::optional<std::string> AskProfileToSave(const std::string& current) = 0;
    // A message box with the application's title, the exclamation icon, `text`
    // (lines separated by '\n') and OK.
    virtual void ShowProblem(const std::string& text) = 0;
};
