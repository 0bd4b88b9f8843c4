#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

class QLabel;
class QWidget;

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

// The look of the form's and the dialogs' drop-down lists and group boxes, as
// on the platform the layouts were drawn for: a list gives its text the room
// the layout gave it and drops down beneath itself, at most ten items high,
// and a box is an etched frame whose top line runs through the middle of its
// caption, so what the layout puts just below the caption keeps clear of the
// line. Other widgets are left as they are.
void UseFormStyle(QWidget* widget);

// Places a static text from its box in dialog units. A text wider or taller than
// its box on this font grows it so nothing is cut off: to the left for
// right-aligned texts, to the right for left-aligned and centred ones (a centred
// value stands right of its label, which it must not run into).
void PlaceText(QLabel* label, const DialogUnits& du, int x, int y, int w, int h);
