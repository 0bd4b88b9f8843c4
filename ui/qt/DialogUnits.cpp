#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

constexpr int kDialogPointSize = 9;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

bool LooksGothic(const QString& family)
{
    return family.contains(QLatin1String("Gothic"), Qt::CaseInsensitive) ||
           family.contains(QStringLiteral("ゴシック")) ||
           family.contains(QLatin1String("Sans"), Qt::CaseInsensitive);
}

QString ChooseFamily()
{
    const QStringList installed = QFontDatabase::families();
    auto has = [&installed](const QString& family) {
        return installed.contains(family, Qt::CaseInsensitive);
    };

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
        QStringLiteral("MS PGothic"),       QStringLiteral("IPAPGothic"),
        QStringLiteral("IPAexGothic"),      QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"),     QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Noto Sans JP"),     QStringLiteral("Source Han Sans JP"),
        QStringLiteral("Meiryo UI"),        QStringLiteral("Yu Gothic UI"),
        QStringLiteral("Hiragino Sans"),    QStringLiteral("Hiragino Kaku Gothic ProN"),
        QStringLiteral("MS Gothic"),        QStringLiteral("IPAGothic"),
        QStringLiteral("VL Gothic"),        QStringLiteral("TakaoGothic"),
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

QFont DialogFont()
{
    static const QString family = ChooseFamily();
    QFont font;
    if (!family.isEmpty()) font.setFamily(family);
    font.setPointSize(kDialogPointSize);
    return font;
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = MulDivRound(metrics.horizontalAdvance(alphabet), 1, 52);
    baseY_ = metrics.height();
    if (baseX_ < 1) baseX_ = 1;
    if (baseY_ < 1) baseY_ = 1;
}

int DialogUnits::X(int dlu) const { return MulDivRound(dlu, baseX_, 4); }

int DialogUnits::Y(int dlu) const { return MulDivRound(dlu, baseY_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }
