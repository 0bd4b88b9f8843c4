#pragma once
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "DialogUnits.h"

class QLabel;
class QPushButton;
class QWidget;

// Base of every dialog of the program. A dialog is built from its layout: its
// number (object name "IDD_<number>"), its frame, its texts top to bottom and
// its buttons, sized in dialog units of the dialog font. Button id 1 ends the
// dialog with IDOK, id 2 with IDCANCEL; the Escape key and the close box end
// it with IDCANCEL.
//
// The flow: texts are stacked from the top in the order they are added, each
// line in its own label, wrapped where the dialog is narrower than the line;
// the buttons sit in one centred row at the bottom. Space the texts leave over
// widens the gaps between the blocks and between the bullet points a little
// and otherwise stays above the buttons. When a text would not fit (a font with wider
// glyphs than the dialog font), the dialog grows instead of clipping it.
class CLayoutDlg : public QDialog {
    Q_OBJECT
public:
    int DialogId() const { return dialogId_; }

    // Ends the dialog with IDCANCEL / IDOK (Escape key, close box, Enter).
    void reject() override;
    void accept() override;

protected:
    enum class Frame {
        Modal,  // title bar with close box, fixed size
        Popup,  // no title bar from the window manager (a window draws its own frame)
    };

    CLayoutDlg(int dialogId, QWidget* owner, Frame frame = Frame::Modal);

    const DialogUnits& Units() const { return units_; }

    // For the windows that stay disabled while they are shown (they take no
    // input): their texts are drawn in the normal colours, not greyed.
    void DrawNormallyWhenDisabled();

    // A centred headline, one label per line.
    QList<QLabel*> AddHeadline(const QStringList& lines);
    // Lines outside a box, one label each.
    QList<QLabel*> AddLines(const QStringList& lines, Qt::Alignment alignment = Qt::AlignLeft);
    // The port and the system's reason of a failure, a line of its own
    // (IDC_OPEN_REASON) under the dialog's text; none when empty.
    void AddReasonLine(const QString& reason);
    // A framed box with its caption (none when empty) holding one label per
    // line. A line that does not start with a bullet continues the bullet line
    // above it and is indented under that line's text.
    QList<QLabel*> AddGroup(const QString& caption, const QStringList& lines);
    // An area of the flow, full width and heightDlu high, for the dialog's
    // own controls; it is positioned by FinishLayout.
    QWidget* AddArea(int heightDlu);
    // A push button of the bottom row, left to right in the order added.
    QPushButton* AddButton(int id, const QString& text);
    // A push button placed by the dialog itself (not in the bottom row).
    QPushButton* MakeButton(int id, const QString& text, QWidget* parent);

    // The dialog's title, headline, box and lines below it and its bottom-row
    // buttons, as the program's text table holds them for this dialog.
    void AddTexts();

    // Sizes the dialog (client area, dialog units) and places everything.
    void FinishLayout(int widthDlu, int heightDlu);

    // Width a button needs for its text, at least the usual 50 units.
    int ButtonWidth(const QString& text) const;

private:
    struct Block {
        enum Kind { Headline, Lines, Group, Area };
        Kind kind = Headline;
        QWidget* box = nullptr;  // group box or area widget
        QList<QLabel*> labels;
        std::vector<int> indents;       // per label, pixels
        std::vector<int> gapsBefore;    // per label, pixels
        std::vector<bool> widens;       // per label: its gap takes spare room
        int fixedHeight = 0;            // Area only
    };

    QLabel* MakeLabel(const QString& text, QWidget* parent, Qt::Alignment alignment);
    int BlockHeight(const Block& block, int width, int extraGap) const;
    void PlaceBlock(const Block& block, int x, int y, int width, int extraGap);

    int dialogId_;
    DialogUnits units_;
    std::vector<Block> blocks_;
    QList<QPushButton*> rowButtons_;
};
