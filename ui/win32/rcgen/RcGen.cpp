// Writes the text parts of the Windows program's resource script from the
// program's text table: the string table, the menu bar, the settings form and
// every dialog, laid out in dialog units. Runs on the build machine.
//
//   velmora_rcgen OUTPUT.rc
//
// The dialogs are given their size; their lines are stacked from the top, each
// in its own static text that wraps inside its width, the buttons in a row at
// the bottom. How many rows a line takes is estimated from the widths of the
// dialog font (a full-width character is about 7 dialog units wide, an ASCII
// character about 4); the program gives a line more rows when it opens the
// dialog if its font needs them; a dialog whose lines need more room than its size gives
// grows instead of clipping them.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ResourceIds.h"
#include "Texts.h"

namespace {

constexpr int kMargin = 7;          // around the dialog's contents
constexpr int kLineHeight = 8;      // one row of text
constexpr int kBlockGap = 5;        // between headline, box and lines below
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;       // between buttons of the row
constexpr int kBoxPadding = 7;      // inside a box, left and right
constexpr int kBoxTopCaption = 12;  // first line of a box with caption
constexpr int kBoxTop = 9;          // first line of a box without caption
constexpr int kBoxBottom = 6;
constexpr int kBulletGap = 4;       // before a bullet line in a box
constexpr int kLineGap = 1;         // before a continuation line
constexpr int kMaxWidening = 4;     // spare room given to each gap, at most

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
    if (c == U'.' || c == U',' || c == U':' || c == U'i' || c == U'l' || c == U'I' || c == U'(' || c == U')')
        return 25;
    if (c < 0x80) return 42;
    if (c >= 0xFF61 && c <= 0xFF9F) return 40;  // half-width katakana
    return 69;
}

int TextWidth(const std::string& text) {
    int width10 = 0;
    for (std::size_t i = 0; i < text.size();) width10 += CharWidth10(NextCodePoint(text, i));
    return (width10 + 9) / 10;
}

// Rows a text takes when it wraps at `width`: the line breaks between characters.
int Rows(const std::string& text, int width) {
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

bool IsBullet(const std::string& line) { return line.rfind("・", 0) == 0; }

struct Control {
    std::string text;
    int id;
    std::string cls;
    std::string style;
    int x, y, w, h;
    std::string exStyle;
};

std::string ControlLine(const Control& c) {
    std::ostringstream out;
    out << "    CONTROL " << Quoted(c.text) << ", " << c.id << ", " << Quoted(c.cls) << ", " << c.style << ", " << c.x
        << ", " << c.y << ", " << c.w << ", " << c.h;
    if (!c.exStyle.empty()) out << ", " << c.exStyle;
    return out.str() + "\n";
}

Control Text(const std::string& text, int id, int x, int y, int w, int h, KvAlign align) {
    const char* style = align == KvAlign::Right ? "SS_RIGHT" : align == KvAlign::Centre ? "SS_CENTER" : "SS_LEFT";
    return {text, id, "Static", std::string(style) + " | SS_NOPREFIX | WS_CHILD | WS_VISIBLE | WS_GROUP", x, y, w, h, ""};
}

Control Box(const std::string& caption, int x, int y, int w, int h) {
    return {caption, -1, "Button", "BS_GROUPBOX | WS_CHILD | WS_VISIBLE", x, y, w, h, ""};
}

Control Button(int id, const std::string& text, int x, int y, int w, bool visible = true) {
    std::string style = id == IDOK ? "BS_DEFPUSHBUTTON" : "BS_PUSHBUTTON";
    style += " | WS_CHILD | WS_TABSTOP";
    // A CONTROL statement is visible unless told otherwise.
    if (visible)
        style += " | WS_VISIBLE";
    else
        style += " | NOT WS_VISIBLE | WS_DISABLED";
    return {text, id, "Button", style, x, y, w, kButtonHeight, ""};
}

int ButtonWidth(const std::string& text) { return std::max(50, TextWidth(text) + 12); }

// The settings form's controls as resource lines.
Control FormControl(const KvFormControl& c, int dx = 0, int dy = 0) {
    const int x = c.x + dx;
    const int y = c.y + dy;
    switch (c.kind) {
    case KvFormKind::Label: return Text(c.text, c.id, x, y, c.width, c.height, c.align);
    case KvFormKind::Group: return Box(c.text, x, y, c.width, c.height);
    case KvFormKind::List: {
        std::string style = "CBS_DROPDOWNLIST | WS_VSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP";
        // The channels are "2405" to "2480": sorting keeps their order.
        if (c.id == IDC_FREQUENCY) style += " | CBS_SORT";
        // The height is that of the list when it drops down.
        return {"", c.id, "ComboBox", style, x, y, c.width, c.id == IDC_FREQUENCY ? 120 : 90, ""};
    }
    case KvFormKind::Edit: {
        std::string style = "ES_NUMBER | ES_AUTOHSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP";
        style += c.align == KvAlign::Right ? " | ES_RIGHT" : "";
        return {c.text, c.id, "Edit", style, x, y, c.width, c.height, "WS_EX_CLIENTEDGE"};
    }
    case KvFormKind::Button:
        return {c.text, c.id, "Button", "BS_PUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP", x, y, c.width, c.height,
                ""};
    }
    return {};
}

const char kFont[] = "FONT 9, \"ＭＳ Ｐゴシック\", 400, 0, 0x80\n";

void WriteDialogHead(std::ostream& out, int id, int x, int y, int w, int h, const std::string& style,
                     const std::string& title, const std::string& exStyle = "") {
    out << id << " DIALOGEX " << x << ", " << y << ", " << w << ", " << h << "\n";
    out << "STYLE " << style << "\n";
    if (!exStyle.empty()) out << "EXSTYLE " << exStyle << "\n";
    if (!title.empty()) out << "CAPTION " << Quoted(title) << "\n";
    out << kFont;
}

void WriteForm(std::ostream& out) {
    out << "// The settings form, the program's only view.\n";
    WriteDialogHead(out, IDD_VELMORA_FORM, 0, 0, kKvFormWidth, kKvFormHeight,
                    "DS_SETFONT | DS_CONTROL | WS_CHILD", "", "WS_EX_CONTROLPARENT");
    out << "BEGIN\n";
    for (const KvFormControl& c : KvFormControls()) out << ControlLine(FormControl(c));
    out << "END\n\n";
}

// A block of the flow: lines stacked one under the other, maybe in a box.
struct Line {
    std::string text;
    int indent;
    int gapBefore;
    bool widens;  // the gap before it takes a share of spare room
    int rows;
};

struct Flow {
    std::vector<Control> controls;
};

// reasonId: a line of that number below the texts, empty in the resource, for
// what the program fills in when the dialog opens.
void WriteTextDialog(std::ostream& out, const KvDialogText& d, int width, int height, int reasonId = -1) {
    const int inner = width - 2 * kMargin;
    std::vector<std::vector<Line>> blocks;  // headline, box, lines below
    std::vector<int> kinds;                 // 0 headline, 1 box, 2 lines
    auto lines = [&](const std::vector<const char*>& texts, int kind, int textWidth) {
        std::vector<Line> block;
        bool underBullet = false;
        const int bulletIndent = TextWidth("・");
        for (const char* t : texts) {
            const std::string text = t;
            const bool bullet = IsBullet(text);
            underBullet = underBullet || bullet;
            const int indent = kind == 1 && !bullet && underBullet ? bulletIndent : 0;
            int gap = 0;
            if (!block.empty()) gap = kind == 1 ? (bullet ? kBulletGap : kLineGap) : 3;
            block.push_back({text, indent, gap, kind == 1 && bullet && !block.empty(), Rows(text, textWidth - indent)});
        }
        blocks.push_back(block);
        kinds.push_back(kind);
    };
    if (!d.headline.empty()) lines(d.headline, 0, inner);
    const bool box = d.groupCaption != nullptr;
    const bool boxCaption = box && *d.groupCaption;
    if (box) lines(d.groupLines, 1, inner - 2 * kBoxPadding);
    if (!d.trailingLines.empty()) lines(d.trailingLines, 2, inner);
    static const std::vector<const char*> kEmptyLine = {""};
    if (reasonId >= 0) lines(kEmptyLine, 2, inner);

    auto blockHeight = [&](std::size_t b, int extra) {
        int h = 0;
        for (const Line& l : blocks[b]) h += l.gapBefore + (l.widens ? extra : 0) + l.rows * kLineHeight;
        if (kinds[b] == 1) h += (boxCaption ? kBoxTopCaption : kBoxTop) + kBoxBottom;
        return h;
    };
    int natural = 2 * kMargin + (d.buttons.empty() ? 0 : kButtonHeight + kMargin);
    int widening = static_cast<int>(blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        natural += blockHeight(b, 0) + (b > 0 ? kBlockGap : 0);
        for (const Line& l : blocks[b]) widening += l.widens ? 1 : 0;
    }
    int spare = height - natural;
    if (spare < 0) {
        std::cerr << "dialog " << d.id << ": lines need " << natural << " units, grown from " << height << "\n";
        height = natural;
        spare = 0;
    }
    const int extra = std::min(spare / widening, kMaxWidening);

    std::vector<Control> controls;
    int y = kMargin;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const int h = blockHeight(b, extra);
        int x = kMargin;
        int lineY = y;
        int textWidth = inner;
        if (kinds[b] == 1) {
            controls.push_back(Box(d.groupCaption, kMargin, y, inner, h));
            x += kBoxPadding;
            lineY += boxCaption ? kBoxTopCaption : kBoxTop;
            textWidth -= 2 * kBoxPadding;
        }
        for (const Line& l : blocks[b]) {
            lineY += l.gapBefore + (l.widens ? extra : 0);
            const KvAlign align = kinds[b] == 0 ? KvAlign::Centre : KvAlign::Left;
            const int id = reasonId >= 0 && l.text.empty() ? reasonId : -1;
            controls.push_back(Text(l.text, id, x + l.indent, lineY, textWidth - l.indent, l.rows * kLineHeight, align));
            lineY += l.rows * kLineHeight;
        }
        y += h + kBlockGap + extra;
    }
    // The buttons in one centred row at the bottom.
    int rowWidth = 0;
    for (const KvDialogButton& b : d.buttons) rowWidth += ButtonWidth(b.text) + (rowWidth > 0 ? kButtonGap : 0);
    int x = (width - rowWidth) / 2;
    for (const KvDialogButton& b : d.buttons) {
        controls.push_back(Button(b.id, b.text, x, height - kMargin - kButtonHeight, ButtonWidth(b.text)));
        x += ButtonWidth(b.text) + kButtonGap;
    }

    WriteDialogHead(out, d.id, 0, 0, width, height,
                    "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU", d.title);
    out << "BEGIN\n";
    for (const Control& c : controls) out << ControlLine(c);
    out << "END\n\n";
}

// The modeless windows that show one line while a workflow runs.
void WriteProgressWindow(std::ostream& out, const KvDialogText& d, int x, int y, int width, int height) {
    WriteDialogHead(out, d.id, x, y, width, height, "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP", "");
    out << "BEGIN\n";
    out << ControlLine(Text(d.headline.front(), -1, kMargin, (height - kLineHeight) / 2, width - 2 * kMargin,
                            kLineHeight, KvAlign::Centre));
    out << "END\n\n";
}

// The device-search window: a title bar without close box, its line, the
// settings line 1006 below it, and a Cancel button that is hidden and disabled.
void WriteScanWindow(std::ostream& out, const KvDialogText& d) {
    const int width = 187, height = 85;
    WriteDialogHead(out, d.id, 42, 73, width, height, "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_VISIBLE",
                    d.title);
    out << "BEGIN\n";
    out << ControlLine(Text(d.headline.front(), -1, kMargin, 14, width - 2 * kMargin, kLineHeight, KvAlign::Left));
    out << ControlLine(Text("SERIAL SETTINGS", IDC_SCAN_SETTINGS, kMargin, 36, width - 2 * kMargin, kLineHeight,
                            KvAlign::Centre));
    const KvDialogButton& cancel = d.buttons.front();
    out << ControlLine(Button(cancel.id, cancel.text, (width - 50) / 2, height - kMargin - kButtonHeight, 50, false));
    out << "END\n\n";
}

void WriteAboutBox(std::ostream& out, const KvDialogText& d) {
    WriteDialogHead(out, d.id, 0, 0, 235, 55,
                    "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU", d.title);
    out << "BEGIN\n";
    out << "    ICON " << IDR_MAINFRAME << ", -1, 11, 14, 21, 20\n";
    out << ControlLine(Text(d.headline.front(), -1, 40, 10, 132, 8, KvAlign::Left));
    out << ControlLine(Text(KvPublisherNotice(), -1, 40, 24, 132, 8, KvAlign::Left));
    out << ControlLine(Button(IDOK, d.buttons.front().text, 178, 7, 50));
    out << "END\n\n";
}

// The escape dialog: its texts, then the line-settings box laid out as in the
// settings form, with the two buttons to the right of the box.
void WriteEscapeDialog(std::ostream& out, const KvDialogText& d) {
    const int width = 246, height = 233;
    const int buttonWidth = std::max(ButtonWidth(d.buttons[0].text), ButtonWidth(d.buttons[1].text));
    // The texts above take the dialog's width; the box below them its own height.
    KvDialogText texts = d;
    texts.buttons.clear();
    std::ostringstream upper;
    const int boxHeight = kKvLineBoxHeight;
    WriteTextDialog(upper, texts, width, height - boxHeight - kBlockGap);
    // Take the controls of the text part as they were written.
    std::string body = upper.str();
    const std::size_t begin = body.find("BEGIN\n") + 6;
    const std::size_t end = body.rfind("END\n");
    const std::string lines = body.substr(begin, end - begin);

    const int boxY = height - kMargin - boxHeight;
    const int boxX = kMargin;
    WriteDialogHead(out, d.id, 0, 0, width, height,
                    "DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU", d.title);
    out << "BEGIN\n" << lines;
    for (const KvFormControl& c : KvFormControls()) {
        const bool inside = c.x >= kKvLineBoxX && c.y >= kKvLineBoxY && c.x < kKvLineBoxX + kKvLineBoxWidth &&
                            c.y < kKvLineBoxY + kKvLineBoxHeight;
        if (inside || (c.x == kKvLineBoxX && c.y == kKvLineBoxY))
            out << ControlLine(FormControl(c, boxX - kKvLineBoxX, boxY - kKvLineBoxY));
    }
    const int buttonX = width - kMargin - buttonWidth;
    out << ControlLine(Button(d.buttons[0].id, d.buttons[0].text, buttonX, boxY + 6, buttonWidth));
    out << ControlLine(Button(d.buttons[1].id, d.buttons[1].text, buttonX, boxY + 6 + kButtonHeight + 6, buttonWidth));
    out << "END\n\n";
}

void WriteDialogs(std::ostream& out) {
    struct Size {
        int id, x, y, w, h;
    };
    const Size modal[] = {
        {IDD_OPEN_ERROR, 0, 0, 247, 135},   {IDD_COMM_ERROR, 0, 0, 259, 175},  {IDD_SET_CONFIRM, 0, 0, 191, 77},
        {IDD_SET_ERROR, 0, 0, 258, 179},    {IDD_SET_DONE, 0, 0, 209, 147},    {IDD_INIT_CONFIRM, 0, 0, 239, 113},
        {IDD_MASTER_MODE, 0, 0, 290, 177},  {IDD_SLAVE_MODE, 0, 0, 290, 177},  {IDD_STANDARD_MODE, 0, 0, 275, 145},
        {IDD_ESCAPE_DONE, 0, 0, 257, 149},  {IDD_ESCAPE_FAILED, 0, 0, 226, 131},
    };
    const Size progress[] = {
        {IDD_LOADING, 55, 85, 159, 61},
        {IDD_SETTING, 68, 85, 135, 61},
        {IDD_INITIALIZING, 68, 85, 135, 61},
        {IDD_ESCAPING, 68, 85, 135, 61},
    };
    WriteAboutBox(out, *KvDialog(IDD_ABOUTBOX));
    WriteScanWindow(out, *KvDialog(IDD_SCAN));
    for (const Size& s : modal) {
        // The port and the system's reason: why it cannot be opened, or that the device went away.
        const bool reason = s.id == IDD_OPEN_ERROR || s.id == IDD_COMM_ERROR || s.id == IDD_SET_ERROR;
        WriteTextDialog(out, *KvDialog(s.id), s.w, s.h, reason ? IDC_OPEN_REASON : -1);
    }
    for (const Size& s : progress) WriteProgressWindow(out, *KvDialog(s.id), s.x, s.y, s.w, s.h);
    WriteEscapeDialog(out, *KvDialog(IDD_ESCAPE));
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
    WriteForm(out);
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
