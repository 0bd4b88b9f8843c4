#include "CLayoutDlg.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

#include "ResourceIds.h"
#include "Texts.h"

namespace {

const QString kBullet = QStringLiteral("・");

bool IsBulletLine(const QString& line) { return line.startsWith(kBullet); }

}  // namespace

CLayoutDlg::CLayoutDlg(int dialogId, QWidget* owner, Frame frame)
    : QDialog(owner), dialogId_(dialogId), units_(DialogFont())
{
    setObjectName(QStringLiteral("IDD_%1").arg(dialogId));
    setFont(DialogFont());
    switch (frame) {
    case Frame::Modal:
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        break;
    case Frame::Popup:
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        break;
    }
}

void CLayoutDlg::reject() { done(IDCANCEL); }

void CLayoutDlg::accept() { done(IDOK); }

void CLayoutDlg::DrawNormallyWhenDisabled()
{
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::Window, QPalette::Base, QPalette::Button}) {
        colours.setColor(QPalette::Disabled, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
}

QLabel* CLayoutDlg::MakeLabel(const QString& text, QWidget* parent, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(alignment | Qt::AlignTop);
    return label;
}

QList<QLabel*> CLayoutDlg::AddHeadline(const QStringList& lines)
{
    Block block;
    block.kind = Block::Headline;
    for (const QString& line : lines) {
        block.indents.push_back(0);
        block.gapsBefore.push_back(block.labels.isEmpty() ? 0 : units_.Y(3));
        block.widens.push_back(false);
        block.labels.append(MakeLabel(line, this, Qt::AlignHCenter));
    }
    blocks_.push_back(block);
    return block.labels;
}

void CLayoutDlg::AddReasonLine(const QString& reason)
{
    // The dialog grows by the line; a long path wraps.
    if (reason.isEmpty()) return;
    for (QLabel* line : AddLines({reason})) line->setObjectName(QStringLiteral("IDC_OPEN_REASON"));
}

QList<QLabel*> CLayoutDlg::AddLines(const QStringList& lines, Qt::Alignment alignment)
{
    Block block;
    block.kind = Block::Lines;
    for (const QString& line : lines) {
        block.indents.push_back(0);
        block.gapsBefore.push_back(block.labels.isEmpty() ? 0 : units_.Y(3));
        block.widens.push_back(false);
        block.labels.append(MakeLabel(line, this, alignment));
    }
    blocks_.push_back(block);
    return block.labels;
}

QList<QLabel*> CLayoutDlg::AddGroup(const QString& caption, const QStringList& lines)
{
    Block block;
    block.kind = Block::Group;
    block.box = new QGroupBox(caption, this);
    UseFormStyle(block.box);
    const int bulletWidth = QFontMetrics(font()).horizontalAdvance(kBullet);
    bool underBullet = false;
    for (const QString& line : lines) {
        const bool bullet = IsBulletLine(line);
        if (bullet) underBullet = true;
        block.indents.push_back(!bullet && underBullet ? bulletWidth : 0);
        int gap = 0;
        if (!block.labels.isEmpty()) gap = bullet ? units_.Y(4) : units_.Y(1);
        block.gapsBefore.push_back(gap);
        block.widens.push_back(bullet && !block.labels.isEmpty());
        block.labels.append(MakeLabel(line, block.box, Qt::AlignLeft));
    }
    blocks_.push_back(block);
    return block.labels;
}

QWidget* CLayoutDlg::AddArea(int heightDlu)
{
    Block block;
    block.kind = Block::Area;
    block.box = new QWidget(this);
    block.fixedHeight = units_.Y(heightDlu);
    blocks_.push_back(block);
    return block.box;
}

int CLayoutDlg::ButtonWidth(const QString& text) const
{
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text);
    return std::max(units_.X(50), textWidth + units_.X(12));
}

QPushButton* CLayoutDlg::MakeButton(int id, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    if (id == IDOK) button->setDefault(true);
    connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
    return button;
}

QPushButton* CLayoutDlg::AddButton(int id, const QString& text)
{
    QPushButton* button = MakeButton(id, text, this);
    rowButtons_.append(button);
    return button;
}

namespace {

// Space above the first line of a box: the frame, or the frame and its caption.
int GroupTop(const DialogUnits& units, const QWidget* box)
{
    const auto* group = qobject_cast<const QGroupBox*>(box);
    return group != nullptr && !group->title().isEmpty() ? units.Y(12) : units.Y(8);
}

}  // namespace

int CLayoutDlg::BlockHeight(const Block& block, int width, int extraGap) const
{
    int inner = width;
    int height = 0;
    if (block.kind == Block::Area) return block.fixedHeight;
    if (block.kind == Block::Group) {
        inner -= 2 * units_.X(7);
        height += GroupTop(units_, block.box) + units_.Y(7);
    }
    for (qsizetype i = 0; i < block.labels.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        height += block.gapsBefore[index] + (block.widens[index] ? extraGap : 0);
        height += block.labels[i]->heightForWidth(inner - block.indents[index]);
    }
    return height;
}

void CLayoutDlg::PlaceBlock(const Block& block, int x, int y, int width, int extraGap)
{
    const int height = BlockHeight(block, width, extraGap);
    int lineX = x;
    int lineY = y;
    int inner = width;
    if (block.box != nullptr) block.box->setGeometry(x, y, width, height);
    if (block.kind == Block::Area) return;
    if (block.kind == Block::Group) {
        // Labels are children of the box: positions relative to it.
        lineX = units_.X(7);
        lineY = GroupTop(units_, block.box);
        inner = width - 2 * units_.X(7);
    }
    for (qsizetype i = 0; i < block.labels.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        QLabel* label = block.labels[i];
        const int indent = block.indents[index];
        lineY += block.gapsBefore[index] + (block.widens[index] ? extraGap : 0);
        const int lineHeight = label->heightForWidth(inner - indent);
        label->setGeometry(lineX + indent, lineY, inner - indent, lineHeight);
        lineY += lineHeight;
    }
}

namespace {
QStringList Lines(const std::vector<const char*>& lines)
{
    QStringList result;
    for (const char* line : lines) result << QString::fromUtf8(line);
    return result;
}
}  // namespace

void CLayoutDlg::AddTexts()
{
    const KvDialogText* texts = KvDialog(dialogId_);
    if (!texts) return;
    setWindowTitle(QString::fromUtf8(texts->title));
    if (!texts->headline.empty()) AddHeadline(Lines(texts->headline));
    if (texts->groupCaption) AddGroup(QString::fromUtf8(texts->groupCaption), Lines(texts->groupLines));
    if (!texts->trailingLines.empty()) AddLines(Lines(texts->trailingLines));
    for (const KvDialogButton& button : texts->buttons) AddButton(button.id, QString::fromUtf8(button.text));
}

void CLayoutDlg::FinishLayout(int widthDlu, int heightDlu)
{
    const int width = units_.X(widthDlu);
    int height = units_.Y(heightDlu);
    const int marginX = units_.X(7);
    const int marginTop = units_.Y(7);
    const int marginBottom = units_.Y(7);
    const int blockGap = units_.Y(5);
    const int buttonGap = units_.Y(7);
    const int buttonHeight = units_.Y(14);
    const int inner = width - 2 * marginX;

    const int blockCount = static_cast<int>(blocks_.size());
    int natural = marginTop + marginBottom;
    int widening = blockCount;  // the gaps between blocks and the one at the bottom
    for (const Block& block : blocks_) {
        natural += BlockHeight(block, inner, 0);
        widening += static_cast<int>(std::count(block.widens.begin(), block.widens.end(), true));
    }
    if (blockCount > 1) natural += (blockCount - 1) * blockGap;
    if (!rowButtons_.isEmpty()) natural += buttonGap + buttonHeight;

    int spare = height - natural;
    if (spare < 0) {
        height -= spare;
        spare = 0;
    }
    const int extraGap = widening > 0 ? std::min(spare / widening, units_.Y(5)) : 0;

    int y = marginTop;
    for (const Block& block : blocks_) {
        PlaceBlock(block, marginX, y, inner, extraGap);
        y += BlockHeight(block, inner, extraGap) + blockGap + extraGap;
    }

    if (!rowButtons_.isEmpty()) {
        const int spacing = units_.X(6);
        int rowWidth = spacing * static_cast<int>(rowButtons_.size() - 1);
        for (QPushButton* button : rowButtons_) rowWidth += ButtonWidth(button->text());
        int x = (width - rowWidth) / 2;
        const int rowY = height - marginBottom - buttonHeight;
        for (QPushButton* button : rowButtons_) {
            const int buttonWidth = ButtonWidth(button->text());
            button->setGeometry(x, rowY, buttonWidth, buttonHeight);
            x += buttonWidth + spacing;
        }
    }
    setFixedSize(width, height);
}
