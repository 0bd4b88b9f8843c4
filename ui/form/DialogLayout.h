#pragma once
#include <string>
#include <vector>

#include "Texts.h"

// Where every text, box, list and button of a dialog (and of the settings
// form) stands, in dialog units of the dialog font, decided once for both
// front-ends: the Windows program writes it into its resource script at build
// time, the Qt program places its widgets by it. The texts, sizes and
// positions come from the text table; only how wide a text is and how many rows
// it wraps into depend on the font, and the front-end measures them.
//
// A dialog with texts (136 to 144, 151, 152, and the upper part of 148):
// the headline (centred), the box with its lines and the lines below the box
// are stacked from the top inside a margin of 7 units, each line in its own
// text that wraps within its width; the buttons stand in one centred row at
// the bottom. A line in a box that does not start with a bullet continues the
// bullet line above it and is indented under that line's text. Room the texts
// leave over widens the gaps between the blocks and before the bullet lines
// of the box, by at most 4 units each, and otherwise stays above the buttons.
// A dialog whose texts need more room than its size gives grows.

// How the front-end's font measures a text, in dialog units (rounded up).
class CTextMeasure {
public:
    virtual ~CTextMeasure() = default;
    // Width of the text on one row.
    virtual int Width(const std::string& text) const = 0;
    // Rows the text takes when it wraps within `width`.
    virtual int Rows(const std::string& text, int width) const = 0;
};

struct CLayoutItem {
    KvFormKind kind;
    int id;  // control number, IDOK / IDCANCEL for buttons; -1 for one nobody addresses
    std::string text;
    KvAlign align;
    int x, y, width, height;  // a list's height is left to the front-end (0)
    bool disabled = false;    // created disabled
    bool hidden = false;      // created hidden
    bool wraps = false;       // a line of the dialog's own, measured: it wraps within its width
};

struct CDialogLayout {
    int id;
    KvDialogFrame frame;  // grown where the texts needed it
    std::vector<CLayoutItem> items;
};

// The dialogs that say which port failed and what the system said: it cannot
// be opened (136), it stopped answering or went away (137), a write failed (139).
bool HasReasonLine(int dialogId);

// The layout of dialog `dialogId` (a number KvDialogIds gives) or of the
// settings form (IDD_VELMORA_FORM). With `reasonLine` a dialog HasReasonLine names
// gets one more text below its own, IDC_OPEN_REASON, holding `reason`.
CDialogLayout LayoutDialog(int dialogId, const CTextMeasure& measure, bool reasonLine = false,
                           const std::string& reason = "");

// Width of a push button for its text: at least 50 units.
int ButtonWidth(const CTextMeasure& measure, const std::string& text);

// The settings form's line-settings box (its frame, labels, lists and units),
// which the escape dialog lays out as the form does.
bool InLineSettingsBox(const KvFormControl& control);
