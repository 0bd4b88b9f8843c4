#pragma once
#include <vector>

// The program's own texts in plain UTF-8, for front-ends that are not Qt (the
// command-line tool) and for tests: the string table by number and the lines
// of the dialogs, top to bottom, as the dialogs show them.

// A string-table entry (IDS_... and the application titles 57344, 57345);
// nullptr for a number the table does not hold.
const char* KvText(int id);

// A dialog's title ("" for the untitled progress windows); nullptr for a
// number that is no dialog of the program.
const char* KvDialogTitle(int dialogId);

// The text lines of a dialog, top to bottom: the headline first, then each
// group's caption (where it has one) followed by the group's lines, then the
// lines below the group. Buttons are left out, and so are the labels of the
// escape dialog's line-settings box (the caller shows the settings itself).
// Empty for a number that is no dialog with texts.
std::vector<const char*> KvDialogLines(int dialogId);
