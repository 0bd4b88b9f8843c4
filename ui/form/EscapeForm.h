#pragma once
#include "SerialSettings.h"

// The decisions of the escape dialog (148). The settings window keeps one
// SerialSettings for the dialog for its whole life (CSettingsForm), so the
// four choices persist from one run to the next, also after Cancel.
//
// The lists are IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY and IDC_STOP_BITS with
// the items of FormListItems (FormLists.h).

// What the dialog shows the first time: 9600 bps, 8 data bits, no parity, 1 stop bit.
inline constexpr SerialSettings kEscapeStartSettings{9600, '8', 'N', '1'};

// The item a list selects when the dialog opens: the one whose integer equals
// the remembered field; -1 (no selection) when none does.
int EscapeListSelection(const SerialSettings& settings, int listId);

// When the dialog closes (OK or Cancel alike): the integer of the selected
// item becomes the list's field; a list without a selection (index -1) leaves
// its field as it was.
void StoreEscapeSelection(SerialSettings& settings, int listId, int index);
