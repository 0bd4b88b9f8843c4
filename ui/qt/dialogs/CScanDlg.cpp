#include "CScanDlg.h"

#include <QLabel>
#include <QPushButton>

#include "ResourceIds.h"
#include "Texts.h"

CScanDlg::CScanDlg(QWidget* owner) : CLayoutDlg(IDD_SCAN, owner, Frame::TitleOnly)
{
    const KvDialogText& texts = *KvDialog(IDD_SCAN);
    setWindowTitle(QString::fromUtf8(texts.title));
    AddLines({QString::fromUtf8(texts.headline.front())});
    settings_ = AddLines({QStringLiteral("SERIAL SETTINGS")}, Qt::AlignHCenter).front();
    settings_->setObjectName(QStringLiteral("IDC_%1").arg(IDC_SCAN_SETTINGS));
    QPushButton* cancel = AddButton(IDCANCEL, QString::fromUtf8(texts.buttons.front().text));
    cancel->setDefault(false);
    cancel->setAutoDefault(false);
    cancel->setEnabled(false);
    cancel->hide();
    FinishLayout(187, 85);
    setEnabled(false);
    DrawNormallyWhenDisabled();
}

void CScanDlg::SetSettingsText(const QString& text) { settings_->setText(text); }

void CScanDlg::reject() {}
