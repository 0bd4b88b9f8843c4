#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "SerialSettings.h"

// The dialogs of the program, each from its resource (velmora.rc). Button 1
// ends a modal dialog with IDOK and button 2 with IDCANCEL; the Escape key and
// the close box end it with IDCANCEL. Modal dialogs open centred over their
// owner, which they block until they close.

// Runs one of the plain modal dialogs (100, 136 to 144, 151, 152) by number;
// returns IDOK or IDCANCEL.
// `reason` (UTF-8), when not empty, goes into the line IDC_OPEN_REASON of the
// port-error dialog (why the port could not be opened) or of the
// communication- and setting-error dialogs (the device that went away).
int RunModalDialog(int dialogId, HWND owner, const std::string& reason = std::string());

// Runs the escape dialog (148): its four lists show `settings` as the form
// layer selects them, and when it closes, with OK or Cancel alike, the choice
// goes back into `settings`. Returns IDOK or IDCANCEL.
int RunEscapeDialog(HWND owner, SerialSettings& settings);

// A small modal dialog with `prompt`, a one-line edit and OK / キャンセル, in
// the dialogs' face, titled `title`. The text typed, or nothing when the user
// cancelled.
std::optional<std::wstring> AskForText(HWND owner, const std::wstring& title, const std::wstring& prompt);

// Creates a progress window (132, 145, 146, 147, 153) from its resource, owned
// by `owner` and placed relative to the owner's client area as its resource
// says; nullptr for any other number.
HWND CreateProgressWindow(int dialogId, HWND owner);

// Centres a window over another one (or over the screen when `over` is null),
// kept on the work area.
void CentreWindow(HWND window, HWND over);

// Widens a one-line static text whose text is wider than its box on this font,
// so that nothing is cut off: to the left for a right-aligned text, to the
// right for a left-aligned one, to both sides for a centred one. The layout's
// sizes were drawn for the dialog font of Windows; a substitute font with wider
// glyphs would otherwise wrap "ビット" into a second, invisible row.
// `dc`, when given, is a device context with the control's font selected
// (one for a whole form, instead of one per control).
void FitTextToControl(HWND control, HDC dc = nullptr);
// A drop-down list as wide as its longest line needs on this font, what stands
// to its right on its row moved along ("19200" whole, not "1920(").
void FitListToTexts(HWND list);
