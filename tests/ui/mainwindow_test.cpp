// The main window and the settings window, driven as a user would against a
// simulated module on "COM1" that runs on a virtual clock. Modal dialogs of the
// workflows are answered through the host's answerer; the escape dialog, which
// the window runs itself, is answered on screen.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include "CVelmoraApp.h"
#include "Dialogs.h"
#include "ProfileFile.h"
#include "StringTable.h"
#include "UiRig.h"

using tarnik::sim::Fault;
using tarnik::sim::FaultKind;

namespace {

Fault MakeFault(FaultKind kind, int count, const char* mnemonic = "") {
    Fault fault;
    fault.kind = kind;
    fault.count = count;
    fault.mnemonic = mnemonic;
    return fault;
}

bool IsRed(const QLabel* label) {
    return label->palette().color(QPalette::Active, QPalette::WindowText) == QColor(230, 0, 0);
}

bool ToolsEnabled(Rig& rig, int id) {
    emit rig.Frame()->ToolsMenu()->aboutToShow();
    return rig.Frame()->CommandAction(id)->isEnabled();
}

// Chooses a command the way a user does: the menu opens (its enabled states
// are brought up to date), then the item is triggered.
void Command(Rig& rig, int id) {
    emit rig.Frame()->ToolsMenu()->aboutToShow();
    rig.Frame()->CommandAction(id)->trigger();
}

// The escape dialog's four line-settings lists.
QComboBox* LineList(QWidget* dialog, int index) {
    const int ids[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
    return dialog->findChild<QComboBox*>(QStringLiteral("IDC_%1").arg(ids[index]));
}

// Where a label's text is drawn: its width, placed in the label by its
// alignment, one line high in the middle.
QRect TextRect(const QLabel* label) {
    const QFontMetrics fm(label->font());
    const QRect box = label->geometry();
    const int width = fm.horizontalAdvance(label->text());
    int x = box.left();
    if (label->alignment() & Qt::AlignRight)
        x = box.right() + 1 - width;
    else if (label->alignment() & Qt::AlignHCenter)
        x = box.left() + (box.width() - width) / 2;
    return QRect(x, box.top() + (box.height() - fm.height()) / 2, width, fm.height());
}

// The row, relative to the box, on which a group box draws the top line of its
// frame: the first row below the caption's top where dark pixels run across
// most of the box.
int FrameTopLine(QGroupBox* box) {
    const QImage image = box->grab().toImage();
    const QColor background = box->palette().color(QPalette::Window);
    for (int y = 0; y < image.height(); ++y) {
        int dark = 0;
        for (int x = 0; x < image.width(); ++x)
            dark += QColor(image.pixel(x, y)).lightness() < background.lightness() - 20;
        if (dark > image.width() / 2) return y;
    }
    return -1;
}

// The labels and controls of one row inside a box, relative to the box.
struct BoxContents {
    QStringList labels;  // "text@x,y,w,h" of the drawn text
    QList<QRect> lists;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void frameTitleStyleAndMenus();
    void toolsCommandsFollowTheDevice();
    void formListsAndFirstRead();
    void addressEditTakesFourDigitsOnly();
    void modeCommandsRunTheirWorkflowsAndTheNotesAreRed();
    void searchTakesTheWindowsInputWhileItRuns();
    void escapeDialogRemembersTheChoiceThroughTheView();
    void initializeFromTheMenuAsksFirst();
    void toolkitTextsAreJapanese();
    void formTextsKeepClearOfEachOtherAndOfFrames();
    void escapeDialogListsAsOnTheForm();
    void frequencyListDropsDownAShortList();
    void enterOnFocusedButtonPressesIt();
    void ctrlOOpensAProfileIntoTheForm();
    void ctrlSSavesTheFormAsAProfile();
    void commandLine_data();
    void commandLine();
};

void MainWindowTest::frameTitleStyleAndMenus() {
    Rig rig;
    CMainFrame* frame = rig.Frame();
    QCOMPARE(frame->windowTitle(), QStringLiteral("Tarnik設定ユーティリティ"));
    const Qt::WindowFlags flags = frame->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(frame->minimumSize(), frame->maximumSize());
    QVERIFY(frame->findChildren<QStatusBar*>().isEmpty());
    QVERIFY(frame->findChildren<QToolBar*>().isEmpty());

    // The frame fits the form, menu bar included, and nothing lies outside the form.
    const QSize form = rig.View()->FormSize();
    QCOMPARE(rig.View()->size(), form);
    QCOMPARE(frame->height(), form.height() + frame->menuBar()->sizeHint().height());
    for (QWidget* child : rig.View()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        QVERIFY2(rig.View()->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }

    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, QStringList({QStringLiteral("ファイル(&F)"), QStringLiteral("編集(&E)"),
                                  QStringLiteral("ツール(&T)"), QStringLiteral("ヘルプ(&H)")}));

    // Framework commands: shortcut labels shown, the commands never available;
    // without a device the profile commands are grey too, their keys real.
    QCOMPARE(frame->CommandAction(ID_FILE_NEW_)->text(), QStringLiteral("新規作成(&N)\tCtrl+N"));
    QCOMPARE(frame->CommandAction(ID_FILE_OPEN_)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(frame->CommandAction(ID_FILE_SAVE_)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(frame->CommandAction(ID_EDIT_PASTE)->text(), QStringLiteral("貼り付け(&P)\tCtrl+V"));
    QCOMPARE(frame->CommandAction(ID_FILE_PRINT_PREVIEW_)->text(), QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)"));
    for (int id : {ID_FILE_NEW_, ID_FILE_OPEN_, ID_FILE_SAVE_, ID_FILE_SAVE_AS_, ID_FILE_PRINT_, ID_FILE_PRINT_PREVIEW_,
                   ID_FILE_PRINT_SETUP_, ID_FILE_MRU_FILE1, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) {
        QVERIFY2(!frame->CommandAction(id)->isEnabled(), qPrintable(QString::number(id)));
        if (id != ID_FILE_OPEN_ && id != ID_FILE_SAVE_) QVERIFY(frame->CommandAction(id)->shortcut().isEmpty());
    }
    QCOMPARE(frame->CommandAction(ID_APP_EXIT)->text(), QStringLiteral("Tarnik設定ユーティリティの終了(&X)"));

    // The 動作モード sub-menu holds the three mode commands and, after a separator, the escape.
    auto* mode = qobject_cast<QMenu*>(frame->CommandAction(ID_MODE_TRANSPARENT_MASTER)->parent());
    QVERIFY(mode != nullptr);
    QCOMPARE(mode->title(), QStringLiteral("動作モード"));
    QStringList modeItems;
    for (QAction* a : mode->actions()) modeItems << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(modeItems, QStringList({QStringLiteral("透過モード（マスター）に設定..."),
                                     QStringLiteral("透過モード（スレーブ）に設定..."),
                                     QStringLiteral("透過モード設定を取り消す..."), QStringLiteral("-"),
                                     QStringLiteral("透過モード脱出")}));

    // About goes through the host as dialog 100; closing asks nothing and sends nothing.
    frame->CommandAction(ID_APP_ABOUT)->trigger();
    QCOMPARE(rig.dialogs, std::vector<int>{IDD_ABOUTBOX});
    const std::size_t heard = rig.Module().Log().size();
    frame->CommandAction(ID_APP_EXIT)->trigger();
    QVERIFY(!frame->isVisible());
    QCOMPARE(rig.dialogs.size(), std::size_t{1});
    QCOMPARE(rig.Module().Log().size(), heard);
}

void MainWindowTest::toolsCommandsFollowTheDevice() {
    Rig rig;
    const int device[] = {ID_TOOLS_INITIALIZE, ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE,
                          ID_MODE_CANCEL_TRANSPARENT};
    for (int id : device) QVERIFY(!ToolsEnabled(rig, id));
    QVERIFY(ToolsEnabled(rig, ID_MODE_ESCAPE_TRANSPARENT));
    QVERIFY(rig.Frame()->CommandAction(ID_APP_ABOUT)->isEnabled());

    rig.ScanAndRead();
    for (int id : device) QVERIFY(ToolsEnabled(rig, id));
    QVERIFY(ToolsEnabled(rig, ID_MODE_ESCAPE_TRANSPARENT));
    QCOMPARE(rig.Frame()->windowTitle(), QStringLiteral("Tarnik設定ユーティリティ"));

    // A later search that finds nothing takes them away again.
    rig.Module().InjectFault(MakeFault(FaultKind::Silence, -1));
    rig.View()->OnScan();
    QCOMPARE(rig.messages, std::vector<int>{IDS_DEVICE_NOT_FOUND});
    for (int id : device) QVERIFY(!ToolsEnabled(rig, id));
    QVERIFY(ToolsEnabled(rig, ID_MODE_ESCAPE_TRANSPARENT));
}

void MainWindowTest::formListsAndFirstRead() {
    // What the form decides reaches the widgets (the decisions themselves are
    // checked in tests/form): texts, list items and selections, the edit's
    // limit and enabled states, and the selections back into the record.
    Rig rig;
    rig.Module().MutableRunning().address = 42;
    auto* frequency = rig.Control<QComboBox>("IDC_FREQUENCY");
    QCOMPARE(rig.Guide(), LoadKvString(IDS_GUIDE_SCAN));
    QCOMPARE(rig.Control<QComboBox>("IDC_COM_PORT")->currentText(), QStringLiteral("COM1"));
    QCOMPARE(rig.Control<QComboBox>("IDC_COM_PORT")->itemText(19), QStringLiteral("COM20"));
    QCOMPARE(rig.Control<QLabel>("IDC_SERIAL_NUMBER")->text(), QStringLiteral("000000000"));
    QCOMPARE(frequency->count(), 76);
    QCOMPARE(frequency->itemText(75), QStringLiteral("2480"));
    QCOMPARE(frequency->currentIndex(), -1);
    QCOMPARE(rig.Control<QLineEdit>("IDC_ADDRESS")->maxLength(), 4);
    QVERIFY(!rig.Control<QPushButton>("IDC_SET")->isEnabled());
    QVERIFY(!frequency->isEnabled());
    QVERIFY(rig.Control<QPushButton>("IDC_SCAN")->isEnabled());

    rig.ScanAndRead();
    QCOMPARE(rig.Guide(), LoadKvString(IDS_GUIDE_EDIT));
    QCOMPARE(rig.Control<QLabel>("IDC_SERIAL_NUMBER")->text(), QStringLiteral("123456789"));
    QCOMPARE(rig.Control<QLineEdit>("IDC_ADDRESS")->text(), QStringLiteral("42"));
    QCOMPARE(frequency->currentText(), QStringLiteral("2405"));
    QVERIFY(rig.Control<QPushButton>("IDC_SET")->isEnabled());

    frequency->setCurrentIndex(75);
    rig.Control<QComboBox>("IDC_PARITY")->setCurrentIndex(1);
    rig.Control<QComboBox>("IDC_PIN_34")->setCurrentIndex(2);
    rig.View()->StoreControlsToDocument();
    QCOMPARE(int(rig.Doc().settings.frequencyIndex), 75);
    QCOMPARE(rig.Doc().settings.parity, int('E'));
    QCOMPARE(rig.Doc().settings.pinFunctions[1], int('2'));
}

void MainWindowTest::addressEditTakesFourDigitsOnly() {
    Rig rig;
    rig.ScanAndRead();
    auto* address = rig.Control<QLineEdit>("IDC_ADDRESS");
    address->clear();
    QTest::keyClicks(address, QStringLiteral("-1a2345"));
    QCOMPARE(address->text(), QStringLiteral("1234"));
}

void MainWindowTest::modeCommandsRunTheirWorkflowsAndTheNotesAreRed() {
    // The notes' texts and the locks are the form's (tests/form); here: the
    // notes are drawn red, and the menu's three mode commands reach their workflows.
    Rig rig;
    rig.ScanAndRead();
    QVERIFY(IsRed(rig.Control<QLabel>("IDC_MODE_NOTE")));
    QVERIFY(IsRed(rig.Control<QLabel>("IDC_PIN_NOTE")));
    QVERIFY(!IsRed(rig.Control<QLabel>("IDC_GUIDE")));
    Command(rig, ID_MODE_TRANSPARENT_MASTER);
    QCOMPARE(rig.Module().Stored().mode, 1);
    Command(rig, ID_MODE_TRANSPARENT_SLAVE);
    QCOMPARE(rig.Module().Stored().mode, 2);
    Command(rig, ID_MODE_CANCEL_TRANSPARENT);
    QCOMPARE(rig.Module().Stored().mode, 0);
    QCOMPARE(rig.dialogs, (std::vector<int>{IDD_MASTER_MODE, IDD_SLAVE_MODE, IDD_STANDARD_MODE}));
}

void MainWindowTest::searchTakesTheWindowsInputWhileItRuns() {
    // What the window shows after a search that finds nothing is the form's
    // (tests/form); here: the widget takes no input while the search runs and
    // takes it again afterwards.
    Rig rig;
    rig.Module().InjectFault(MakeFault(FaultKind::Silence, -1));
    bool enabledDuringSearch = true;
    rig.Host().messageAnswerer = [&rig, &enabledDuringSearch](int id) {
        rig.messages.push_back(id);
        enabledDuringSearch = rig.View()->isEnabled();
    };
    QTest::mouseClick(rig.Control<QPushButton>("IDC_SCAN"), Qt::LeftButton);
    QCOMPARE(rig.messages, std::vector<int>{IDS_DEVICE_NOT_FOUND});
    QVERIFY(!enabledDuringSearch);
    QVERIFY(rig.View()->isEnabled());
}

void MainWindowTest::escapeDialogRemembersTheChoiceThroughTheView() {
    Rig rig;
    const std::size_t heard = rig.Module().Log().size();
    std::vector<QStringList> shown;  // the four selections each time the dialog came up
    // Answers the next escape dialog: notes what it shows, picks `pick` (if any), clicks `button`.
    auto answerEscape = [&shown](QStringList pick, const char* button) {
        OnNextModal([&shown, pick, button](QWidget* dialog) {
            shown.emplace_back();
            for (int i = 0; i < 4; ++i) {
                shown.back() << LineList(dialog, i)->currentText();
                if (!pick.isEmpty()) LineList(dialog, i)->setCurrentText(pick[i]);
            }
            QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
    };

    // First opening: the defaults. Pick other values and cancel.
    const QStringList picked = {QStringLiteral("19200"), QStringLiteral("7"), QStringLiteral("偶数"),
                                QStringLiteral("2")};
    const QStringList defaults = {QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("なし"),
                                  QStringLiteral("1")};
    answerEscape(picked, "button2");
    Command(rig, ID_MODE_ESCAPE_TRANSPARENT);
    QCOMPARE(shown, std::vector<QStringList>{defaults});
    QCOMPARE(rig.Module().Log().size(), heard);
    QVERIFY(rig.dialogs.empty());

    // The next opening shows the cancelled choice (the retry loop is the form's, tests/form).
    answerEscape({}, "button2");
    rig.View()->OnEscapeTransparent();
    QCOMPARE(shown, (std::vector<QStringList>{defaults, picked}));
    QCOMPARE(rig.Module().Log().size(), heard);
}

void MainWindowTest::initializeFromTheMenuAsksFirst() {
    // The menu item reaches the command: its confirmation comes up; cancelled, nothing is sent.
    Rig rig;
    rig.ScanAndRead();
    const std::size_t heard = rig.Module().Log().size();
    rig.answer = [](int) { return IDCANCEL; };
    Command(rig, ID_TOOLS_INITIALIZE);
    QCOMPARE(rig.dialogs, std::vector<int>{IDD_INIT_CONFIRM});
    QCOMPARE(rig.Module().Log().size(), heard);
}

void MainWindowTest::toolkitTextsAreJapanese() {
    // The address box's own context menu is Qt's: its texts come from Qt's translations.
    Rig rig;
    std::unique_ptr<QMenu> menu(rig.Control<QLineEdit>("IDC_ADDRESS")->createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text().section(u'\t', 0, 0));
    QCOMPARE(items,
             QStringList({QStringLiteral("元に戻す(&U)"), QStringLiteral("やり直す(&R)"), QStringLiteral("-"),
                          QStringLiteral("切り取り(&T)"), QStringLiteral("コピー(&C)"), QStringLiteral("貼り付け(&P)"),
                          QStringLiteral("削除"), QStringLiteral("-"), QStringLiteral("すべてを選択")}));
}

void MainWindowTest::formTextsKeepClearOfEachOtherAndOfFrames() {
    Rig rig;
    rig.ScanAndRead();  // the values the module gives, in the widths they have
    CVelmoraView* view = rig.View();
    QList<QLabel*> labels;
    for (QLabel* label : view->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!label->text().isEmpty()) labels << label;
    }
    QList<QWidget*> controls;
    for (QWidget* w : view->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QPushButton*>(w)) controls << w;
    }
    const QList<QGroupBox*> boxes = view->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(boxes.size(), 4);
    const int gap = 2;  // pixels between a text and anything else

    for (QLabel* label : labels) {
        const QRect text = TextRect(label);
        const QString name = label->text();
        for (QLabel* other : labels) {
            if (other != label)
                QVERIFY2(!text.adjusted(-gap, 0, gap, 0).intersects(TextRect(other)),
                         qPrintable(name + " / " + other->text()));
        }
        for (QWidget* control : controls)
            QVERIFY2(!text.adjusted(-gap, 0, gap, 0).intersects(control->geometry()), qPrintable(name));
        // Inside its box: clear of the side frames and below the top line.
        for (QGroupBox* box : boxes) {
            const QRect frame = box->geometry();
            if (!frame.contains(text.center())) continue;
            QVERIFY2(text.left() >= frame.left() + gap + 1 && text.right() <= frame.right() - gap - 1,
                     qPrintable(name));
            if (text.center().y() > frame.top() + box->fontMetrics().height()) {
                const int line = FrameTopLine(box);
                QVERIFY(line >= 0);
                QVERIFY2(text.top() >= frame.top() + line + gap, qPrintable(name));
            }
        }
    }
}

void MainWindowTest::escapeDialogListsAsOnTheForm() {
    // The escape dialog's line-settings box holds labels, lists and units exactly
    // as the settings form's シリアル通信設定 box does.
    Rig rig;
    auto contents = [](QWidget* texts, const QRect& box, const QList<QComboBox*>& lists) {
        BoxContents c;
        for (QLabel* label : texts->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect t = TextRect(label).translated(-box.topLeft());
            if (!label->text().isEmpty() && QRect(QPoint(0, 0), box.size()).contains(t.center()))
                c.labels << QStringLiteral("%1@%2,%3,%4").arg(label->text()).arg(t.x()).arg(t.y()).arg(t.width());
        }
        for (QComboBox* list : lists) c.lists << list->geometry().translated(-box.topLeft());
        c.labels.sort();
        return c;
    };
    QGroupBox* formBox = nullptr;
    for (QGroupBox* b : rig.View()->findChildren<QGroupBox*>()) {
        if (b->title() == QStringLiteral("シリアル通信設定")) formBox = b;
    }
    QVERIFY(formBox != nullptr);
    const BoxContents form = contents(rig.View(), formBox->geometry(),
                                      {rig.Control<QComboBox>("IDC_BAUD_RATE"), rig.Control<QComboBox>("IDC_DATA_BITS"),
                                       rig.Control<QComboBox>("IDC_PARITY"), rig.Control<QComboBox>("IDC_STOP_BITS")});

    CEscapeDlg* escape = rig.View()->EscapeDialog();
    QGroupBox* box = nullptr;
    for (QGroupBox* b : escape->findChildren<QGroupBox*>()) {
        if (b->title() == QStringLiteral("シリアル通信設定")) box = b;
    }
    QVERIFY(box != nullptr);
    QList<QComboBox*> lists;
    for (int i = 0; i < 4; ++i) lists << LineList(escape, i);
    const BoxContents dialog = contents(box, QRect(QPoint(0, 0), box->size()), lists);

    QCOMPARE(dialog.labels.size(), 7);
    QCOMPARE(dialog.labels, form.labels);
    QCOMPARE(dialog.lists, form.lists);
}

void MainWindowTest::frequencyListDropsDownAShortList() {
    // 76 channels: the list drops down beneath the box, a few items high, not
    // over the whole screen.
    Rig rig;
    rig.ScanAndRead();
    auto* frequency = rig.Control<QComboBox>("IDC_FREQUENCY");
    frequency->showPopup();
    QAbstractItemView* items = frequency->view();
    QTRY_VERIFY(items->isVisible());
    const int row = items->sizeHintForRow(0);
    QVERIFY(row > 0);
    QVERIFY2(items->height() <= (frequency->maxVisibleItems() + 1) * row, qPrintable(QString::number(items->height())));
    QVERIFY(items->window()->geometry().top() >= frequency->mapToGlobal(QPoint(0, 0)).y());
    frequency->hidePopup();
}

void MainWindowTest::enterOnFocusedButtonPressesIt() {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        Rig rig;
        rig.Frame()->activateWindow();
        auto* scan = rig.Control<QPushButton>("IDC_SCAN");
        scan->setFocus();
        QTest::keyClick(scan, key);
        QVERIFY(rig.Doc().HasDevice());

        auto* set = rig.Control<QPushButton>("IDC_SET");
        set->setFocus();
        rig.answer = [](int) { return IDCANCEL; };
        QTest::keyClick(set, key);
        QCOMPARE(rig.dialogs, std::vector<int>{IDD_SET_CONFIRM});
    }
}

// After a search, without opening any menu, Ctrl+O asks for a file and fills
// the form from it; nothing is sent.
void MainWindowTest::ctrlOOpensAProfileIntoTheForm() {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("二号機.json"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": 1, "address": 25, "channelMHz": 2415, "baudRate": 19200, "parity": "E"})");
    file.close();

    Rig rig;
    rig.ScanAndRead();
    rig.Frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.Frame()));
    std::vector<bool> asked;
    rig.Host().fileAnswerer = [&](bool save) {
        asked.push_back(save);
        return std::optional<QString>(name);
    };
    const std::size_t heard = rig.Module().Log().size();
    QTest::keyClick(rig.Frame(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(asked, std::vector<bool>{false});
    QCOMPARE(rig.Control<QLineEdit>("IDC_ADDRESS")->text(), QStringLiteral("25"));
    QCOMPARE(rig.Control<QComboBox>("IDC_FREQUENCY")->currentText().trimmed(), QStringLiteral("2415"));
    QCOMPARE(rig.Control<QComboBox>("IDC_BAUD_RATE")->currentText(), QStringLiteral("19200"));
    QCOMPARE(rig.Control<QComboBox>("IDC_PARITY")->currentText(), QStringLiteral("偶数"));
    QCOMPARE(rig.Control<QComboBox>("IDC_DATA_BITS")->currentText(), QStringLiteral("8"));  // left out: kept
    QCOMPARE(rig.Guide(), LoadKvString(IDS_GUIDE_EDIT));
    QCOMPARE(rig.Module().Log().size(), heard);
}

// Ctrl+S without a current file asks where, writes the form's values there,
// and the next Ctrl+S writes there without asking.
void MainWindowTest::ctrlSSavesTheFormAsAProfile() {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("一号機.json"));
    Rig rig;
    rig.ScanAndRead();
    rig.Frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.Frame()));
    int asked = 0;
    rig.Host().fileAnswerer = [&](bool save) {
        asked += save;
        return std::optional<QString>(name);
    };
    rig.Control<QComboBox>("IDC_STOP_BITS")->setCurrentIndex(1);  // 2
    QTest::keyClick(rig.Frame(), Qt::Key_S, Qt::ControlModifier);
    rig.Control<QComboBox>("IDC_BAUD_RATE")->setCurrentIndex(6);  // 57600
    QTest::keyClick(rig.Frame(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(asked, 1);

    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    SettingValues saved;
    QCOMPARE(QString::fromStdString(ParseProfile(file.readAll().toStdString(), saved)), QString());
    QCOMPARE(saved.stopBits, std::optional<int>('2'));
    QCOMPARE(saved.baudRate, std::optional<int>(57600));
    QCOMPARE(saved.address, std::optional<int>(0));
}

void MainWindowTest::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");  // CommandLine::Action
    QTest::addColumn<QString>("error");
    using A = CommandLine::Action;
    QTest::newRow("none") << QStringList() << int(A::Start) << QString();
    QTest::newRow("demo") << QStringList{"--demo"} << int(A::Start) << QString();
    QTest::newRow("help wins") << QStringList{"--demo", "--help"} << int(A::Help) << QString();
    QTest::newRow("-h") << QStringList{"-h"} << int(A::Help) << QString();
    QTest::newRow("toolkit's") << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse", "--display", ":1"}
                               << int(A::Start) << QString();
    QTest::newRow("unknown") << QStringList{"--demo", "--verbose"} << int(A::Fail) << "unknown option --verbose";
    QTest::newRow("toolkit's without value")
        << QStringList{"-platform"} << int(A::Fail) << "option -platform needs a value";
    QTest::newRow("folder missing") << QStringList{"--screenshot-script"} << int(A::Fail)
                                    << "option --screenshot-script needs a folder";
    QTest::newRow("file") << QStringList{"settings.txt"} << int(A::Fail)
                          << "unexpected argument settings.txt: velmora opens no files";
}

void MainWindowTest::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, error);
    std::vector<QByteArray> bytes{QByteArray("velmora")};
    for (const QString& a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<const char*> argv;
    for (const QByteArray& b : bytes) argv.push_back(b.constData());
    const CommandLine parsed = CVelmoraApp::ParseCommandLine(int(argv.size()), argv.data());
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(QString::fromStdString(parsed.error), error);
    if (action == int(CommandLine::Action::Start)) QCOMPARE(parsed.demo, args.contains(QStringLiteral("--demo")));
}

int main(int argc, char** argv) {
    CVelmoraApp app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_test.moc"
