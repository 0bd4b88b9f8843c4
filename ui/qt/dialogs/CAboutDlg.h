#pragma once
#include "CLayoutDlg.h"

// The About box (100): the program icon, name and version, and the notice.
class CAboutDlg : public CLayoutDlg {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* owner = nullptr);
};
