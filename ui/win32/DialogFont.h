#pragma once
// The face every dialog of the program is drawn in. The resource script names
// "ＭＳ Ｐゴシック"; a Windows without the Japanese supplemental fonts has no
// such face, and its font mapper would then pick one without Japanese glyphs.
// The program looks once, at the first dialog, for the first of
// "ＭＳ Ｐゴシック", "Yu Gothic UI" (every Windows 10 and 11) and "Meiryo UI"
// that is installed, and builds its dialogs from templates that name it.
#include <windows.h>

#include <vector>

// The face in use: one of the three, or the script's own when none is found
// (the font mapper decides then, as before).
const wchar_t* DialogFaceName();

// The dialog template `dialogId` of `instance` with its font face replaced by
// DialogFaceName(). Empty when the script's own face is in use: the resource
// serves as it stands then.
std::vector<WORD> DialogTemplateInFace(HINSTANCE instance, int dialogId);

// CreateDialogParamW and DialogBoxParamW over DialogTemplateInFace.
HWND CreateDialogInFace(HINSTANCE instance, int dialogId, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxInFace(HINSTANCE instance, int dialogId, HWND owner, DLGPROC proc, LPARAM param);
