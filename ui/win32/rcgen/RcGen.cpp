// Writes the text parts of the Windows program's resource script from the
// program's text table: the string table, the menu bar, the settings form and
// every dialog, placed as the form layer's layout (DialogLayout.h) puts them.
// Runs on the build machine.
//
//   velmora_rcgen OUTPUT.rc
//
// How wide a text is and how many rows it wraps into are estimated from the
// widths of the dialog font (a full-width character is about 7 dialog units
// wide, an ASCII character about 4); the program gives a line more rows when it
// opens the dialog if its font needs them.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

// Decodes one UTF-8 sequence; returns the code point and advances i.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    ++i;
    for (; extra > 0 && i < s.size(); --extra, ++i) c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return c;
}

// Estimated width of a character in dialog units (tenths).
int CharWidth10(char32_t c) {
    if (c == U' ') return 25;
    if (c == U'.' || c == U',' || c == U':' || c == U'i' || c == U'l' || c == U'I' || c == U'(' || c == U')') return 25;
    if (c < 0x80) return 42;
    if (c >= 0xFF61 && c <= 0xFF9F) return 40;  // half-width katakana
    return 69;
}

// The dialog font's widths as estimated; a line breaks between characters.
class EstimatedFont final : public CTextMeasure {
public:
    int Width(const std::string& text) const override {
        int width10 = 0;
        for (std::size_t i = 0; i < text.size();) width10 += CharWidth10(NextCodePoint(text, i));
        return (width10 + 9) / 10;
    }
    int Rows(const std::string& text, int width) const override {
        int rows = 1;
        int used10 = 0;
        for (std::size_t i = 0; i < text.size();) {
            const int w = CharWidth10(NextCodePoint(text, i));
            if (used10 > 0 && used10 + w > width * 10) {
                ++rows;
                used10 = 0;
            }
            used10 += w;
        }
        return rows;
    }
};

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out + "\"";
}

// One item as a resource statement.
std::string ControlLine(const CLayoutItem& c) {
    std::string cls;
    std::string style;
    std::string exStyle;
    int height = c.height;
    switch (c.kind) {
    case KvFormKind::Icon:
        return "    ICON " + std::to_string(IDR_MAINFRAME) + ", -1, " + std::to_string(c.x) + ", " +
               std::to_string(c.y) + ", " + std::to_string(c.width) + ", " + std::to_string(c.height) + "\n";
    case KvFormKind::Label:
        cls = "Static";
        style = c.align == KvAlign::Right ? "SS_RIGHT" : c.align == KvAlign::Centre ? "SS_CENTER" : "SS_LEFT";
        style += " | SS_NOPREFIX | WS_CHILD | WS_VISIBLE | WS_GROUP";
        break;
    case KvFormKind::Group:
        cls = "Button";
        style = "BS_GROUPBOX | WS_CHILD | WS_VISIBLE";
        break;
    case KvFormKind::List:
        cls = "ComboBox";
        style = "CBS_DROPDOWNLIST | WS_VSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP";
        // The channels are "2405" to "2480": sorting keeps their order.
        if (c.id == IDC_FREQUENCY) style += " | CBS_SORT";
        // The height is that of the list when it drops down.
        height = c.id == IDC_FREQUENCY ? 120 : 90;
        break;
    case KvFormKind::Edit:
        cls = "Edit";
        style = "ES_NUMBER | ES_AUTOHSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP";
        if (c.align == KvAlign::Right) style += " | ES_RIGHT";
        exStyle = "WS_EX_CLIENTEDGE";
        break;
    case KvFormKind::Button:
        cls = "Button";
        // In a dialog, button 1 is the default; the form's buttons are plain.
        style = c.id == IDOK ? "BS_DEFPUSHBUTTON" : "BS_PUSHBUTTON";
        style += " | WS_CHILD";
        if (c.id == IDOK || c.id == IDCANCEL) style += " | WS_TABSTOP";
        // A CONTROL statement is visible unless told otherwise.
        style += c.hidden ? " | NOT WS_VISIBLE" : " | WS_VISIBLE";
        if (c.id != IDOK && c.id != IDCANCEL) style += " | WS_TABSTOP";
        break;
    }
    if (c.disabled) style += " | WS_DISABLED";
    std::ostringstream out;
    out << "    CONTROL " << Quoted(c.text) << ", " << c.id << ", " << Quoted(cls) << ", " << style << ", " << c.x
        << ", " << c.y << ", " << c.width << ", " << height;
    if (!exStyle.empty()) out << ", " << exStyle;
    return out.str() + "\n";
}

const char kFont[] = "FONT 9, \"ＭＳ Ｐゴシック\", 400, 0, 0x80\n";

// The window style of each kind of dialog.
std::string DialogStyle(int id) {
    switch (id) {
    case IDD_VELMORA_FORM: return "DS_SETFONT | DS_CONTROL | WS_CHILD";
    // The search window: a title bar without close box, visible as it is created.
    case IDD_SCAN: return "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_VISIBLE";
    case IDD_LOADING:
    case IDD_SETTING:
    case IDD_INITIALIZING:
    case IDD_ESCAPING: return "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP";
    default: return "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU";
    }
}

void WriteDialog(std::ostream& out, const CDialogLayout& layout) {
    const KvDialogFrame& f = layout.frame;
    const KvDialogText* texts = KvDialog(layout.id);
    const std::string title = texts ? texts->title : "";
    if (layout.id == IDD_VELMORA_FORM) out << "// The settings form, the program's only view.\n";
    out << layout.id << " DIALOGEX " << f.x << ", " << f.y << ", " << f.width << ", " << f.height << "\n";
    out << "STYLE " << DialogStyle(layout.id) << "\n";
    if (layout.id == IDD_VELMORA_FORM) out << "EXSTYLE WS_EX_CONTROLPARENT\n";
    if (!title.empty()) out << "CAPTION " << Quoted(title) << "\n";
    out << kFont << "BEGIN\n";
    for (const CLayoutItem& c : layout.items) out << ControlLine(c);
    out << "END\n\n";
}

void WriteDialogs(std::ostream& out) {
    const EstimatedFont font;
    WriteDialog(out, LayoutDialog(IDD_VELMORA_FORM, font));
    // The port-error dialogs have a line, empty in the resource, for the
    // port and reason the program fills in when the dialog opens.
    for (int id : KvDialogIds()) WriteDialog(out, LayoutDialog(id, font, HasReasonLine(id)));
}

void WriteMenu(std::ostream& out) {
    // Commands the program handles; every other item of the framework's menus is grey.
    const std::set<int> handled = {ID_APP_EXIT,
                                   ID_APP_ABOUT,
                                   ID_TOOLS_INITIALIZE,
                                   ID_MODE_TRANSPARENT_MASTER,
                                   ID_MODE_TRANSPARENT_SLAVE,
                                   ID_MODE_CANCEL_TRANSPARENT,
                                   ID_MODE_ESCAPE_TRANSPARENT};
    out << IDR_MAINFRAME << " MENU\nBEGIN\n";
    const std::vector<KvMenuEntry>& menu = KvMenuBar();
    int level = 0;
    auto indent = [](int n) { return std::string(static_cast<std::size_t>(4 * (n + 1)), ' '); };
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const KvMenuEntry& e = menu[i];
        for (; level > e.level; --level) out << indent(level - 1) << "END\n";
        if (e.command == 0 && e.text == nullptr) {
            out << indent(level) << "MENUITEM SEPARATOR\n";
        } else if (e.command == 0) {
            out << indent(level) << "POPUP " << Quoted(e.text) << "\n" << indent(level) << "BEGIN\n";
            level = e.level + 1;
        } else {
            std::string text = e.text;
            if (e.shortcut) text += std::string("\t") + e.shortcut;
            out << indent(level) << "MENUITEM " << Quoted(text) << ", " << e.command
                << (handled.count(e.command) ? "" : ", GRAYED") << "\n";
        }
    }
    for (; level > 0; --level) out << indent(level - 1) << "END\n";
    out << "END\n\n";
}

void WriteStrings(std::ostream& out) {
    out << "STRINGTABLE\nBEGIN\n";
    for (int id : KvTextIds()) out << "    " << id << ", " << Quoted(KvText(id)) << "\n";
    out << "END\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: velmora_rcgen OUTPUT.rc\n";
        return 2;
    }
    std::ostringstream out;
    out << "// Written by velmora_rcgen from the program's text table; do not edit.\n";
    out << "#pragma code_page(65001)\n";
    out << "LANGUAGE 0x11, 0x1  // Japanese\n\n";
    WriteStrings(out);
    WriteMenu(out);
    WriteDialogs(out);
    // Only a changed script is written again, so the resources are not rebuilt for nothing.
    std::ifstream old(argv[1], std::ios::binary);
    std::ostringstream before;
    before << old.rdbuf();
    if (old && before.str() == out.str()) return 0;
    std::ofstream file(argv[1], std::ios::binary);
    file << out.str();
    return file ? 0 : 1;
}
