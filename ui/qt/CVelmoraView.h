#pragma once
#include <QWidget>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CFormView.h"
#include "CSettingsForm.h"

class CVelmoraDoc;
class CEscapeDlg;
class DialogUnits;
struct KvFormControl;
class QtWorkflowHost;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings window (form 101) in Qt widgets. What each control shows and
// whether it is enabled, the checks of 設定 and the order of dialogs in every
// command are decided by its CSettingsForm; this class creates the widgets,
// maps the form's control numbers to them (CFormView) and hands the buttons and
// Tools commands to the form, holding off user input while a workflow runs.
class CVelmoraView final : public QWidget, public CFormView {
    Q_OBJECT
public:
    CVelmoraView(CVelmoraDoc& document, QtWorkflowHost& host, QWidget* parent = nullptr);
    ~CVelmoraView() override;

    CVelmoraDoc& GetDocument() const { return doc_; }
    CSettingsForm& Form() { return form_; }

    // Initial update (CSettingsForm::FillControlLists).
    void FillControlLists();
    // Offers one more port name in the COM port list and selects it (the scan
    // benchmark's pseudo-terminal).
    void OfferPort(const QString& name);
    void RefreshFromDocument();
    void EnableSettingControls(bool enable);
    void StoreControlsToDocument();

    // Enabled state of a menu command (its number is the action's data).
    void OnUpdateDeviceCommand(QAction* command) const;

    // Size of the form in pixels, from its size in dialog units.
    QSize FormSize() const;

    // The view's escape dialog object: built when first needed (it is a whole
    // dialog, and most runs never open it), then kept for the life of the view.
    // The choice it remembers is the form's; each run starts from it.
    CEscapeDlg* EscapeDialog();

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
    std::optional<std::string> AskProfileToOpen() override;
    std::optional<std::string> AskProfileToSave(const std::string& current) override;
    void ShowProblem(const std::string& text) override;

signals:
    // The window has refreshed itself from the document: the frame brings its
    // menu commands (and so their shortcuts) up to date.
    void refreshed();

public slots:
    void OnScan();
    void OnSet();
    void OnTransparentMaster();
    void OnTransparentSlave();
    void OnCancelTransparent();
    void OnInitializeDevice();
    void OnEscapeTransparent();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();

private:
    void CreateControls();
    QWidget* CreateControl(const KvFormControl& control, const DialogUnits& du);
    void MakeRoomForTheAddressRange(const std::vector<std::pair<const KvFormControl*, QWidget*>>& placed,
                                    const DialogUnits& du);
    // The COM port list from the devices present (`discover`: ask the system;
    // otherwise the names alone), each item showing what its device is.
    void FillPortList(bool discover);
    // その他... chosen in the port list: asks for a name and hands it to the form.
    void AskForTypedPort();
    // The control numbers of the form, each to its widget.
    void BindControls();
    QWidget* Control(int controlId) const;
    QComboBox* List(int controlId) const;

    CVelmoraDoc& doc_;
    QtWorkflowHost& host_;
    CSettingsForm form_;

    // Controls, in the order of the form's members.
    QLabel* pinNote_ = nullptr;          // 1024
    QLabel* versionText_ = nullptr;      // 1009
    QLabel* modeNote_ = nullptr;         // 1023
    QComboBox* comPort_ = nullptr;       // 1022
    std::string lastPort_;               // the port chosen before その他...
    QLabel* guide_ = nullptr;            // 1021
    QLabel* serialNumber_ = nullptr;     // 1008
    QLineEdit* address_ = nullptr;       // 1004
    QComboBox* stopBits_ = nullptr;      // 1011
    QComboBox* pin78_ = nullptr;         // 1017
    QComboBox* pin34_ = nullptr;         // 1015
    QComboBox* pin56_ = nullptr;         // 1016
    QComboBox* pin12_ = nullptr;         // 1014
    QComboBox* parity_ = nullptr;        // 1010
    QComboBox* frequency_ = nullptr;     // 1003
    QComboBox* dataBits_ = nullptr;      // 1006
    QComboBox* baudRate_ = nullptr;      // 1005
    QPushButton* setButton_ = nullptr;   // 1000
    CEscapeDlg* escapeDlg_ = nullptr;    // owned (child object), lives as long as the view once built
    QPushButton* scanButton_ = nullptr;  // 1001
    std::map<int, QWidget*> controls_;
};
