#pragma once
#include "CLayoutDlg.h"
#include "EscapeForm.h"
#include "SerialSettings.h"

class QComboBox;

// The escape dialog (148): collects the line settings with which the escape
// string is sent. The settings window keeps one object for its whole life, so
// the four choices persist from one run to the next, also after Cancel.
class CEscapeDlg : public CLayoutDlg {
    Q_OBJECT
public:
    explicit CEscapeDlg(QWidget* owner = nullptr);

    // Loads the lists, selects the remembered values and runs the dialog
    // modally; returns IDOK ("透過モード脱出") or IDCANCEL (キャンセル, Escape,
    // close box). Either way the selections are stored in settings first.
    int DoModal();

    // Stores the selections, then ends the dialog with result.
    void done(int result) override;

    // The remembered line settings; start 9600 bps, 8 data bits, no parity, 1 stop bit.
    SerialSettings settings = kEscapeStartSettings;

private:
    // A label or box that needs more room on this font than the layout gave
    // it widens the box, and the buttons move right, widening the dialog.
    void FitBoxToFont();
    // Fills the four lists with their texts and selects the items whose
    // values equal the remembered settings (EscapeForm.h decides).
    void LoadLists();
    // The selections into the remembered settings (EscapeForm.h decides).
    void StoreSelections();
    QComboBox* List(int listId) const;
};
