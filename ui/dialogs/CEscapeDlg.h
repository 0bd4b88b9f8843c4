#pragma once
#include <cstdint>

#include "CLayoutDlg.h"
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
    SerialSettings settings;

private:
    // Fills the four lists with their texts and values and selects the items
    // whose values equal the remembered settings (none when no item matches).
    void LoadLists();
    // A list's selected value goes into its field; a list without a selection
    // leaves the field as it was.
    void StoreSelections();

    QComboBox* baudRate_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
};
