#include "CEscapeDlg.h"

#include <vector>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <iterator>

#include "EscapeForm.h"
#include "FormLists.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

// Position of one labelled list inside the line-settings box, in dialog units
// relative to the box, as on the settings form.
struct ListRow {
    const char* label;
    int labelX, labelY, labelWidth;
    const char* unit;
};

constexpr int kBoxWidth = kKvLineBoxWidth;
constexpr int kBoxHeight = kKvLineBoxHeight;
constexpr int kListX = 69;
constexpr int kListWidth = 34;

bool InLineBox(const KvFormControl& c)
{
    return c.x >= kKvLineBoxX && c.x < kKvLineBoxX + kKvLineBoxWidth && c.y >= kKvLineBoxY &&
           c.y < kKvLineBoxY + kKvLineBoxHeight;
}

// The rows of the settings form's line-settings box, from the form's table:
// each right-aligned label, placed relative to the box, with the unit on its line.
std::vector<ListRow> Rows()
{
    std::vector<ListRow> rows;
    const std::vector<KvFormControl>& form = KvFormControls();
    for (const KvFormControl& c : form) {
        if (c.kind != KvFormKind::Label || c.align != KvAlign::Right || !InLineBox(c)) continue;
        const char* unit = "";
        for (const KvFormControl& u : form) {
            if (u.kind == KvFormKind::Label && u.align == KvAlign::Left && u.y == c.y && u.x > c.x && InLineBox(u))
                unit = u.text;
        }
        rows.push_back({c.text, c.x - kKvLineBoxX, c.y - kKvLineBoxY, c.width, unit});
    }
    return rows;
}

// The caption of that box.
const char* LineBoxCaption()
{
    for (const KvFormControl& c : KvFormControls()) {
        if (c.kind == KvFormKind::Group && c.x == kKvLineBoxX && c.y == kKvLineBoxY) return c.text;
    }
    return "";
}

constexpr int kListIds[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};

}  // namespace

CEscapeDlg::CEscapeDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE, owner)
{
    const KvDialogText& texts = *KvDialog(IDD_ESCAPE);
    setWindowTitle(QString::fromUtf8(texts.title));
    const DialogUnits& u = Units();

    QStringList headline, instructions;
    for (const char* line : texts.headline) headline << QString::fromUtf8(line);
    for (const char* line : texts.groupLines) instructions << QString::fromUtf8(line);
    AddHeadline(headline);
    AddGroup(QString(), instructions);

    QWidget* area = AddArea(kBoxHeight);
    auto* box = new QGroupBox(QString::fromUtf8(LineBoxCaption()), area);

    QComboBox** lists[] = {&baudRate_, &dataBits_, &parity_, &stopBits_};
    const int listIds[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
    for (QComboBox** list : lists) {
        *list = new QComboBox(box);
        (*list)->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    for (std::size_t i = 0; i < std::size(lists); ++i) {
        (*lists[i])->setObjectName(QStringLiteral("IDC_%1").arg(listIds[i]));
    }
    LoadLists();

    // Lists as wide as the form's, or wider where the style needs room for the
    // longest item; the unit labels follow the list.
    int listWidth = u.X(kListWidth);
    for (QComboBox** list : lists) listWidth = std::max(listWidth, (*list)->sizeHint().width());

    int boxWidth = u.X(kBoxWidth);
    const std::vector<ListRow> rows = Rows();
    for (std::size_t i = 0; i < rows.size() && i < std::size(lists); ++i) {
        const ListRow& row = rows[i];
        auto* label = new QLabel(QString::fromUtf8(row.label), box);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        // Right-aligned: keep the right edge, grow to the left when the text needs it.
        const QRect wanted = u.Rect(row.labelX, row.labelY, row.labelWidth, 8);
        const int labelWidth = std::max(wanted.width(), label->sizeHint().width());
        label->setGeometry(wanted.right() + 1 - labelWidth, wanted.top(), labelWidth, wanted.height());

        QComboBox* list = *lists[i];
        const int listHeight = list->sizeHint().height();
        // Centred on the label's line, as a drop-down list sits beside its label.
        const int listTop = wanted.top() + (wanted.height() - listHeight) / 2;
        list->setGeometry(u.X(kListX), listTop, listWidth, listHeight);

        if (row.unit[0] != '\0') {
            auto* unit = new QLabel(QString::fromUtf8(row.unit), box);
            const int unitX = u.X(kListX) + listWidth + u.X(3);
            unit->setGeometry(unitX, wanted.top(), unit->sizeHint().width(), wanted.height());
            boxWidth = std::max(boxWidth, unitX + unit->sizeHint().width() + u.X(6));
        }
    }
    box->setGeometry(0, 0, boxWidth, u.Y(kBoxHeight));

    // The two buttons to the right of the box, one above the other, at the
    // dialog's right margin.
    QPushButton* escape = MakeButton(IDOK, QString::fromUtf8(texts.buttons[0].text), area);
    QPushButton* cancel = MakeButton(IDCANCEL, QString::fromUtf8(texts.buttons[1].text), area);
    const int buttonWidth = std::max(ButtonWidth(escape->text()), ButtonWidth(cancel->text()));
    const int areaWidth = u.X(246) - 2 * u.X(7);
    const int buttonX = std::max(areaWidth - buttonWidth, boxWidth + u.X(7));
    escape->setGeometry(buttonX, u.Y(6), buttonWidth, u.Y(14));
    cancel->setGeometry(buttonX, u.Y(6 + 14 + 4), buttonWidth, u.Y(14));

    FinishLayout(246, 233);
    // A box or button that had to grow widens the dialog instead of overlapping.
    const int overflow = buttonX + buttonWidth - areaWidth;
    if (overflow > 0) {
        area->resize(area->width() + overflow, area->height());
        setFixedWidth(width() + overflow);
    }
}

void CEscapeDlg::LoadLists()
{
    for (int id : kListIds) {
        QComboBox* list = List(id);
        list->clear();
        for (const CListItem& item : FormListItems(id)) list->addItem(QString::fromUtf8(item.text.c_str()));
        list->setCurrentIndex(EscapeListSelection(settings, id));
    }
}

void CEscapeDlg::StoreSelections()
{
    for (int id : kListIds) StoreEscapeSelection(settings, id, List(id)->currentIndex());
}

QComboBox* CEscapeDlg::List(int listId) const
{
    switch (listId) {
    case IDC_BAUD_RATE: return baudRate_;
    case IDC_DATA_BITS: return dataBits_;
    case IDC_PARITY: return parity_;
    default: return stopBits_;
    }
}

int CEscapeDlg::DoModal()
{
    LoadLists();
    return exec() == IDOK ? IDOK : IDCANCEL;
}

void CEscapeDlg::done(int result)
{
    StoreSelections();
    CLayoutDlg::done(result);
}
