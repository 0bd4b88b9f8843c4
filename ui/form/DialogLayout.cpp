#include "DialogLayout.h"

#include <algorithm>

#include "ResourceIds.h"

namespace {

constexpr int kMargin = 7;      // around the dialog's contents, and above the buttons
constexpr int kLineHeight = 8;  // one row of text
constexpr int kBlockGap = 5;    // between headline, box and lines below
constexpr int kLineGap = 3;     // between the lines of the headline or below the box
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;       // between buttons, side by side or one above the other
constexpr int kBoxPadding = 7;      // inside a box, left and right
constexpr int kBoxTopCaption = 12;  // first line of a box with caption
// First line of a box without caption, and the room below the last line of
// any box. The box's frame runs half a row below its top, so the lines of a
// box without caption stand 5 units below the frame and 6 above it at the
// bottom; with these values the texts of every dialog fit the size it is given.
constexpr int kBoxTop = 9;
constexpr int kBoxBottom = 6;
constexpr int kBulletGap = 4;        // before a bullet line in a box
constexpr int kContinuationGap = 1;  // before the line that continues a bullet line
constexpr int kMaxWidening = 4;      // spare room given to each gap, at most

const char kBullet[] = "・";

bool IsBullet(const std::string& line) { return line.rfind(kBullet, 0) == 0; }

// A line of the dialog's own, `rows` rows high.
CLayoutItem Text(const std::string& text, int id, KvAlign align, int x, int y, int width, int rows = 1) {
    CLayoutItem item{KvFormKind::Label, id, text, align, x, y, width, rows * kLineHeight};
    item.wraps = true;
    return item;
}

struct Line {
    std::string text;
    int id;
    int indent;
    int gapBefore;
    bool widens;  // the gap before it takes a share of spare room
    int rows;
};

enum class BlockKind { Headline, Box, Below };

struct Block {
    BlockKind kind;
    std::vector<Line> lines;
};

// The headline, the box and the lines below it, each line measured.
class TextFlow {
public:
    TextFlow(const KvDialogText& d, const CTextMeasure& measure, int width)
        : d_(d), measure_(measure), inner_(width - 2 * kMargin) {
        boxCaption_ = d.groupCaption != nullptr && *d.groupCaption != '\0';
        if (!d.headline.empty()) Add(BlockKind::Headline, d.headline, -1);
        if (d.groupCaption != nullptr) Add(BlockKind::Box, d.groupLines, -1);
        if (!d.trailingLines.empty()) Add(BlockKind::Below, d.trailingLines, -1);
    }

    void AddBelow(const std::string& text, int id) { Add(BlockKind::Below, {text.c_str()}, id); }

    // Height of the texts with nothing widened, margins included.
    int Natural() const {
        int natural = 2 * kMargin;
        for (std::size_t b = 0; b < blocks_.size(); ++b) natural += Height(blocks_[b], 0) + (b > 0 ? kBlockGap : 0);
        return natural;
    }

    // The gaps that take a share of spare room: one after each block, and the
    // one before each bullet line of the box but its first.
    int Widening() const {
        int widening = static_cast<int>(blocks_.size());
        for (const Block& block : blocks_) {
            for (const Line& line : block.lines) widening += line.widens ? 1 : 0;
        }
        return widening;
    }

    void Place(int spare, std::vector<CLayoutItem>& items) const {
        const int widening = Widening();
        const int extra = widening > 0 ? std::min(spare / widening, kMaxWidening) : 0;
        int y = kMargin;
        for (const Block& block : blocks_) {
            const int height = Height(block, extra);
            int x = kMargin;
            int lineY = y;
            int width = inner_;
            if (block.kind == BlockKind::Box) {
                items.push_back({KvFormKind::Group, -1, d_.groupCaption, KvAlign::Left, kMargin, y, inner_, height});
                x += kBoxPadding;
                lineY += boxCaption_ ? kBoxTopCaption : kBoxTop;
                width -= 2 * kBoxPadding;
            }
            const KvAlign align = block.kind == BlockKind::Headline ? KvAlign::Centre : KvAlign::Left;
            for (const Line& line : block.lines) {
                lineY += line.gapBefore + (line.widens ? extra : 0);
                items.push_back(
                    Text(line.text, line.id, align, x + line.indent, lineY, width - line.indent, line.rows));
                lineY += line.rows * kLineHeight;
            }
            y += height + kBlockGap + extra;
        }
    }

private:
    void Add(BlockKind kind, const std::vector<const char*>& texts, int id) {
        const bool box = kind == BlockKind::Box;
        const int width = box ? inner_ - 2 * kBoxPadding : inner_;
        Block block{kind, {}};
        bool underBullet = false;
        for (const char* t : texts) {
            const std::string text = t;
            const bool bullet = IsBullet(text);
            underBullet = underBullet || bullet;
            const int indent = box && !bullet && underBullet ? measure_.Width(kBullet) : 0;
            int gap = 0;
            if (!block.lines.empty()) gap = box ? (bullet ? kBulletGap : kContinuationGap) : kLineGap;
            const bool widens = box && bullet && !block.lines.empty();
            block.lines.push_back({text, id, indent, gap, widens, measure_.Rows(text, width - indent)});
        }
        blocks_.push_back(block);
    }

    int Height(const Block& block, int extra) const {
        int height = 0;
        for (const Line& line : block.lines)
            height += line.gapBefore + (line.widens ? extra : 0) + line.rows * kLineHeight;
        if (block.kind == BlockKind::Box) height += (boxCaption_ ? kBoxTopCaption : kBoxTop) + kBoxBottom;
        return height;
    }

    const KvDialogText& d_;
    const CTextMeasure& measure_;
    int inner_;
    bool boxCaption_ = false;
    std::vector<Block> blocks_;
};

CLayoutItem Button(const KvDialogButton& button, int x, int y, int width) {
    return {KvFormKind::Button, button.id, button.text, KvAlign::Centre, x, y, width, kButtonHeight};
}

// Texts stacked from the top, the buttons in one centred row at the bottom.
CDialogLayout TextDialog(const KvDialogText& d, const CTextMeasure& measure, bool reasonLine,
                         const std::string& reason) {
    CDialogLayout layout{d.id, d.frame, {}};
    TextFlow flow(d, measure, d.frame.width);
    if (reasonLine) flow.AddBelow(reason, IDC_OPEN_REASON);
    const int natural = flow.Natural() + (d.buttons.empty() ? 0 : kButtonHeight + kMargin);
    layout.frame.height = std::max(layout.frame.height, natural);
    flow.Place(layout.frame.height - natural, layout.items);

    int rowWidth = 0;
    for (const KvDialogButton& b : d.buttons)
        rowWidth += ButtonWidth(measure, b.text) + (rowWidth > 0 ? kButtonGap : 0);
    int x = (layout.frame.width - rowWidth) / 2;
    for (const KvDialogButton& b : d.buttons) {
        const int width = ButtonWidth(measure, b.text);
        layout.items.push_back(Button(b, x, layout.frame.height - kMargin - kButtonHeight, width));
        x += width + kButtonGap;
    }
    return layout;
}

// The escape dialog (148): its texts, then the form's line-settings box with
// its labels and lists, the two buttons one above the other right of it.
CDialogLayout EscapeDialog(const KvDialogText& d, const CTextMeasure& measure) {
    CDialogLayout layout{d.id, d.frame, {}};
    const TextFlow flow(d, measure, d.frame.width);
    const int textHeight = d.frame.height - kKvLineBoxHeight - kBlockGap;
    layout.frame.height += std::max(0, flow.Natural() - textHeight);
    flow.Place(std::max(0, textHeight - flow.Natural()), layout.items);

    const int boxY = layout.frame.height - kMargin - kKvLineBoxHeight;
    for (const KvFormControl& c : KvFormControls()) {
        if (!InLineSettingsBox(c)) continue;
        layout.items.push_back(
            {c.kind, c.id, c.text, c.align, c.x - kKvLineBoxX + kMargin, c.y - kKvLineBoxY + boxY, c.width, c.height});
    }
    const int width = std::max(ButtonWidth(measure, d.buttons[0].text), ButtonWidth(measure, d.buttons[1].text));
    const int x = layout.frame.width - kMargin - width;
    layout.items.push_back(Button(d.buttons[0], x, boxY + kButtonGap, width));
    layout.items.push_back(Button(d.buttons[1], x, boxY + kButtonGap + kButtonHeight + kButtonGap, width));
    return layout;
}

// The device-search window: its line, the settings line 1006 below it, and a
// Cancel button that is hidden and disabled (the search cannot be interrupted).
CDialogLayout ScanWindow(const KvDialogText& d) {
    const int width = d.frame.width - 2 * kMargin;
    CLayoutItem cancel =
        Button(d.buttons.front(), (d.frame.width - 50) / 2, d.frame.height - kMargin - kButtonHeight, 50);
    cancel.disabled = true;
    cancel.hidden = true;
    return {d.id,
            d.frame,
            {Text(d.headline.front(), -1, KvAlign::Left, kMargin, 14, width),
             Text("SERIAL SETTINGS", IDC_SCAN_SETTINGS, KvAlign::Centre, kMargin, 36, width), cancel}};
}

// A window that shows one centred line while a workflow runs.
CDialogLayout ProgressWindow(const KvDialogText& d) {
    return {d.id,
            d.frame,
            {Text(d.headline.front(), -1, KvAlign::Centre, kMargin, (d.frame.height - kLineHeight) / 2,
                  d.frame.width - 2 * kMargin)}};
}

// The About box: the program icon, the program's line and the publisher's
// notice below it, the OK button at the top right.
CDialogLayout AboutBox(const KvDialogText& d) {
    return {d.id,
            d.frame,
            {{KvFormKind::Icon, -1, "", KvAlign::Centre, 11, 14, 21, 20},
             Text(d.headline.front(), -1, KvAlign::Left, 40, 10, 132),
             Text(KvPublisherNotice(), -1, KvAlign::Left, 40, 24, 132),
             Button(d.buttons.front(), 178, 7, 50)}};
}

CDialogLayout Form() {
    CDialogLayout layout{IDD_VELMORA_FORM, {0, 0, kKvFormWidth, kKvFormHeight}, {}};
    for (const KvFormControl& c : KvFormControls()) {
        layout.items.push_back({c.kind, c.id, c.text, c.align, c.x, c.y, c.width, c.height, c.disabledAtStart});
    }
    return layout;
}

}  // namespace

int ButtonWidth(const CTextMeasure& measure, const std::string& text) { return std::max(50, measure.Width(text) + 12); }

bool InLineSettingsBox(const KvFormControl& c) {
    return c.x >= kKvLineBoxX && c.x < kKvLineBoxX + kKvLineBoxWidth && c.y >= kKvLineBoxY &&
           c.y < kKvLineBoxY + kKvLineBoxHeight;
}

bool HasReasonLine(int dialogId) {
    return dialogId == IDD_OPEN_ERROR || dialogId == IDD_COMM_ERROR || dialogId == IDD_SET_ERROR ||
           dialogId == IDD_SET_CONFIRM;
}

CDialogLayout LayoutDialog(int dialogId, const CTextMeasure& measure, bool reasonLine, const std::string& reason) {
    if (dialogId == IDD_VELMORA_FORM) return Form();
    const KvDialogText* d = KvDialog(dialogId);
    if (d == nullptr) return {dialogId, {0, 0, 0, 0}, {}};
    switch (dialogId) {
    case IDD_ABOUTBOX: return AboutBox(*d);
    case IDD_SCAN: return ScanWindow(*d);
    case IDD_LOADING:
    case IDD_SETTING:
    case IDD_INITIALIZING:
    case IDD_ESCAPING: return ProgressWindow(*d);
    case IDD_ESCAPE: return EscapeDialog(*d, measure);
    default: return TextDialog(*d, measure, reasonLine, reason);
    }
}
