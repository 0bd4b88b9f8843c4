#include "CEscapeDlg.h"

#include <vector>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "EscapeForm.h"
#include "FormLists.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

// One labelled list of the line-settings box, in dialog units of the settings
// form, whose own box stands at kFormBoxX, kFormBoxY: placed on the form's
// pixels and moved with the box, everything lies exactly where it does there.
constexpr int kFormBoxX = kKvLineBoxX;
constexpr int kFormBoxY = kKvLineBoxY;

struct ListRow {
    const char* label;
    int labelX, labelY, labelWidth;
    int listY, listX;
    const char* unit;
    int unitX, unitWidth;
};

constexpr int kBoxWidth = kKvLineBoxWidth;
constexpr int kBoxHeight = kKvLineBoxHeight;
constexpr int kListWidth = 34;

bool InLineBox(const KvFormControl& c)
{
    return c.x >= kKvLineBoxX && c.x < kKvLineBoxX + kKvLineBoxWidth && c.y >= kKvLineBoxY &&
           c.y < kKvLineBoxY + kKvLineBoxHeight;
}

// The rows of the settings form's line-settings box, from the form's table:
// each right-aligned label, the list nearest its line and the unit on its line.
std::vector<ListRow> Rows()
{
    std::vector<ListRow> rows;
    const std::vector<KvFormControl>& form = KvFormControls();
    for (const KvFormControl& c : form) {
        if (c.kind != KvFormKind::Label || c.align != KvAlign::Right || !InLineBox(c)) continue;
        ListRow row{c.text, c.x, c.y, c.width, c.y, 0, "", 0, 0};
        int nearest = -1;
        for (const KvFormControl& u : form) {
            if (!InLineBox(u)) continue;
            if (u.kind == KvFormKind::List && (nearest < 0 || std::abs(u.y - c.y) < nearest)) {
                nearest = std::abs(u.y - c.y);
                row.listY = u.y;
                row.listX = u.x;
            }
            if (u.kind == KvFormKind::Label && u.align == KvAlign::Left && u.y == c.y && u.x > c.x) {
                row.unit = u.text;
                row.unitX = u.x;
                row.unitWidth = u.width;
            }
        }
        rows.push_back(row);
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
    UseFormStyle(box);

    QComboBox** lists[] = {&baudRate_, &dataBits_, &parity_, &stopBits_};
    const int listIds[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
    for (std::size_t i = 0; i < std::size(lists); ++i) {
        *lists[i] = new QComboBox(box);
        UseFormStyle(*lists[i]);
        (*lists[i])->setObjectName(QStringLiteral("IDC_%1").arg(listIds[i]));
    }
    LoadLists();

    // Labels, lists and units as on the settings form: lists of one width, the
    // units at one distance from them; a text that needs more room than the
    // layout gave it grows away from its list.
    const QPoint formBox(u.X(kFormBoxX), u.Y(kFormBoxY));
    int boxWidth = u.X(kBoxWidth);
    const std::vector<ListRow> rows = Rows();
    for (std::size_t i = 0; i < rows.size() && i < std::size(lists); ++i) {
        const ListRow& row = rows[i];
        auto* label = new QLabel(QString::fromUtf8(row.label), box);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        PlaceText(label, u, row.labelX, row.labelY, row.labelWidth, 8);
        label->move(label->pos() - formBox);

        QComboBox* list = *lists[i];
        const int listHeight = std::min(list->sizeHint().height(), u.Y(14));
        list->setGeometry(QRect(u.X(row.listX), u.Y(row.listY), u.X(kListWidth), listHeight).translated(-formBox));

        if (row.unit[0] != '\0') {
            auto* unit = new QLabel(QString::fromUtf8(row.unit), box);
            unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            PlaceText(unit, u, row.unitX, row.labelY, row.unitWidth, 8);
            unit->move(unit->pos() - formBox);
            boxWidth = std::max(boxWidth, unit->geometry().right() + 1 + u.X(3));
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
