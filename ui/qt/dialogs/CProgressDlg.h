#pragma once
#include <QPoint>

#include "CLayoutDlg.h"

class QLabel;

// A small modeless window that stays on screen while a workflow blocks the
// program: a dialog frame without title bar and one centred line. Its owner
// creates it, disables it, shows it and destroys it again.
class CProgressDlg : public CLayoutDlg {
    Q_OBJECT
public:
    QLabel* textLabel() const { return text_; }

protected:
    CProgressDlg(int dialogId, int widthDlu, int heightDlu, QWidget* owner);

private:
    QLabel* text_;
};

class CLoadingDlg : public CProgressDlg {  // 145: reading the settings
    Q_OBJECT
public:
    explicit CLoadingDlg(QWidget* owner = nullptr);
};

class CSettingDlg : public CProgressDlg {  // 146: writing the settings
    Q_OBJECT
public:
    explicit CSettingDlg(QWidget* owner = nullptr);
};

class CInitializingDlg : public CProgressDlg {  // 147: factory initialisation
    Q_OBJECT
public:
    explicit CInitializingDlg(QWidget* owner = nullptr);
};

class CEscapingDlg : public CProgressDlg {  // 153: sending the escape string
    Q_OBJECT
public:
    explicit CEscapingDlg(QWidget* owner = nullptr);
};
