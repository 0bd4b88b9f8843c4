#include "CProgressDlg.h"

#include <QFrame>
#include <QLabel>

#include "ResourceIds.h"
#include "Texts.h"

CProgressDlg::CProgressDlg(int dialogId, int widthDlu, int heightDlu, QWidget* owner)
    : CLayoutDlg(dialogId, owner, Frame::Popup)
{
    const QSize size = Units().Size(widthDlu, heightDlu);

    // Without a title bar the window manager draws no frame: draw the raised
    // dialog frame ourselves.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    frame->setGeometry(0, 0, size.width(), size.height());

    // The window's one line, from the program's text table.
    text_ = new QLabel(QString::fromUtf8(KvDialog(dialogId)->headline.front()), this);
    text_->setObjectName(QStringLiteral("progressText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignCenter);
    const int marginX = Units().X(4);
    const int marginY = Units().Y(4);
    text_->setGeometry(marginX, marginY, size.width() - 2 * marginX, size.height() - 2 * marginY);

    setFixedSize(size);
    DrawNormallyWhenDisabled();
}

CLoadingDlg::CLoadingDlg(QWidget* owner)
    : CProgressDlg(IDD_LOADING, 159, 61, owner)
{
}

CSettingDlg::CSettingDlg(QWidget* owner)
    : CProgressDlg(IDD_SETTING, 135, 61, owner)
{
}

CInitializingDlg::CInitializingDlg(QWidget* owner)
    : CProgressDlg(IDD_INITIALIZING, 135, 61, owner)
{
}

CEscapingDlg::CEscapingDlg(QWidget* owner)
    : CProgressDlg(IDD_ESCAPING, 135, 61, owner)
{
}
