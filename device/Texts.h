#pragma once
#include <vector>

// The program's own texts in plain UTF-8, in one place: the string table by
// number and every dialog's title, lines and buttons. The desktop program
// builds its dialogs from them, the command-line tool prints them.

// A string-table entry (IDS_..., the application titles 57344 and 57345, and
// the one-line descriptions of the Tools commands); nullptr for a number the
// table does not hold.
const char* KvText(int id);

// Where a dialog stands and how large it is, in dialog units of the dialog
// font: x and y place the modeless windows relative to the main window's
// client area (the modal dialogs open centred over the main window, at 0, 0).
struct KvDialogFrame {
    int x, y, width, height;
};

struct KvDialogButton {
    int id;  // 1 ends the dialog with OK, 2 with Cancel
    const char* text;
};

// One dialog's texts, top to bottom.
struct KvDialogText {
    int id;
    const char* title;                       // "" for the untitled windows
    std::vector<const char*> headline;       // centred lines
    const char* groupCaption;                // nullptr: no framed box; "": a box without caption
    std::vector<const char*> groupLines;     // inside the box
    std::vector<const char*> trailingLines;  // below the box
    std::vector<KvDialogButton> buttons;     // in row order
    KvDialogFrame frame;
};

// The texts of a dialog by its number; nullptr for a number that is no dialog
// of the program.
const KvDialogText* KvDialog(int dialogId);

// Every dialog of the program, in table order.
std::vector<int> KvDialogIds();

// A dialog's title ("" for the untitled progress windows); nullptr for a
// number that is no dialog of the program.
const char* KvDialogTitle(int dialogId);

// The text lines of a dialog, top to bottom: the headline first, then the
// box's caption (where it has one) followed by its lines, then the lines below
// the box. Buttons are left out, and so are the labels of the escape dialog's
// line-settings box (the caller shows the settings itself). Empty for a number
// that is no dialog with texts.
std::vector<const char*> KvDialogLines(int dialogId);

// Item texts of the fixed choice lists of the settings form (and the escape
// dialog, whose lists carry the same numbers), by control number, in order:
// IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS and the four pin
// lists IDC_PIN_12 ... IDC_PIN_78. Empty for any other number.
std::vector<const char*> KvListTexts(int controlId);
// Every number of the string table that KvText answers, in table order.
std::vector<int> KvTextIds();

// The settings form (form 101) as its layout gives it: every control with its
// text and its place in dialog units of the form's font. A front-end builds the
// form from this table (the Windows program writes it into its resource script).
enum class KvFormKind {
    Label,   // static text
    Group,   // framed box with its caption
    List,    // drop-down list to choose from (its items: KvListTexts)
    Edit,    // the address edit
    Button,  // push button
    Icon,    // the program icon (the About box)
};
enum class KvAlign { Left, Centre, Right };
struct KvFormControl {
    KvFormKind kind;
    int id;            // control number, -1 for a label or box nobody addresses
    const char* text;  // caption or start text ("" for none)
    int x, y, width, height;
    KvAlign align;
    // Disabled until the first device is read: the controls the settings form
    // greys without a device, so a front-end creates them disabled.
    bool disabledAtStart = false;
};
inline constexpr int kKvFormWidth = 269;
inline constexpr int kKvFormHeight = 245;
const std::vector<KvFormControl>& KvFormControls();
// The frame of the line-settings box of the form; the escape dialog (148)
// lays out its four lists as the controls inside this frame are laid out.
inline constexpr int kKvLineBoxX = 120, kKvLineBoxY = 58, kKvLineBoxWidth = 142, kKvLineBoxHeight = 92;

// The menu bar of resource 128, top to bottom. A menu (or sub-menu) is an entry
// with command 0 and a text; the entries after it one level deeper are its
// items. A separator has command 0 and no text.
struct KvMenuEntry {
    int level;  // 0: menu of the bar, 1: its item, 2: item of a sub-menu
    int command;
    const char* text;
    const char* shortcut;  // label shown beside the item ("Ctrl+N"), or nullptr
};
const std::vector<KvMenuEntry>& KvMenuBar();

// The demo mode's menu: its title and its one command.
struct KvDemoMenuText {
    const char* title;
    const char* powerCycle;
};
const KvDemoMenuText& KvDemoMenu();

// Second line of the About box (the publisher's notice).
const char* KvPublisherNotice();

// The program's own words in the line under the port-error dialog's text
// (PortFailureLine.h puts it together).
struct KvPortFailureWords {
    const char* cannotOpen;  // no reason from the system
    const char* gone;        // the device went away during an exchange
    const char* heldBy;      // before the program that holds the device
};
const KvPortFailureWords& KvPortFailureTexts();
