#include "CProgressDlg.h"

#include <QFrame>

CProgressDlg::CProgressDlg(int dialogId, QWidget* owner) : CLayoutDlg(dialogId, owner, Frame::Popup) {
    // Without a title bar the window manager draws no frame: draw the raised
    // dialog frame ourselves.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    frame->setGeometry(rect());
    frame->lower();
    DrawNormallyWhenDisabled();
}
