#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

// The font of every dialog and of the settings form: "ＭＳ Ｐゴシック" 9 pt on
// Windows, its metric twin "IPAPGothic" 9 pt elsewhere, otherwise the first
// Japanese Gothic face installed, and the default face at 9 pt as a last resort.
QFont DialogFont();

// Converts dialog units to pixels from a font's metrics, as the layouts were
// drawn: the horizontal base is the font's average character width (the width
// of "A".."Z" "a".."z" divided by 52, rounded), the vertical base its height;
// a horizontal unit is a quarter of the first, a vertical unit an eighth of the
// second. Results are rounded to the nearest pixel.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};
