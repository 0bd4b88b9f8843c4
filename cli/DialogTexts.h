#pragma once
// What the terminal shows for the workflows' dialogs and messages: the
// dialog's title and headline as the desktop program words them, then what
// suits a command line in place of the window's checklist (no buttons to
// click, no menus). English keys of the catalog; Tr shows them.
#include <vector>

struct CliDialogText {
    int id;
    const char* title;               // "" for the progress windows
    std::vector<const char*> lines;  // the headline first
    std::vector<const char*> notes;  // shown after the lines when the dialog asks or fails
    const char* question;            // the confirmation asked, nullptr for none
};

// The dialog's texts; nullptr for a number the tool has no text for.
const CliDialogText* CliDialog(int dialogId);

// A message of the string table the workflows show (IDS_DEVICE_NOT_FOUND, the
// mode and pin notes of the settings window); nullptr for any other number.
const char* CliMessage(int stringId);
