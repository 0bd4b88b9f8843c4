#pragma once
#include <QDialog>
#include <QString>

#include <map>
#include <utility>
#include <vector>

#include "DialogLayout.h"
#include "DialogUnits.h"

class QPushButton;
class QWidget;

// Every dialog of the program: built from its layout (DialogLayout.h), its
// number (object name "IDD_<number>") and its frame, sized in dialog units of
// the dialog font. The plain modal dialogs (100, 136 to 144, 151, 152) are
// this class alone; the escape dialog, the search window and the progress
// windows add their own behaviour. Button id 1 ends the dialog with IDOK, id 2
// with IDCANCEL; the Escape key and the close box end it with IDCANCEL.
class CLayoutDlg : public QDialog {
    Q_OBJECT
public:
    enum class Frame {
        Modal,  // title bar with close box, fixed size
        Popup,  // no title bar from the window manager (a window draws its own frame)
    };

    // `reason`, when given, stands under the port-error dialog's (136) own
    // text: the port and what the system said ("/dev/ttyUSB0: Permission denied").
    CLayoutDlg(int dialogId, QWidget* owner, Frame frame = Frame::Modal, const QString& reason = QString());

    int DialogId() const { return dialogId_; }

    // Ends the dialog with IDCANCEL / IDOK (Escape key, close box, Enter).
    void reject() override;
    void accept() override;

protected:
    const DialogUnits& Units() const { return units_; }
    const CDialogLayout& Layout() const { return layout_; }
    // The widget of a control by its number (a list, a line, a button), or nullptr.
    QWidget* Item(int id) const;
    // Every item of the layout with its widget, in layout order.
    const std::vector<std::pair<const CLayoutItem*, QWidget*>>& Widgets() const { return widgets_; }

    // For the windows that stay disabled while they are shown (they take no
    // input): their texts are drawn in the normal colours, not greyed.
    void DrawNormallyWhenDisabled();

private:
    QWidget* Create(const CLayoutItem& item, QWidget* parent);

    int dialogId_;
    DialogUnits units_;
    CDialogLayout layout_;
    std::map<int, QWidget*> items_;
    std::vector<std::pair<const CLayoutItem*, QWidget*>> widgets_;
};
