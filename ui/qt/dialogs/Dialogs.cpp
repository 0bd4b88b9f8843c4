#include "Dialogs.h"

#include <QApplication>
#include <QGridLayout>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSpacerItem>
#include <QWidget>

#include "ResourceIds.h"
#include "Texts.h"

namespace {

// Top-left of owner's client area in global coordinates: the central widget
// of the main window, or owner itself.
QPoint ClientOrigin(QWidget* owner) {
    if (owner == nullptr) return QPoint(0, 0);
    QWidget* client = owner;
    if (auto* frame = qobject_cast<QMainWindow*>(owner->window())) {
        if (frame->centralWidget() != nullptr) client = frame->centralWidget();
    }
    return client->mapToGlobal(QPoint(0, 0));
}

}  // namespace

QMessageBox* CreateMessageBox(int stringId, QWidget* owner) {
    QMessageBox* box = CreateMessageBox(LoadKvString(stringId), owner);
    box->setObjectName(QStringLiteral("IDS_%1").arg(stringId));
    return box;
}

QMessageBox* CreateMessageBox(const QString& text, QWidget* owner) {
    const QString title = LoadKvString(AFX_IDS_APP_TITLE);
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    // A window manager sets the title in its own, often bold, font beside the
    // window's icon and three buttons, and cuts it short (in the middle) where
    // the window is narrower; a short message makes a narrow box. So the box is
    // at least as wide as the title in bold plus room for icon and buttons.
    QFont bold = QApplication::font(box);
    bold.setBold(true);
    const QFontMetrics fm(bold);
    const int titleBar = fm.horizontalAdvance(title) + 8 * fm.height();
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(titleBar, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box;
}

QDialog* CreateModalDialog(int dialogId, QWidget* owner, const QString& detail) {
    switch (dialogId) {
    case IDD_ABOUTBOX:
    case IDD_SET_DONE:
    case IDD_INIT_CONFIRM:
    case IDD_MASTER_MODE:
    case IDD_SLAVE_MODE:
    case IDD_STANDARD_MODE:
    case IDD_ESCAPE_DONE:
    case IDD_ESCAPE_FAILED: return new CLayoutDlg(dialogId, owner);
    case IDD_SET_CONFIRM:
    case IDD_OPEN_ERROR:
    case IDD_COMM_ERROR:
    case IDD_SET_ERROR: return new CLayoutDlg(dialogId, owner, CLayoutDlg::Frame::Modal, detail);
    default: return nullptr;
    }
}

int RunModalDialog(int dialogId, QWidget* owner, const QString& detail) {
    // Guarded: should the owner go away during the run, it takes the dialog with it.
    QPointer<QDialog> dialog = CreateModalDialog(dialogId, owner, detail);
    if (dialog.isNull()) return IDCANCEL;
    const int result = dialog->exec();
    delete dialog.data();
    return result == IDOK ? IDOK : IDCANCEL;
}

QDialog* CreateProgressWindow(int dialogId, QWidget* owner) {
    CLayoutDlg* window = nullptr;
    switch (dialogId) {
    case IDD_SCAN: window = new CScanDlg(owner); break;
    case IDD_LOADING:
    case IDD_SETTING:
    case IDD_INITIALIZING:
    case IDD_ESCAPING: window = new CProgressDlg(dialogId, owner); break;
    default: return nullptr;
    }
    // Its place, in dialog units, is relative to the owner's client area.
    const KvDialogFrame& frame = KvDialog(dialogId)->frame;
    const DialogUnits units(DialogFont());
    window->move(ClientOrigin(owner) + QPoint(units.X(frame.x), units.Y(frame.y)));
    window->setEnabled(false);
    return window;
}
