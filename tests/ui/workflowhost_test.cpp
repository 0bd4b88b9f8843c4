// The Qt side of the workflows: progress windows on screen while the thread
// blocks, message boxes, the wait cursor, input that arrives during a workflow,
// the guard at the event loop, and the serial devices offered in the port list.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include "CVelmoraApp.h"
#include "Dialogs.h"
#include "KvExceptions.h"
#include "KvPortDiscovery.h"
#include "KvPortName.h"
#include "SerialSettings.h"
#include "StringTable.h"
#include "Texts.h"
#include "UiRig.h"

namespace {

// Queues a click (mouse, then the space key) on a button as the window system
// would hand it over later: posted, not delivered yet.
void PostClick(QPushButton* button) {
    const QPointF at = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(at);
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

void PostSpaceKey(QPushButton* button) {
    QCoreApplication::postEvent(button,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    QCoreApplication::postEvent(button,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

class Thrower : public QObject {
public:
    std::function<void()> toThrow;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) toThrow();
        return QObject::event(e);
    }
};

}  // namespace

class WorkflowHostTest : public QObject {
    Q_OBJECT
private slots:
    void progressWindowsShowEachCandidateWhileTheScanBlocks();
    void messagesAndDialogsAreRealModalWindows();
    void openErrorShowsThePortAndReasonUnderItsText();
    void portListDescribesTheDevicesFound();
    void clickQueuedDuringWorkflowDoesNotFireAfterwards();
    void inputDuringWorkflowReachesOnlyItsModalDialogs();
    void guardAtEventLoopReportsAndCarriesOn();
};

void WorkflowHostTest::progressWindowsShowEachCandidateWhileTheScanBlocks() {
    tarnik::sim::ModuleConfig config;
    config.line = {19200, '8', 'E', '1'};
    Rig rig(config);
    QStringList texts;
    int unexposed = 0, enabled = 0, withoutWaitCursor = 0, loadingShown = 0;
    // Each candidate, the main window is asked to paint itself anew (as when the
    // search window is moved off it); it must do so before the next candidate.
    PaintCounter viewPaints;
    rig.View()->installEventFilter(&viewPaints);
    int paintRequests = 0, paintsDuringScan = 0, paintsAtRequest = -1;
    rig.Host().progressPainted = [&](int id, QDialog* window) {
        if (!window->isVisible() || window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
            ++unexposed;
        if (window->isEnabled()) ++enabled;
        if (QGuiApplication::overrideCursor() == nullptr ||
            QGuiApplication::overrideCursor()->shape() != Qt::WaitCursor)
            ++withoutWaitCursor;
        if (id == IDD_LOADING) ++loadingShown;
        if (id == IDD_SCAN) {
            auto* line = window->findChild<QLabel*>(QStringLiteral("IDC_%1").arg(IDC_SCAN_SETTINGS));
            QVERIFY(line != nullptr);
            // The layout's placeholder never shows; the window is blank until the first candidate.
            if (line->text().isEmpty()) return;
            texts << line->text();
            if (paintsAtRequest >= 0 && viewPaints.paints > paintsAtRequest) ++paintsDuringScan;
            paintsAtRequest = viewPaints.paints;
            ++paintRequests;
            rig.View()->update();
        }
    };
    rig.View()->OnScan();
    QCOMPARE(paintsDuringScan, paintRequests - 1);

    QCOMPARE(unexposed, 0);
    QCOMPARE(enabled, 0);
    QCOMPARE(withoutWaitCursor, 0);
    QCOMPARE(loadingShown, 1);
    // One line per candidate tried, fastest first, ending on the module's own settings.
    QVERIFY(texts.size() > 2);
    QCOMPARE(texts.front(), QString::fromLatin1(FormatSerialSettings({57600, '7', 'N', '1'}).CStr()));
    QCOMPARE(texts.back(), QString::fromLatin1(FormatSerialSettings({19200, '8', 'E', '1'}).CStr()));
    QCOMPARE(texts.removeDuplicates(), 0);
    // Afterwards: windows gone, cursor back, the window takes input.
    QVERIFY(rig.Host().ProgressWindow(IDD_SCAN) == nullptr);
    QVERIFY(rig.Host().ProgressWindow(IDD_LOADING) == nullptr);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(rig.View()->isEnabled());

    // The restart wait after an initialisation sleeps on the program's clock.
    rig.clock.ResetSlept();
    rig.Host().Sleep(1200);
    QCOMPARE(rig.clock.Slept(), std::chrono::microseconds(1200000));
}

void WorkflowHostTest::messagesAndDialogsAreRealModalWindows() {
    Rig rig;
    rig.Host().messageAnswerer = nullptr;
    rig.Host().dialogAnswerer = nullptr;
    QWidget* frame = rig.Frame();

    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        owner = box->parentWidget();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    rig.Host().ShowMessage(IDS_BAD_ADDRESS);
    QCOMPARE(title, QStringLiteral("Tarnik設定ユーティリティ"));
    QCOMPARE(text, LoadKvString(IDS_BAD_ADDRESS));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(owner, frame);

    // A confirmation by its number: the dialog of that number, over the main window;
    // the Escape key answers Cancel.
    QString name;
    OnNextModal([&](QWidget* modal) {
        name = modal->objectName();
        owner = modal->parentWidget();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QCOMPARE(rig.Host().RunDialog(IDD_SET_CONFIRM), IDCANCEL);
    QCOMPARE(name, QStringLiteral("IDD_%1").arg(IDD_SET_CONFIRM));
    QCOMPARE(owner, frame);
}

void WorkflowHostTest::clickQueuedDuringWorkflowDoesNotFireAfterwards() {
    Rig rig;
    rig.View()->OnScan();
    auto* set = rig.Control<QPushButton>("IDC_SET");
    QVERIFY(set->isEnabled());

    // Outside a workflow a queued click and a queued space key do reach 設定
    // (which asks for confirmation; answered with Cancel).
    rig.answer = [](int) { return IDCANCEL; };
    PostClick(set);
    QCoreApplication::processEvents();
    PostSpaceKey(set);
    set->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(rig.dialogs, (std::vector<int>{IDD_SET_CONFIRM, IDD_SET_CONFIRM}));

    // The same input made while a scan and the read after it block the thread:
    // nothing of it acts once they are over.
    rig.dialogs.clear();
    rig.answer = nullptr;
    int posted = 0;
    rig.Host().progressPainted = [&](int id, QDialog*) {
        if (id == IDD_SCAN && posted == 0) {
            PostClick(set);
            ++posted;
        } else if (id == IDD_LOADING) {
            PostClick(set);
            PostSpaceKey(set);
            ++posted;
        }
    };
    const int writesBefore = rig.Requests("+SAD:");
    QTest::mouseClick(rig.Control<QPushButton>("IDC_SCAN"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(rig.dialogs.empty());
    QCOMPARE(rig.Requests("+SAD:"), writesBefore);
    QCOMPARE(posted, 2);
    QVERIFY(!WorkflowInputBlocker::Active());
}

void WorkflowHostTest::inputDuringWorkflowReachesOnlyItsModalDialogs() {
    Rig rig;
    rig.View()->OnScan();
    auto* set = rig.Control<QPushButton>("IDC_SET");
    QSignalSpy clicks(set, &QPushButton::clicked);
    {
        WorkflowInputBlocker blocker;
        QVERIFY(WorkflowInputBlocker::Active());
        QTest::mouseClick(set, Qt::LeftButton);
        QCOMPARE(clicks.count(), 0);

        // A dialog the workflow opens takes clicks and keys, its lists' pop-ups included.
        bool listOpened = false;
        bool listTookKey = false;
        OnNextModal([&](QWidget* modal) {
            QTest::mouseClick(set, Qt::LeftButton);  // still nothing for the window behind
            if (auto* list = modal->findChild<QComboBox*>()) {
                list->showPopup();
                listOpened = list->view()->isVisible();
                const int before = list->view()->currentIndex().row();
                QTest::keyClick(list->view(), before == 0 ? Qt::Key_Down : Qt::Key_Up);
                listTookKey = list->view()->currentIndex().row() != before;
                list->hidePopup();
            }
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("button1")), Qt::LeftButton);
        });
        QCOMPARE(rig.View()->EscapeDialog()->DoModal(), IDOK);
        QVERIFY(listOpened);
        QVERIFY(listTookKey);
        QCOMPARE(clicks.count(), 0);
    }
    QVERIFY(!WorkflowInputBlocker::Active());
    QVERIFY(rig.dialogs.empty());
    QTest::mouseClick(set, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
}

void WorkflowHostTest::guardAtEventLoopReportsAndCarriesOn() {
    auto* app = qobject_cast<CVelmoraApp*>(QCoreApplication::instance());
    QVERIFY(app != nullptr);
    const int before = app->UnhandledFailures();

    Thrower thrower;
    const std::vector<std::function<void()>> failures = {
        [] { throw KvConduitReadException(); },
        [] { throw KvNAKParameterException(KvString("*NAK:03\r\n")); },
        [] { throw KvStringFormatException(KvString("XXXXXXXXX")); },
    };
    for (const auto& failure : failures) {
        QString shown;
        OnNextModal([&shown](QWidget* modal) {
            shown = modal->objectName();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        thrower.toThrow = failure;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(shown, QStringLiteral("IDD_%1").arg(IDD_COMM_ERROR));
    }
    QCOMPARE(app->UnhandledFailures(), before + 3);

    // Events go on being delivered afterwards.
    bool delivered = false;
    QTimer::singleShot(0, [&delivered] { delivered = true; });
    QTRY_VERIFY(delivered);
}

void WorkflowHostTest::openErrorShowsThePortAndReasonUnderItsText() {
    Rig rig;
    rig.Host().dialogAnswerer = nullptr;
    const QString expected =
        QStringLiteral("/dev/no-such-tarnik-port: ") + QString::fromLocal8Bit(std::strerror(ENOENT));
    QString reason, headline;
    int reasonTop = -1, groupBottom = 0;
    QStringList texts;
    OnNextModal([&](QWidget* modal) {
        if (auto* line = modal->findChild<QLabel*>(QStringLiteral("IDC_OPEN_REASON"))) {
            reason = line->text();
            reasonTop = line->mapTo(modal, QPoint(0, 0)).y();
        }
        for (QGroupBox* box : modal->findChildren<QGroupBox*>()) {
            groupBottom = std::max(groupBottom, box->geometry().bottom());
            texts << box->title();
        }
        for (QLabel* label : modal->findChildren<QLabel*>()) texts << label->text();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    rig.Doc().SetPortName("/dev/no-such-tarnik-port");
    QVERIFY(!rig.Doc().Scan());
    QCOMPARE(reason, expected);
    QVERIFY2(reasonTop > groupBottom, "the reason stands under the dialog's own text");
    // The documented text is all there besides it.
    const std::vector<const char*> documented = KvDialogLines(IDD_OPEN_ERROR);
    for (const char* line : documented) QVERIFY2(texts.contains(QString::fromUtf8(line)), line);
    QCOMPARE(rig.Host().lastOpenFailureLine, expected);

    // A port error that is no refusal to open has no such line.
    rig.Host().dialogAnswerer = [](int) { return IDOK; };
    rig.Host().RunDialog(IDD_OPEN_ERROR);
    QVERIFY(rig.Host().lastOpenFailureLine.isEmpty());
}

void WorkflowHostTest::portListDescribesTheDevicesFound() {
    // The main window's list: named ports, described when the list is opened,
    // the closed box and the document still given the name alone.
    Rig rig;
    auto* list = rig.Control<QComboBox>("IDC_COM_PORT");
    list->showPopup();
    list->hidePopup();
    QCOMPARE(list->itemData(0).toString(), QStringLiteral("COM1"));
    QCOMPARE(list->itemData(19).toString(), QStringLiteral("COM20"));
    for (const KvPortInfo& port : KvDiscoverSerialPorts()) {
        // A built-in port stands under its COM name on Linux.
        int index = -1;
        for (int i = 0; i < list->count() && index < 0; ++i) {
            if (KvSamePort(list->itemData(i).toString().toStdString(), port.name)) index = i;
        }
        QVERIFY(index >= 0);
        const QString description = QString::fromStdString(KvDescribePort(port));
        if (!description.isEmpty()) QVERIFY(list->itemText(index).endsWith(description));
    }

    // その他... asks for a name; the closed box shows the typed path's last part.
    OnNextModal([](QWidget* prompt) {
        prompt->findChild<QLineEdit*>()->setText(QStringLiteral("/tmp/tarnik"));
        QMetaObject::invokeMethod(prompt, "accept");
    });
    list->setCurrentIndex(list->count() - 1);
    emit list->activated(list->count() - 1);
    QCOMPARE(rig.View()->Form().SelectedPortName(), std::string("/tmp/tarnik"));
    QCOMPARE(list->currentData(Qt::UserRole + 1).toString(), QStringLiteral("tarnik"));
    QCOMPARE(list->toolTip(), QStringLiteral("/tmp/tarnik"));
}

int main(int argc, char** argv) {
    CVelmoraApp app(argc, argv);
    WorkflowHostTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "workflowhost_test.moc"
