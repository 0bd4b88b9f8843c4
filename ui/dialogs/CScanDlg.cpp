#include "CScanDlg.h"

#include <QLabel>
#include <QPushButton>

#include "ResourceIds.h"

CScanDlg::CScanDlg(QWidget* owner) : CLayoutDlg(IDD_SCAN, owner, Frame::TitleOnly)
{
    setWindowTitle(QStringLiteral("Tarnikデバイス検索"));
    AddLines({QStringLiteral("Tarnikデバイスのシリアル通信設定を検出しています...")});
    settings_ = AddLines({QStringLiteral("SERIAL SETTINGS")}, Qt::AlignHCenter).front();
    settings_->setObjectName(QStringLiteral("IDC_%1").arg(IDC_SCAN_SETTINGS));
    QPushButton* cancel = AddButton(IDCANCEL, QStringLiteral("キャンセル"));
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
