#include "CAboutDlg.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "ResourceIds.h"
#include "Texts.h"

CAboutDlg::CAboutDlg(QWidget* owner) : CLayoutDlg(IDD_ABOUTBOX, owner)
{
    const KvDialogText& texts = *KvDialog(IDD_ABOUTBOX);
    setWindowTitle(QString::fromUtf8(texts.title));
    const DialogUnits& u = Units();

    // The program icon is the application's window icon once the program has
    // set one; until then the place stays empty.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setAlignment(Qt::AlignCenter);
    icon->setGeometry(u.Rect(11, 14, 21, 20));
    const QIcon programIcon = QApplication::windowIcon();
    if (!programIcon.isNull()) icon->setPixmap(programIcon.pixmap(32, 32));

    const QRect textArea = u.Rect(40, 10, 132, 8);
    const QStringList lines = {QString::fromUtf8(texts.headline.front()),
                               QStringLiteral("Copyright (C) 2026 Tarnik developers")};
    int y = textArea.top();
    for (const QString& line : lines) {
        auto* label = new QLabel(line, this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        const int height = label->heightForWidth(textArea.width());
        label->setGeometry(textArea.left(), y, textArea.width(), height);
        y += height + u.Y(6);
    }

    QPushButton* ok = MakeButton(IDOK, QString::fromUtf8(texts.buttons.front().text), this);
    ok->setGeometry(u.Rect(178, 7, 50, 14));
    setFixedSize(u.Size(235, 55));
}
