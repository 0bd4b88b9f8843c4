#include "CEscapeDlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "FormLists.h"
#include "ResourceIds.h"

namespace {

constexpr int kListIds[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};

}  // namespace

CEscapeDlg::CEscapeDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE, owner) {
    LoadLists();
    FitBoxToFont();
}

void CEscapeDlg::FitBoxToFont() {
    auto* escape = qobject_cast<QPushButton*>(Item(IDOK));
    auto* cancel = qobject_cast<QPushButton*>(Item(IDCANCEL));
    QWidget* box = List(IDC_BAUD_RATE) != nullptr ? List(IDC_BAUD_RATE)->parentWidget() : nullptr;
    const CLayoutItem* boxItem = nullptr;
    for (const auto& [item, widget] : Widgets()) {
        if (widget == box) boxItem = item;
    }
    if (boxItem == nullptr || escape == nullptr || cancel == nullptr) return;
    // Labels and lists stand inside the box on the very pixels they take inside
    // the settings form's box, whose frame stands elsewhere in its units.
    const DialogUnits& u = Units();
    const QPoint here(u.X(boxItem->x), u.Y(boxItem->y));
    const QPoint form(u.X(kKvLineBoxX), u.Y(kKvLineBoxY));
    int boxWidth = box->width();
    for (const auto& [item, widget] : Widgets()) {
        if (widget->parentWidget() != box) continue;
        const int x = item->x - boxItem->x + kKvLineBoxX;
        const int y = item->y - boxItem->y + kKvLineBoxY;
        const QPoint shift = (QPoint(u.X(x), u.Y(y)) - form) - (QPoint(u.X(item->x), u.Y(item->y)) - here);
        widget->move(widget->pos() + shift);
        if (qobject_cast<QLabel*>(widget) != nullptr)
            boxWidth = std::max(boxWidth, widget->geometry().right() + 1 + u.X(3));
    }
    box->resize(boxWidth, box->height());
    const int x = std::max(escape->x(), box->geometry().right() + 1 + u.X(7));
    const int overflow = x - escape->x();
    if (overflow <= 0) return;
    escape->move(x, escape->y());
    cancel->move(x, cancel->y());
    setFixedWidth(width() + overflow);
}

void CEscapeDlg::LoadLists() {
    for (int id : kListIds) {
        QComboBox* list = List(id);
        list->clear();
        for (const CListItem& item : FormListItems(id)) list->addItem(QString::fromUtf8(item.text.c_str()));
        list->setCurrentIndex(EscapeListSelection(settings, id));
    }
}

void CEscapeDlg::StoreSelections() {
    for (int id : kListIds) StoreEscapeSelection(settings, id, List(id)->currentIndex());
}

QComboBox* CEscapeDlg::List(int listId) const { return qobject_cast<QComboBox*>(Item(listId)); }

int CEscapeDlg::DoModal() {
    LoadLists();
    return exec() == IDOK ? IDOK : IDCANCEL;
}

void CEscapeDlg::done(int result) {
    StoreSelections();
    CLayoutDlg::done(result);
}
