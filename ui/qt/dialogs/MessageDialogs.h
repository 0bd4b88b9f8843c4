#pragma once
#include "CLayoutDlg.h"

// The modal confirmation, result and error dialogs. Each is a plain dialog
// built from its layout; the caller reads only the result (IDOK / IDCANCEL).

class COpenErrorDlg : public CLayoutDlg {  // 136: the port cannot be opened
    Q_OBJECT
public:
    // `reason`, when given, stands under the dialog's own text: the port and
    // what the system said ("/dev/ttyUSB0: Permission denied").
    explicit COpenErrorDlg(QWidget* owner = nullptr, const QString& reason = QString());
};

class CCommErrorDlg : public CLayoutDlg {  // 137: no answer / read failure
    Q_OBJECT
public:
    explicit CCommErrorDlg(QWidget* owner = nullptr, const QString& reason = QString());
};

class CSetConfirmDlg : public CLayoutDlg {  // 138: before the settings are written
    Q_OBJECT
public:
    explicit CSetConfirmDlg(QWidget* owner = nullptr);
};

class CSetErrorDlg : public CLayoutDlg {  // 139: a write failed
    Q_OBJECT
public:
    explicit CSetErrorDlg(QWidget* owner = nullptr, const QString& reason = QString());
};

class CSetDoneDlg : public CLayoutDlg {  // 140: written; re-read or close
    Q_OBJECT
public:
    explicit CSetDoneDlg(QWidget* owner = nullptr);
};

class CInitConfirmDlg : public CLayoutDlg {  // 141: before a factory initialisation
    Q_OBJECT
public:
    explicit CInitConfirmDlg(QWidget* owner = nullptr);
};

class CMasterModeDlg : public CLayoutDlg {  // 142: before switching to transparent master
    Q_OBJECT
public:
    explicit CMasterModeDlg(QWidget* owner = nullptr);
};

class CSlaveModeDlg : public CLayoutDlg {  // 143: before switching to transparent slave
    Q_OBJECT
public:
    explicit CSlaveModeDlg(QWidget* owner = nullptr);
};

class CStandardModeDlg : public CLayoutDlg {  // 144: before cancelling a pending switch
    Q_OBJECT
public:
    explicit CStandardModeDlg(QWidget* owner = nullptr);
};

class CEscapeDoneDlg : public CLayoutDlg {  // 151: the escape worked
    Q_OBJECT
public:
    explicit CEscapeDoneDlg(QWidget* owner = nullptr);
};

class CEscapeFailedDlg : public CLayoutDlg {  // 152: the escape failed; retry or close
    Q_OBJECT
public:
    explicit CEscapeFailedDlg(QWidget* owner = nullptr);
};
