#include "CLayoutDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <algorithm>
#include <cmath>

#include "ResourceIds.h"

namespace {

// The dialog font's own widths and line breaks, in dialog units.
class FontMeasure final : public CTextMeasure {
public:
    FontMeasure(const QFont& font, const DialogUnits& units) : units_(units), metrics_(font) {
        probe_.setFont(font);
        probe_.setTextFormat(Qt::PlainText);
        probe_.setWordWrap(true);
    }

    int Width(const std::string& text) const override {
        const int pixels = metrics_.horizontalAdvance(QString::fromStdString(text));
        return static_cast<int>(std::ceil(pixels * 4.0 / units_.BaseX()));
    }

    int Rows(const std::string& text, int width) const override {
        probe_.setText(QString::fromStdString(text));
        const int pixels = probe_.heightForWidth(units_.X(width));
        return std::max(1, static_cast<int>(std::ceil(static_cast<double>(pixels) / units_.BaseY())));
    }

private:
    const DialogUnits& units_;
    QFontMetrics metrics_;
    mutable QLabel probe_;
};

Qt::Alignment Alignment(KvAlign align) {
    return align == KvAlign::Right ? Qt::AlignRight : align == KvAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
}

bool Inside(const CLayoutItem& inner, const CLayoutItem& outer) {
    return outer.x <= inner.x && inner.x < outer.x + outer.width && outer.y <= inner.y &&
           inner.y < outer.y + outer.height;
}

}  // namespace

CLayoutDlg::CLayoutDlg(int dialogId, QWidget* owner, Frame frame, const QString& reason)
    : QDialog(owner), dialogId_(dialogId), units_(DialogFont()) {
    setObjectName(QStringLiteral("IDD_%1").arg(dialogId));
    setFont(DialogFont());
    if (frame == Frame::Modal) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
    } else {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    }
    if (const KvDialogText* texts = KvDialog(dialogId)) setWindowTitle(QString::fromUtf8(texts->title));

    layout_ = LayoutDialog(dialogId, FontMeasure(font(), units_), !reason.isEmpty(), reason.toStdString());
    // What lies inside a box is the box's child, placed where it is on the
    // dialog's pixels: inside its box as on the settings form.
    std::vector<std::pair<const CLayoutItem*, QWidget*>> boxes;
    for (const CLayoutItem& item : layout_.items) {
        QWidget* parent = this;
        QPoint origin;
        for (const auto& [box, widget] : boxes) {
            if (Inside(item, *box)) {
                parent = widget;
                origin = widget->pos();
            }
        }
        QWidget* widget = Create(item, parent);
        widget->move(widget->pos() - origin);
        if (item.kind == KvFormKind::Group) boxes.emplace_back(&item, widget);
        if (item.id >= 0) items_[item.id] = widget;
        widgets_.emplace_back(&item, widget);
        if (item.disabled) widget->setEnabled(false);
        if (item.hidden) widget->hide();
    }
    setFixedSize(units_.Size(layout_.frame.width, layout_.frame.height));
}

QWidget* CLayoutDlg::Create(const CLayoutItem& item, QWidget* parent) {
    const QString text = QString::fromStdString(item.text);
    const QRect rect = units_.Rect(item.x, item.y, item.width, item.height);
    switch (item.kind) {
    case KvFormKind::Group: {
        auto* box = new QGroupBox(text, parent);
        UseFormStyle(box);
        box->setGeometry(rect);
        return box;
    }
    case KvFormKind::List: {
        auto* list = new QComboBox(parent);
        list->setObjectName(QStringLiteral("IDC_%1").arg(item.id));
        UseFormStyle(list);
        list->setGeometry(rect.x(), rect.y(), rect.width(), std::min(list->sizeHint().height(), units_.Y(14)));
        return list;
    }
    case KvFormKind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setObjectName(QStringLiteral("button%1").arg(item.id));
        if (item.id == IDOK) button->setDefault(true);
        const int id = item.id;
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        button->setGeometry(rect);
        return button;
    }
    case KvFormKind::Icon: {
        // The program icon is the application's window icon once the program
        // has set one; until then the place stays empty.
        auto* icon = new QLabel(parent);
        icon->setObjectName(QStringLiteral("programIcon"));
        icon->setAlignment(Qt::AlignCenter);
        const QIcon programIcon = QApplication::windowIcon();
        if (!programIcon.isNull()) icon->setPixmap(programIcon.pixmap(32, 32));
        icon->setGeometry(rect);
        return icon;
    }
    case KvFormKind::Label:
    case KvFormKind::Edit: break;
    }
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (item.id == IDC_OPEN_REASON)
        label->setObjectName(QStringLiteral("IDC_OPEN_REASON"));
    else if (item.id >= 0)
        label->setObjectName(QStringLiteral("IDC_%1").arg(item.id));
    if (item.wraps) {
        // A line of the dialog's own: it wraps within its width into the rows
        // the layout measured for it.
        label->setWordWrap(true);
        label->setAlignment(Alignment(item.align) | Qt::AlignTop);
        label->setGeometry(rect);
    } else {
        // A label of the settings form's table: one row, grown where the font needs it.
        label->setAlignment(Alignment(item.align) | Qt::AlignVCenter);
        PlaceText(label, units_, item.x, item.y, item.width, item.height);
    }
    return label;
}

QWidget* CLayoutDlg::Item(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

void CLayoutDlg::reject() { done(IDCANCEL); }

void CLayoutDlg::accept() { done(IDOK); }

void CLayoutDlg::DrawNormallyWhenDisabled() {
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Window,
                                     QPalette::Base, QPalette::Button}) {
        colours.setColor(QPalette::Disabled, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
}
