#include "MessageDialogs.h"

#include <QLabel>

#include "ResourceIds.h"

// The texts, titles and buttons come from the program's text table; each
// dialog adds its size in dialog units.

COpenErrorDlg::COpenErrorDlg(QWidget* owner, const QString& reason) : CLayoutDlg(IDD_OPEN_ERROR, owner)
{
    AddTexts();
    AddReasonLine(reason);
    FinishLayout(247, 135);
}

CCommErrorDlg::CCommErrorDlg(QWidget* owner, const QString& reason) : CLayoutDlg(IDD_COMM_ERROR, owner)
{
    AddTexts();
    AddReasonLine(reason);
    FinishLayout(259, 175);
}

CSetConfirmDlg::CSetConfirmDlg(QWidget* owner) : CLayoutDlg(IDD_SET_CONFIRM, owner)
{
    AddTexts();
    FinishLayout(191, 77);
}

CSetErrorDlg::CSetErrorDlg(QWidget* owner, const QString& reason) : CLayoutDlg(IDD_SET_ERROR, owner)
{
    AddTexts();
    AddReasonLine(reason);
    FinishLayout(258, 179);
}

CSetDoneDlg::CSetDoneDlg(QWidget* owner) : CLayoutDlg(IDD_SET_DONE, owner)
{
    AddTexts();
    FinishLayout(209, 147);
}

CInitConfirmDlg::CInitConfirmDlg(QWidget* owner) : CLayoutDlg(IDD_INIT_CONFIRM, owner)
{
    AddTexts();
    FinishLayout(239, 113);
}

CMasterModeDlg::CMasterModeDlg(QWidget* owner) : CLayoutDlg(IDD_MASTER_MODE, owner)
{
    AddTexts();
    FinishLayout(290, 177);
}

CSlaveModeDlg::CSlaveModeDlg(QWidget* owner) : CLayoutDlg(IDD_SLAVE_MODE, owner)
{
    AddTexts();
    FinishLayout(290, 177);
}

CStandardModeDlg::CStandardModeDlg(QWidget* owner) : CLayoutDlg(IDD_STANDARD_MODE, owner)
{
    AddTexts();
    FinishLayout(275, 145);
}

CEscapeDoneDlg::CEscapeDoneDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE_DONE, owner)
{
    AddTexts();
    FinishLayout(257, 149);
}

CEscapeFailedDlg::CEscapeFailedDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE_FAILED, owner)
{
    AddTexts();
    FinishLayout(226, 131);
}
