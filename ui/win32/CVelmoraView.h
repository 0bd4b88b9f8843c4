#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CFormView.h"
#include "CSettingsForm.h"
#include "PortList.h"

class CVelmoraDoc;
class Win32WorkflowHost;

// The settings window (form 101) as a child dialog filling the main window's
// client area. It maps the form layer's controls to the dialog's and its
// buttons and the Tools commands to the form's handlers; every decision about
// what the controls show is the form's.
class CVelmoraView final : public CFormView {
public:
    CVelmoraView(CVelmoraDoc& document, Win32WorkflowHost& host);
    ~CVelmoraView() override;
    CVelmoraView(const CVelmoraView&) = delete;
    CVelmoraView& operator=(const CVelmoraView&) = delete;

    // Creates the form inside `frame` and runs its initial update.
    bool Create(HWND frame);
    HWND Window() const { return window_; }
    CSettingsForm& Form() { return form_; }
    // The keyboard focus: the form's control that had it is remembered when
    // the main window loses it (or the form is disabled for a workflow) and
    // gets it back afterwards; the first control that takes input when that
    // one cannot (at start, or disabled since).
    void RememberFocus();
    void RestoreFocus();
    // Every message of the loop before it is handled: a key or the wheel in
    // the COM port box first brings the box's list up to date.
    void BeforeInput(const MSG& message);

    // Button and command handlers: each runs its workflow with the input of
    // the meantime dropped; none starts while another workflow runs. The
    // profile commands run no workflow: a file dialog and the form only.
    void OnScan();
    void OnSet();
    void OnCommand(int commandId);

    // CFormView
    void SetControlText(int controlId, const std::string& text) override;
    std::string GetControlText(int controlId) const override;
    void EnableControl(int controlId, bool enable) override;
    void SetListItems(int controlId, const std::vector<std::string>& texts) override;
    int GetListSelection(int controlId) const override;
    void SetListSelection(int controlId, int index) override;
    void SetTextLimit(int controlId, int characters) override;
    void EnableWindow(bool enable) override;
    void RepaintNow() override;
    void FitFrameToForm() override;
    int RunEscapeDialog(SerialSettings& settings) override;
    // The system's file dialogs (comdlg32), offering "*.json".
    std::optional<std::string> AskProfileToOpen() override;
    std::optional<std::string> AskProfileToSave(const std::string& current) override;
    void ShowProblem(const std::string& text) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The COM port list as it opens: COM1 to COM20 and the devices present now,
    // each with what it is; the chosen port stays chosen.
    void FillPortList();
    // The lines of the port list: the names with what each device is (open),
    // or the names alone (closed, so the box shows the name).
    void ShowPortTexts(bool described);
    // その他...: a port or device the list does not hold, typed in a small dialog.
    void AskForTypedPort();

    Win32WorkflowHost& host_;
    CSettingsForm form_;
    HWND window_ = nullptr;
    HWND frame_ = nullptr;
    HWND focus_ = nullptr;
    bool portsStale_ = true;
    std::vector<CPortListEntry> ports_;
    std::string lastPort_;  // the port chosen before その他..., chosen again when it is cancelled
};
