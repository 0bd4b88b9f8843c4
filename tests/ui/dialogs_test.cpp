// Dialogs of the desktop program on the offscreen platform: texts and layout,
// results, the escape dialog's memory, the search window and the progress
// windows' placement.
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "Dialogs.h"
#include "ResourceIds.h"

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs answer on the modal dialog once it is up, from inside its exec(). Should
// answer leave it open (a failed check returns early), it is cancelled so that
// the test goes on.
void WhenModalShows(std::function<void(QDialog*)> answer, int turnsLeft = 200) {
    QTimer::singleShot(0, [answer = std::move(answer), turnsLeft]() mutable {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            QPointer<QDialog> guard(dialog);
            answer(dialog);
            if (!guard.isNull() && guard->isVisible()) guard->QDialog::done(IDCANCEL);
        } else if (turnsLeft > 0) {
            WhenModalShows(std::move(answer), turnsLeft - 1);
        }
    });
}

QRect RectIn(const QWidget* widget, const QWidget* dialog) {
    return QRect(widget->mapTo(dialog, QPoint(0, 0)), widget->size());
}

// Widgets of one kind that are shown, top to bottom (left to right on one row).
template <typename W>
QList<W*> Shown(const QDialog* dialog) {
    QList<W*> widgets;
    for (W* widget : dialog->findChildren<W*>()) {
        if (widget->isVisibleTo(dialog)) widgets.append(widget);
    }
    std::sort(widgets.begin(), widgets.end(), [dialog](const W* a, const W* b) {
        const QRect ra = RectIn(a, dialog);
        const QRect rb = RectIn(b, dialog);
        return ra.y() != rb.y() ? ra.y() < rb.y() : ra.x() < rb.x();
    });
    return widgets;
}

std::unique_ptr<QDialog> MakeDialog(int id) {
    if (id == IDD_ESCAPE) return std::make_unique<CEscapeDlg>();
    if (QDialog* modal = CreateModalDialog(id, nullptr)) return std::unique_ptr<QDialog>(modal);
    return std::unique_ptr<QDialog>(CreateProgressWindow(id, nullptr));
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void stringTable();
    void dialogUnits();
    void dialogContents_data();
    void dialogContents();
    void modalResults_data();
    void modalResults();
    void escapeDialogRemembersChoices();
    void scanWindowTakesNoInput();
    void progressWindows_data();
    void progressWindows();
    void messageBoxLeavesRoomForItsTitle();
};

void DialogsTest::stringTable() {
    // Every number of the table has its own text; the idle text repeats the scan guide.
    const int ids[] = {41446, 41447, 41448, 41450, 41453, 41454, 41455, 41456,
                       41457, 57344, 32774, 32776, 32777, 32778, 32787};
    QStringList texts;
    for (int id : ids) texts.append(LoadKvString(id));
    QVERIFY(!texts.contains(QString()));
    texts.removeDuplicates();
    QCOMPARE(texts.size(), int(std::size(ids)));
    QCOMPARE(LoadKvString(57345), LoadKvString(IDS_GUIDE_SCAN));
    QCOMPARE(LoadKvString(AFX_IDS_APP_TITLE), Text("Tarnik設定ユーティリティ"));
    QCOMPARE(LoadKvString(IDS_BAD_ADDRESS),
             Text("アドレスの値が正しくありません。0～9999の範囲を値を入力してください。"));
    QCOMPARE(LoadKvString(IDS_DEVICE_NOT_FOUND), Text("Tarnik装置が見つかりません。"));
    for (int unknown : {0, -1, 41449, 41451, 41458, 32775, 57346}) QCOMPARE(LoadKvString(unknown), QString());
}

void DialogsTest::dialogUnits() {
    const QFont font = DialogFont();
    QCOMPARE(font.pointSize(), 9);
#if defined(Q_OS_LINUX)
    if (QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
#endif
    const DialogUnits units(font);
    const QFontMetrics metrics(font);
    const double average =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    QVERIFY(std::abs(units.BaseX() - average) <= 0.5);
    QCOMPARE(units.BaseY(), metrics.height());
    // Every conversion is the nearest pixel: no truncation creeping in over a
    // dialog's width; four (eight) units are exactly one base.
    for (int dlu = 0; dlu <= 400; ++dlu) {
        QVERIFY2(std::abs(units.X(dlu) - dlu * units.BaseX() / 4.0) <= 0.5, qPrintable(QString::number(dlu)));
        QVERIFY2(std::abs(units.Y(dlu) - dlu * units.BaseY() / 8.0) <= 0.5, qPrintable(QString::number(dlu)));
    }
    QCOMPARE(units.X(4), units.BaseX());
    QCOMPARE(units.Y(8), units.BaseY());
}

void DialogsTest::dialogContents_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("sizeDlu");
    QTest::addColumn<int>("lines");            // labels with text
    QTest::addColumn<int>("centred");          // how many leading lines are centred
    QTest::addColumn<QStringList>("texts");    // key lines, top to bottom
    QTest::addColumn<QStringList>("groups");   // captions of the boxes, top to bottom ("-": none)
    QTest::addColumn<QStringList>("buttons");  // ids 1 and 2

    struct Row {
        int id;
        const char* title;
        int width, height, lines, centred;
        const char *texts, *groups, *buttons;  // "|" between entries
    };
    const char* check = "以下を確認してください";
    const Row rows[] = {
        {100, "Tarnik設定ユーティリティのバージョン情報", 235, 55, 2, 0, "Tarnik設定ユーティリティ Version 1.00.03", "",
         "OK"},
        // 132: its own title bar first, then the two lines of its client area.
        {132, "Tarnikデバイス検索", 187, 85, 3, 0,
         "Tarnikデバイス検索|Tarnikデバイスのシリアル通信設定を検出しています...|SERIAL SETTINGS", "", "|キャンセル"},
        {136, "シリアル通信エラー", 247, 135, 4, 1,
         "シリアルポートを開けません。|【USB接続のTarnik製品の場合】　割り当てられているCOMポート番号を"
         "「デバイスマネージャ」で確認してください。",
         check, "OK"},
        {137, "シリアル通信エラー", 259, 175, 6, 1,
         "Tarnik装置との通信でエラーが発生しました。|・別のTarnik装置につなぎ変えていませんか?", check, "OK"},
        {138, "設定の確認", 191, 77, 2, 2, "Tarnik装置の設定を変更します。|変更内容は設定操作後にすぐに反映されます。",
         "", "設定|キャンセル"},
        {139, "設定エラー", 258, 179, 6, 1,
         "設定中にTarnik装置との通信でエラーが発生しました。|設定が不完全な状態になっている可能性があります。", check,
         "OK"},
        {140, "設定完了", 209, 147, 4, 1, "設定を変更しました。", "-", "再読み込み|閉じる"},
        {141, "設定初期化の確認", 239, 113, 3, 1, "Tarnik装置の設定を工場出荷時の状態に戻します。", "-",
         "初期化|キャンセル"},
        {142, "透過モード（マスター）への移行", 290, 177, 7, 1,
         "このTarnik装置を透過モードのマスター機として設定します。|"
         "・このTarnik装置のアドレスは強制的に0に設定されます。",
         "-", "マスター機として設定|キャンセル"},
        {143, "透過モード（スレーブ）への移行", 290, 177, 7, 1,
         "このTarnik装置を透過モードのスレーブ機として設定します。|"
         "・このTarnik装置のアドレスは強制的に1に設定されます。",
         "-", "スレーブ機として設定|キャンセル"},
        {144, "標準モードへ移行", 275, 145, 4, 1, "このTarnik装置の動作モードを標準（パケットモード）に戻します。", "-",
         "標準モードに戻す|キャンセル"},
        {145, "", 159, 61, 1, 1, "設定を読み込んでいます...", "", ""},
        {146, "", 135, 61, 1, 1, "設定中...", "", ""},
        {147, "", 135, 61, 1, 1, "初期化中...", "", ""},
        // 148: four lines in the first box; label, list and unit on one row in the second.
        {148, "透過モード脱出", 246, 233, 12, 1,
         "透過モード脱出文字列を送信します。|通信速度：|bps|データ長：|ビット|パリティ：|ストップビット：|ビット",
         "-|シリアル通信設定", "透過モード脱出|キャンセル"},
        {151, "透過モード脱出完了", 257, 149, 4, 1, "透過モードから脱出しました。", "-", "閉じる"},
        {152, "透過モード脱出失敗", 226, 131, 4, 1, "透過モードからの脱出に失敗しました。", check, "再試行|閉じる"},
        {153, "", 135, 61, 1, 1, "透過モード脱出処理中...", "", ""},
    };
    auto split = [](const char* joined) {
        QStringList parts = joined[0] == '\0' ? QStringList() : Text(joined).split(QLatin1Char('|'));
        for (QString& part : parts) {
            if (part == QLatin1String("-")) part.clear();
        }
        return parts;
    };
    for (const Row& row : rows) {
        QTest::addRow("%d", row.id) << row.id << Text(row.title) << QSize(row.width, row.height) << row.lines
                                    << row.centred << split(row.texts) << split(row.groups) << split(row.buttons);
    }
}

void DialogsTest::dialogContents() {
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QSize, sizeDlu);
    QFETCH(int, lines);
    QFETCH(int, centred);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, buttons);

    std::unique_ptr<QDialog> dialog = MakeDialog(id);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->objectName(), QStringLiteral("IDD_%1").arg(id));
    QCOMPARE(dialog->windowTitle(), title);
    // Sized from the table in units of the dialog font: no text needed more room.
    // The search window's size is that of the client area below its title bar.
    QSize client = dialog->size();
    if (auto* scan = qobject_cast<CScanDlg*>(dialog.get())) {
        const QRect bar = scan->titleBar()->geometry();
        client = QSize(bar.width(), dialog->height() - bar.bottom() - 1 - bar.left());
    }
    QCOMPARE(client, DialogUnits(DialogFont()).Size(sizeDlu.width(), sizeDlu.height()));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());

    // One label per line, the key lines exactly as written and in order.
    QList<QLabel*> labels = Shown<QLabel>(dialog.get());
    labels.removeIf([](const QLabel* label) { return label->text().isEmpty(); });
    QCOMPARE(labels.size(), lines);
    qsizetype found = 0;
    for (const QLabel* label : labels) {
        if (found < texts.size() && label->text() == texts[found]) ++found;
    }
    QVERIFY2(found == texts.size(), qPrintable(QStringLiteral("missing or out of order: ") + texts.value(found)));

    const QList<QGroupBox*> boxes = Shown<QGroupBox>(dialog.get());
    QStringList captions;
    for (const QGroupBox* box : boxes) captions.append(box->title());
    QCOMPARE(captions, groups);

    for (qsizetype i = 0; i < labels.size(); ++i) {
        const QLabel* label = labels[i];
        const QRect rect = RectIn(label, dialog.get());
        const bool isCentred = label->alignment().testFlag(Qt::AlignHCenter);
        if (id != IDD_SCAN || i == 0) QVERIFY2(isCentred == (i < centred), qPrintable(label->text()));
        // Nothing clipped: the label holds its wrapped text inside its box and
        // the dialog, and overlaps no other text.
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->text()));
        const QRect wrapped =
            label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text());
        QVERIFY2(wrapped.width() <= label->width() && (label->wordWrap() || wrapped.height() <= label->height()),
                 qPrintable(label->text()));
        QVERIFY2(label->parentWidget()->rect().contains(label->geometry()), qPrintable(label->text()));
        QVERIFY2(dialog->rect().contains(rect), qPrintable(label->text()));
        for (qsizetype j = i + 1; j < labels.size(); ++j)
            QVERIFY2(!rect.intersects(RectIn(labels[j], dialog.get())), qPrintable(labels[j]->text()));
    }
    if (id == IDD_SCAN) QVERIFY(labels.at(2)->alignment().testFlag(Qt::AlignHCenter));

    // Buttons by id: inside the dialog, wide enough, clear of texts and boxes.
    QStringList buttonTexts;
    for (int buttonId = 1; buttonId <= buttons.size(); ++buttonId) {
        auto* button = dialog->findChild<QPushButton*>(QStringLiteral("button%1").arg(buttonId));
        buttonTexts.append(button != nullptr ? button->text() : QString());
    }
    QCOMPARE(buttonTexts, buttons);
    QCOMPARE(dialog->findChildren<QPushButton*>().size(), buttons.size() - buttons.count(QString()));
    const QList<QPushButton*> visible = Shown<QPushButton>(dialog.get());
    for (const QPushButton* button : visible) {
        const QRect rect = RectIn(button, dialog.get());
        QVERIFY(dialog->rect().contains(rect));
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width());
        for (const QLabel* label : labels) QVERIFY(!rect.intersects(RectIn(label, dialog.get())));
        for (const QGroupBox* box : boxes) QVERIFY(!rect.intersects(RectIn(box, dialog.get())));
    }
    if (visible.size() == 2) {
        const QRect one = RectIn(dialog->findChild<QPushButton*>(QStringLiteral("button1")), dialog.get());
        const QRect two = RectIn(dialog->findChild<QPushButton*>(QStringLiteral("button2")), dialog.get());
        if (id == IDD_ESCAPE) {  // above one another, right of the line-settings box
            QVERIFY(one.bottom() < two.top() && one.left() == two.left());
            QVERIFY(one.left() > RectIn(boxes.at(1), dialog.get()).right());
        } else {  // one row, id 1 on the left
            QVERIFY(one.top() == two.top() && one.right() < two.left());
        }
    }
}

void DialogsTest::modalResults_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    const QList<int> withCancel = {138, 140, 141, 142, 143, 144, 152};
    for (int id : {100, 136, 137, 138, 139, 140, 141, 142, 143, 144, 151, 152}) {
        QTest::addRow("%d button 1", id) << id << "button1" << IDOK;
        if (withCancel.contains(id)) QTest::addRow("%d button 2", id) << id << "button2" << IDCANCEL;
        QTest::addRow("%d Escape", id) << id << "escape" << IDCANCEL;
        QTest::addRow("%d close box", id) << id << "close" << IDCANCEL;
    }
    QTest::addRow("138 Enter") << 138 << "enter" << IDOK;  // the default button, id 1
}

void DialogsTest::modalResults() {
    QFETCH(int, id);
    QFETCH(QString, action);
    QFETCH(int, expected);

    QWidget owner;
    owner.setGeometry(120, 80, 560, 420);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    bool answered = false;
    WhenModalShows([&](QDialog* dialog) {
        answered = true;
        QCOMPARE(dialog->objectName(), QStringLiteral("IDD_%1").arg(id));
        QVERIFY(dialog->isModal() && dialog->parentWidget() == &owner);
        QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        const QPoint offset = dialog->geometry().center() - owner.geometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, "not centred over the owner");
        if (action == QLatin1String("escape")) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else if (action == QLatin1String("enter")) {
            QTest::keyClick(dialog, Qt::Key_Return);
        } else if (action == QLatin1String("close")) {
            dialog->close();
        } else {
            QTest::mouseClick(dialog->findChild<QPushButton*>(action), Qt::LeftButton);
        }
    });
    QCOMPARE(RunModalDialog(id, &owner), expected);
    QVERIFY(answered);
    QVERIFY(owner.findChildren<QDialog*>().isEmpty());  // gone again
}

void DialogsTest::escapeDialogRemembersChoices() {
    QWidget owner;
    owner.show();
    CEscapeDlg escape(&owner);
    auto list = [&escape](int id) { return escape.findChild<QComboBox*>(QStringLiteral("IDC_%1").arg(id)); };
    const int ids[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
    QStringList shown;  // the four selections when the dialog came up
    // Picks the items with these texts, then ends the dialog with action.
    auto answer = [&](QStringList pick, std::function<void(QDialog*)> action) {
        WhenModalShows([&shown, &list, &ids, pick, action](QDialog* dialog) {
            shown.clear();
            for (int i = 0; i < 4; ++i) {
                shown.append(list(ids[i])->currentText());
                list(ids[i])->setCurrentIndex(list(ids[i])->findText(pick[i]));
            }
            action(dialog);
        });
    };
    auto click = [](const char* button) {
        return [button](QDialog* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        };
    };

    // First opening: 9600 bps, 8 bits, no parity, 1 stop bit. Cancel with
    // 19200, 7, even, 2: a cancelled run changes the remembered settings too.
    answer({"19200", "7", Text("偶数"), "2"}, click("button2"));
    QCOMPARE(escape.DoModal(), IDCANCEL);
    QCOMPARE(shown, (QStringList{"9600", "8", Text("なし"), "1"}));
    QCOMPARE(escape.settings, (SerialSettings{19200, '7', 'E', '2'}));

    // The next opening shows that choice; the Escape key and the close box store too.
    answer({"38400", "7", Text("奇数"), "2"}, [](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QCOMPARE(escape.DoModal(), IDCANCEL);
    QCOMPARE(shown, (QStringList{"19200", "7", Text("偶数"), "2"}));
    QCOMPARE(escape.settings, (SerialSettings{38400, '7', 'O', '2'}));
    answer({"1200", "8", Text("なし"), "1"}, [](QDialog* dialog) { dialog->close(); });
    QCOMPARE(escape.DoModal(), IDCANCEL);
    QCOMPARE(escape.settings, (SerialSettings{1200, '8', 'N', '1'}));

    // "透過モード脱出" goes on with OK.
    answer({"57600", "8", Text("偶数"), "1"}, click("button1"));
    QCOMPARE(escape.DoModal(), IDOK);
    QCOMPARE(escape.settings, (SerialSettings{57600, '8', 'E', '1'}));
}

void DialogsTest::scanWindowTakesNoInput() {
    QMainWindow owner;
    owner.setCentralWidget(new QWidget);
    owner.show();
    std::unique_ptr<QDialog> window(CreateProgressWindow(IDD_SCAN, &owner));
    auto* scan = qobject_cast<CScanDlg*>(window.get());
    QVERIFY(scan != nullptr);
    // A window manager would add a close box to any title bar it draws: the window
    // asks for none and carries its own title bar, the title alone across the top,
    // the client area below it.
    QVERIFY(scan->windowFlags() & Qt::FramelessWindowHint);
    QLabel* bar = scan->titleBar();
    QCOMPARE(bar->text(), QStringLiteral("Tarnikデバイス検索"));
    QVERIFY(bar->isVisibleTo(scan) && bar->y() <= 2 && bar->width() >= scan->width() - 4);
    for (QWidget* child : scan->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != bar && child->objectName() != QLatin1String("frame"))
            QVERIFY2(child->y() > bar->geometry().bottom(), qPrintable(child->objectName()));
    }
    auto* cancel = scan->findChild<QPushButton*>(QStringLiteral("button2"));
    QVERIFY(!cancel->isEnabled() && !cancel->isVisibleTo(scan));

    scan->show();
    QVERIFY(QTest::qWaitForWindowExposed(scan));
    QCOMPARE(scan->settingsLabel()->objectName(), QStringLiteral("IDC_1006"));
    scan->SetSettingsText(QStringLiteral("57600bps, 7bits, none, stop2"));
    QCOMPARE(scan->settingsLabel()->text(), QStringLiteral("57600bps, 7bits, none, stop2"));

    // Neither a click, the Escape key nor a close request ends the search window.
    QSignalSpy finished(scan, &QDialog::finished);
    cancel->click();
    QTest::mouseClick(scan, Qt::LeftButton);
    QTest::keyClick(scan, Qt::Key_Escape);
    QVERIFY(!scan->close());
    scan->reject();
    QVERIFY(scan->isVisible());
    QCOMPARE(finished.count(), 0);
}

void DialogsTest::progressWindows_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QPoint>("positionDlu");
    QTest::newRow("132") << 132 << QPoint(42, 73);
    QTest::newRow("145") << 145 << QPoint(55, 85);
    QTest::newRow("146") << 146 << QPoint(68, 85);
    QTest::newRow("147") << 147 << QPoint(68, 85);
    QTest::newRow("153") << 153 << QPoint(68, 85);
}

void DialogsTest::progressWindows() {
    QFETCH(int, id);
    QFETCH(QPoint, positionDlu);

    // A main window with a menu bar: the client area starts below it.
    QMainWindow owner;
    owner.setMenuBar(new QMenuBar);
    owner.menuBar()->addMenu(QStringLiteral("File"));
    owner.setCentralWidget(new QWidget);
    owner.setGeometry(150, 90, 480, 430);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QPoint client = owner.centralWidget()->mapToGlobal(QPoint(0, 0));
    QVERIFY(client != owner.mapToGlobal(QPoint(0, 0)));

    std::unique_ptr<QDialog> window(CreateProgressWindow(id, &owner));
    QVERIFY(window != nullptr);
    QVERIFY(window->parentWidget() == &owner && !window->isModal());
    QVERIFY(!window->isVisible() && !window->isEnabled());
    const DialogUnits units(DialogFont());
    const QPoint expected = client + QPoint(units.X(positionDlu.x()), units.Y(positionDlu.y()));
    QCOMPARE(window->pos(), expected);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->frameGeometry().topLeft(), expected);  // the outer frame; not centred when shown

    // No title bar from the window manager (the search window draws its own);
    // texts not greyed although disabled.
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    for (const QLabel* line : window->findChildren<QLabel*>()) {
        QCOMPARE(line->palette().color(QPalette::Disabled, QPalette::WindowText),
                 line->palette().color(QPalette::Active, QPalette::WindowText));
    }
}

void DialogsTest::messageBoxLeavesRoomForItsTitle() {
    // A window manager sets the title in bold beside the window's icon and three
    // buttons (each about one and a half text lines wide, with gaps) and cuts it
    // short where the window is narrower: a short message must not make a box
    // that narrow (under openbox "Tarnik設… ティリティ").
    for (int id : {IDS_DEVICE_NOT_FOUND, IDS_BAD_ADDRESS}) {
        std::unique_ptr<QMessageBox> box(CreateMessageBox(id, nullptr));
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QCOMPARE(box->windowTitle(), Text("Tarnik設定ユーティリティ"));
        QCOMPARE(box->text(), LoadKvString(id));
        QFont bold = box->font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        const int button = fm.height() * 3 / 2;
        const int needed = fm.horizontalAdvance(box->windowTitle()) + 4 * button + fm.height();
        QVERIFY2(box->width() >= needed, qPrintable(QStringLiteral("%1 < %2").arg(box->width()).arg(needed)));
    }
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
