#pragma once
// Every dialog of the program and the two ways the rest of the program uses
// them: a modal run by dialog number, and the modeless progress windows.
#include <QDialog>

#include "CEscapeDlg.h"
#include "CLayoutDlg.h"
#include "CProgressDlg.h"
#include "CScanDlg.h"
#include "DialogUnits.h"
#include "StringTable.h"

#include <QString>

class QMessageBox;
class QWidget;

// The message box of a string-table text (exclamation icon, OK, the program's
// title as caption), owned by owner, not yet shown. The caller runs and
// deletes it. It is wide enough for its title bar to show the whole title.
QMessageBox* CreateMessageBox(int stringId, QWidget* owner);
// The same box with a text of the program's own making.
QMessageBox* CreateMessageBox(const QString& text, QWidget* owner);

// A new, not yet shown modal dialog of that number (100, 136..144, 151, 152),
// owned by owner; nullptr for any other number. The caller deletes it.
// `detail`, when given, is an extra line under the port-error dialog's (136)
// own text: the port and the system's reason.
QDialog* CreateModalDialog(int dialogId, QWidget* owner, const QString& detail = QString());

// Builds the dialog of that number, runs it modally centred over owner and
// returns IDOK or IDCANCEL (Escape key and close box give IDCANCEL). A number
// that is not one of those dialogs shows nothing and gives IDCANCEL; the
// escape dialog (148) is run through the settings window's own CEscapeDlg.
int RunModalDialog(int dialogId, QWidget* owner, const QString& detail = QString());

// A modeless progress window (132, 145, 146, 147, 153), owned by owner, placed
// at its layout position relative to owner's client area (the main window's
// central widget), disabled and not yet shown; nullptr for any other number.
// The caller shows, paints and finally deletes it.
QDialog* CreateProgressWindow(int dialogId, QWidget* owner);
