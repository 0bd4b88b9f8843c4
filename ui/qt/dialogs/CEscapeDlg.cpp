#include "CEscapeDlg.h"

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

// One labelled list of the line-settings box, in dialog units of the settings
// form, whose own box stands at kFormBoxX, kFormBoxY: placed on the form's
// pixels and moved with the box, everything lies exactly where it does there.
constexpr int kFormBoxX = 120;
constexpr int kFormBoxY = 58;

struct ListRow {
    const char* label;
    int labelX, labelY, labelWidth;
    int listY;
    const char* unit;
    int unitWidth;
};

constexpr int kBoxWidth = 142;
constexpr int kBoxHeight = 92;
constexpr int kListX = 189;
constexpr int kListWidth = 34;
constexpr int kUnitX = 226;

constexpr ListRow kRows[] = {
    {"通信速度：", 149, 77, 36, 74, "bps", 11},
    {"データ長：", 150, 95, 35, 92, "ビット", 16},
    {"パリティ：", 158, 113, 27, 110, "", 0},
    {"ストップビット：", 141, 130, 44, 128, "ビット", 16},
};

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
    auto* box = new QGroupBox(QStringLiteral("シリアル通信設定"), area);
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
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const ListRow& row = kRows[i];
        auto* label = new QLabel(QString::fromUtf8(row.label), box);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        PlaceText(label, u, row.labelX, row.labelY, row.labelWidth, 8);
        label->move(label->pos() - formBox);

        QComboBox* list = *lists[i];
        const int listHeight = std::min(list->sizeHint().height(), u.Y(14));
        list->setGeometry(QRect(u.X(kListX), u.Y(row.listY), u.X(kListWidth), listHeight).translated(-formBox));

        if (row.unit[0] != '\0') {
            auto* unit = new QLabel(QString::fromUtf8(row.unit), box);
            unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            PlaceText(unit, u, kUnitX, row.labelY, row.unitWidth, 8);
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
