#pragma once
#include "CLayoutDlg.h"

// A small modeless window that stays on screen while a workflow blocks the
// program (145, 146, 147, 153): a dialog frame without title bar and one
// centred line. Its owner creates it, disables it, shows it and destroys it again.
class CProgressDlg : public CLayoutDlg {
    Q_OBJECT
public:
    CProgressDlg(int dialogId, QWidget* owner = nullptr);
};
