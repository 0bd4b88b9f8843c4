#pragma once
#include <QWidget>

#include <array>

class CVelmoraDoc;
class CEscapeDlg;
class QtWorkflowHost;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings window (form 101): the values last read from the module, the
// controls to change them, the Scan and Set buttons, and the handlers of the
// Tools menu. It keeps no settings of its own: it pulls every value through the
// document's getters and pushes the controls into the document's settings record
// just before a workflow runs.
class CVelmoraView final : public QWidget {
    Q_OBJECT
public:
    CVelmoraView(CVelmoraDoc& document, QtWorkflowHost& host, QWidget* parent = nullptr);
    ~CVelmoraView() override;

    CVelmoraDoc& GetDocument() const { return doc_; }

    // Initial update: binds the controls, refreshes once, fits the frame to the
    // form, fills the frequency list, sets the item data, limits the address.
    void FillControlLists();
    void RefreshFromDocument();
    void EnableSettingControls(bool enable);
    void StoreControlsToDocument();
    static int FindItemByData(const QComboBox* list, int value);

    // Enabled state of the four device commands of the Tools menu.
    void OnUpdateDeviceCommand(QAction* command) const;

    // Size of the form in pixels, from its size in dialog units.
    QSize FormSize() const;

    // The view's escape dialog object: built when first needed (it is a whole
    // dialog, and most runs never open it), then kept for the life of the view
    // so its four choices persist from one escape to the next.
    CEscapeDlg* EscapeDialog();

public slots:
    void OnScan();
    void OnSet();
    void OnTransparentMaster();
    void OnTransparentSlave();
    void OnCancelTransparent();
    void OnInitializeDevice();
    void OnEscapeTransparent();

private:
    void CreateControls();
    void RepaintNow();
    void ReportRefreshFailure();
    void FitFrameToForm();

    CVelmoraDoc& doc_;
    QtWorkflowHost& host_;

    // Controls, in the order of the form's members.
    QLabel* pinNote_ = nullptr;       // 1024
    QLabel* versionText_ = nullptr;   // 1009
    QLabel* modeNote_ = nullptr;      // 1023
    QComboBox* comPort_ = nullptr;    // 1022
    QLabel* guide_ = nullptr;         // 1021
    QLabel* serialNumber_ = nullptr;  // 1008
    QLineEdit* address_ = nullptr;    // 1004
    QComboBox* stopBits_ = nullptr;   // 1011
    QComboBox* pin78_ = nullptr;      // 1017
    QComboBox* pin34_ = nullptr;      // 1015
    QComboBox* pin56_ = nullptr;      // 1016
    QComboBox* pin12_ = nullptr;      // 1014
    QComboBox* parity_ = nullptr;     // 1010
    QComboBox* frequency_ = nullptr;  // 1003
    QComboBox* dataBits_ = nullptr;   // 1006
    QComboBox* baudRate_ = nullptr;   // 1005
    QPushButton* setButton_ = nullptr;  // 1000
    CEscapeDlg* escapeDlg_ = nullptr;   // owned (child object), lives as long as the view once built
    std::array<QComboBox*, 4> pinLists_{};  // I/O 1-2, 3-4, 5-6, 7-8
    QPushButton* scanButton_ = nullptr;     // 1001
    bool bound_ = false;
};

// Reads the address edit's text as the Set button does: leading blanks skipped,
// an unsigned decimal number up to the first non-digit, accepted when 0 to 9999.
bool ParseAddressText(const QString& text, int& address);
