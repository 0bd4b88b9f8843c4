#include "DialogUnits.h"

#include <qdrawutil.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStringList>
#include <QStyleOptionComplex>

#include <algorithm>

namespace {

constexpr int kDialogPointSize = 9;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

bool LooksGothic(const QString& family) {
    return family.contains(QLatin1String("Gothic"), Qt::CaseInsensitive) ||
           family.contains(QStringLiteral("ゴシック")) || family.contains(QLatin1String("Sans"), Qt::CaseInsensitive);
}

QString ChooseFamily() {
    const QStringList installed = QFontDatabase::families();
    auto has = [&installed](const QString& family) { return installed.contains(family, Qt::CaseInsensitive); };

#ifdef Q_OS_WIN
    const QStringList preferred = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")};
#else
    const QStringList preferred = {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")};
#endif
    for (const QString& family : preferred) {
        if (has(family)) return family;
    }

    // Proportional Japanese Gothic faces first, then fixed-pitch ones.
    const QStringList knownGothic = {
        QStringLiteral("MS PGothic"),    QStringLiteral("IPAPGothic"),
        QStringLiteral("IPAexGothic"),   QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"),  QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Noto Sans JP"),  QStringLiteral("Source Han Sans JP"),
        QStringLiteral("Meiryo UI"),     QStringLiteral("Yu Gothic UI"),
        QStringLiteral("Hiragino Sans"), QStringLiteral("Hiragino Kaku Gothic ProN"),
        QStringLiteral("MS Gothic"),     QStringLiteral("IPAGothic"),
        QStringLiteral("VL Gothic"),     QStringLiteral("TakaoGothic"),
    };
    for (const QString& family : knownGothic) {
        if (has(family)) return family;
    }

    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& family : japanese) {
        if (LooksGothic(family)) return family;
    }
    return QString();
}

}  // namespace

QFont DialogFont() {
    static const QString family = ChooseFamily();
    QFont font;
    if (!family.isEmpty()) font.setFamily(family);
    font.setPointSize(kDialogPointSize);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = MulDivRound(metrics.horizontalAdvance(alphabet), 1, 52);
    baseY_ = metrics.height();
    if (baseX_ < 1) baseX_ = 1;
    if (baseY_ < 1) baseY_ = 1;
}

int DialogUnits::X(int dlu) const { return MulDivRound(dlu, baseX_, 4); }

int DialogUnits::Y(int dlu) const { return MulDivRound(dlu, baseY_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

namespace {

class FormStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        // A list drops down beneath itself and shows at most its visible-item
        // count (the frequency list has 76), instead of covering the screen.
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control == CC_ComboBox) {
            // "19200" in 34 dialog units: the toolkit's own style leaves wide margins
            // and a wide arrow there; this gives the text what the layout gave it.
            const QRect r = option->rect;
            const int arrow = std::max(12, option->fontMetrics.height());
            switch (sub) {
            case SC_ComboBoxArrow:
                return visualRect(option->direction, r, QRect(r.right() - arrow + 1, r.top(), arrow, r.height()));
            case SC_ComboBoxEditField:
                return visualRect(option->direction, r,
                                  QRect(r.left() + 3, r.top() + 2, r.width() - arrow - 4, r.height() - 4));
            default: break;
            }
        }
        if (control == CC_GroupBox) {
            if (const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
                if (sub == SC_GroupBoxFrame) return FrameRect(*box);
                if (sub == SC_GroupBoxLabel && !box->text.isEmpty()) return CaptionRect(*box);
            }
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        // An etched frame whose top line runs half a text line below the box's
        // top, through the middle of its caption if it has one, broken where the
        // caption stands.
        if (box->text.isEmpty()) {
            qDrawShadeRect(painter, FrameRect(*box), box->palette, true, 1, 0);
            return;
        }
        const QRect caption = CaptionRect(*box);
        painter->save();
        QRegion outside(box->rect);
        outside -= QRegion(caption.adjusted(-2, 0, 2, 0));
        painter->setClipRegion(outside);
        qDrawShadeRect(painter, FrameRect(*box), box->palette, true, 1, 0);
        painter->restore();
        drawItemText(painter, caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, box->palette,
                     box->state & State_Enabled, box->text, QPalette::WindowText);
    }

private:
    static QRect CaptionRect(const QStyleOptionGroupBox& box) {
        const QFontMetrics& fm = box.fontMetrics;
        const int indent = fm.averageCharWidth() + 2;
        const int width = std::min(fm.horizontalAdvance(box.text) + 1, box.rect.width() - 2 * indent);
        return QRect(box.rect.left() + indent, box.rect.top(), std::max(0, width), fm.height());
    }

    static QRect FrameRect(const QStyleOptionGroupBox& box) {
        QRect frame = box.rect;
        frame.setTop(box.rect.top() + box.fontMetrics.height() / 2);
        return frame;
    }
};

QStyle* TheFormStyle() {
    // Lives as long as the application, after every window that uses it.
    static QPointer<FormStyle> style;
    if (style.isNull()) {
        style = new FormStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

}  // namespace

void UseFormStyle(QWidget* widget) {
    if (qobject_cast<QComboBox*>(widget) == nullptr && qobject_cast<QGroupBox*>(widget) == nullptr) return;
    // A style change makes a list box build its drop-down list at once (to pick
    // the item painter for the new style), which costs as much again as the list
    // box itself; a widget fresh from its constructor, never polished nor shown,
    // has nothing to update, and a list's drop-down list, built when first
    // needed, takes the style it finds then. So the change notice is kept from
    // such a widget.
    class DropStyleChange final : public QObject {
    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            return event->type() == QEvent::StyleChange || QObject::eventFilter(watched, event);
        }
    };
    DropStyleChange filter;
    widget->installEventFilter(&filter);
    widget->setStyle(TheFormStyle());
    widget->removeEventFilter(&filter);
}

void PlaceText(QLabel* label, const DialogUnits& du, int x, int y, int w, int h) {
    QRect r = du.Rect(x, y, w, h);
    const QFontMetrics fm(label->font());
    const int need = fm.horizontalAdvance(label->text()) + 1;
    if (need > r.width()) {
        const int extra = need - r.width();
        if (label->alignment() & Qt::AlignRight)
            r.adjust(-extra, 0, 0, 0);
        else
            r.adjust(0, 0, extra, 0);
    }
    if (fm.height() > r.height()) {
        const int extra = fm.height() - r.height();
        r.adjust(0, -extra / 2, 0, extra - extra / 2);
    }
    label->setGeometry(r);
}
