#include "CScanDlg.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ResourceIds.h"

CScanDlg::CScanDlg(QWidget* owner) : CLayoutDlg(IDD_SCAN, owner, Frame::Popup) {
    settings_ = qobject_cast<QLabel*>(Item(IDC_SCAN_SETTINGS));
    auto* cancel = qobject_cast<QPushButton*>(Item(IDCANCEL));
    cancel->setDefault(false);
    cancel->setAutoDefault(false);
    AddOwnTitleBar();
    setEnabled(false);
    DrawNormallyWhenDisabled();
}

void CScanDlg::AddOwnTitleBar() {
    // A window manager gives a title bar a close box whatever the window asks
    // for, and lets the user drag the window although it takes no input. So
    // the window asks for no decoration and draws its own: a raised frame and a
    // title bar with the title alone, above the layout's client area.
    const QSize client = size();
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    const int border = 2;
    const int titleHeight = fm.height() + 6;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->move(child->pos() + QPoint(border, border + titleHeight));

    const QSize whole(client.width() + 2 * border, client.height() + titleHeight + 2 * border);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    frame->setGeometry(QRect(QPoint(0, 0), whole));
    frame->lower();

    title_ = new QLabel(windowTitle(), this);
    title_->setObjectName(QStringLiteral("titleBar"));
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(bold);
    title_->setIndent(fm.averageCharWidth());
    title_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title_->setAutoFillBackground(true);
    QPalette colours = title_->palette();
    const QColor bar = colours.color(QPalette::Active, QPalette::Highlight);
    const QColor text = colours.color(QPalette::Active, QPalette::HighlightedText);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Window, bar);
        colours.setColor(group, QPalette::WindowText, text);
    }
    title_->setPalette(colours);
    title_->setGeometry(border, border, client.width(), titleHeight);
    setFixedSize(whole);
}

void CScanDlg::SetSettingsText(const QString& text) { settings_->setText(text); }

void CScanDlg::reject() {}
