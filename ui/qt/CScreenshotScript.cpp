#include "CScreenshotScript.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <memory>

#include <cstdio>

#include "CDemoModule.h"
#include "CMainFrame.h"
#include "CVelmoraDoc.h"
#include "CVelmoraDocTemplate.h"
#include "CVelmoraView.h"
#include "Dialogs.h"
#include "FormLists.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"

CScreenshotScript::CScreenshotScript(CVelmoraDocTemplate& docTemplate, CDemoModule* demo, QString folder)
    : template_(docTemplate), demo_(demo), folder_(std::move(folder)) {}

void CScreenshotScript::Save(QWidget* widget, const QString& name) {
    if (widget == nullptr) return;
    const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
    // A window that a window manager decorates is taken from the screen with its
    // title bar and frame, as a user sees it; anything else is drawn on its own.
    QPixmap picture;
    const QRect frame = widget->windowHandle() != nullptr ? widget->windowHandle()->frameGeometry() : QRect();
    if (widget->isWindow() && frame.isValid() && frame != widget->geometry() && widget->screen() != nullptr)
        picture = widget->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull()) picture = widget->grab();
    if (picture.save(path)) {
        saved_.insert(name);
        std::printf("saved %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    }
    std::fflush(stdout);
}

void CScreenshotScript::Pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void CScreenshotScript::CaptureNextModal(const QString& name) {
    // Polls until the dialog is on screen, gives it a moment to paint, saves it.
    auto* poll = new QTimer(this);
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, poll, [this, poll, name, tries = 100]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal != nullptr && modal->windowHandle() != nullptr && modal->windowHandle()->isExposed();
        if (!ready && --tries > 0) return;
        poll->stop();
        poll->deleteLater();
        if (modal == nullptr) return;
        QTimer::singleShot(150, this, [this, name, modal = QPointer<QWidget>(modal)] {
            if (!modal) return;
            Save(modal, name);
            if (auto* dialog = qobject_cast<QDialog*>(modal.data()))
                dialog->reject();
            else
                modal->close();
        });
    });
    poll->start();
}

void CScreenshotScript::SaveMenus(CMainFrame* frame, CVelmoraView* view) {
    for (const char* name : {"fileMenu", "editMenu", "toolsMenu", "modeMenu", "helpMenu"}) {
        if (QMenu* menu = frame->findChild<QMenu*>(QString::fromLatin1(name))) {
            if (menu == frame->ToolsMenu() || QString::fromLatin1(name) == QLatin1String("modeMenu"))
                frame->OnUpdateDeviceCommand();
            menu->popup(frame->mapToGlobal(QPoint(40, 20)));
            Pause(300);
            Save(menu, QStringLiteral("menu_") + QString::fromLatin1(name).chopped(4));
            menu->hide();
        }
    }
    // The address box's own context menu: the toolkit's texts.
    if (auto* address = view->findChild<QLineEdit*>(QStringLiteral("IDC_ADDRESS"))) {
        std::unique_ptr<QMenu> menu(address->createStandardContextMenu());
        menu->popup(address->mapToGlobal(QPoint(address->width() / 2, address->height() / 2)));
        Pause(300);
        Save(menu.get(), QStringLiteral("menu_context"));
        menu->hide();
    }
}

void CScreenshotScript::SavePortBox(CMainFrame* frame, CVelmoraView* view) {
    auto* list = view->findChild<QComboBox*>(QStringLiteral("IDC_COM_PORT"));
    if (list == nullptr || frame->screen() == nullptr) return;
    list->showPopup();  // reads the devices present again, as a click does
    Pause(300);
    QRect area = frame->windowHandle() != nullptr ? frame->windowHandle()->frameGeometry() : frame->geometry();
    if (list->view() != nullptr) area = area.united(list->view()->window()->frameGeometry());
    const QString path = QDir(folder_).filePath(QStringLiteral("port_list_open.png"));
    if (frame->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path))
        std::printf("saved %s\n", qPrintable(path));
    list->hidePopup();
    const int adapter = list->findText(QStringLiteral("/dev/ttyUSB1"), Qt::MatchStartsWith);
    if (adapter >= 0) list->setCurrentIndex(adapter);
    Pause(200);
    Save(frame, QStringLiteral("port_list_closed"));
    CaptureNextModal(QStringLiteral("port_typed"));
    const int other = list->count() - 1;
    list->setCurrentIndex(other);
    emit list->activated(other);
    list->setCurrentIndex(0);
    Pause(200);
}

// The profiles' file dialogs in a folder holding two profiles the form saved,
// and the message box of a profile that fails the checks.
void CScreenshotScript::SaveProfileDialogs(CVelmoraView* view, QtWorkflowHost& host) {
    QTemporaryDir profiles;
    const QString first = profiles.filePath(QStringLiteral("一号機.json"));
    view->Form().SaveProfile(first.toStdString());
    view->Form().SaveProfile(profiles.filePath(QStringLiteral("二号機.json")).toStdString());
    CaptureNextModal(QStringLiteral("dialog_file_open"));
    host.AskProfileFile(false, first);
    CaptureNextModal(QStringLiteral("dialog_file_save"));
    host.AskProfileFile(true, first);
    const QString bad = profiles.filePath(QStringLiteral("三号機.json"));
    QFile badFile(bad);
    if (badFile.open(QIODevice::WriteOnly)) badFile.write("{\"format\": 1, \"address\": 10000}\n");
    badFile.close();
    CaptureNextModal(QStringLiteral("message_profile"));
    view->Form().OpenProfile(bad.toStdString());
}

void CScreenshotScript::Run() {
    QDir().mkpath(folder_);
    if (demo_ == nullptr) {
        std::fprintf(stderr, "--screenshot-script needs --demo\n");
        QApplication::exit(2);
        return;
    }
    CMainFrame* frame = template_.Frame();
    CVelmoraView* view = template_.View();
    QtWorkflowHost& host = template_.Host();
    CVelmoraDoc& doc = *template_.Document();

    Pause(300);
    Save(frame, QStringLiteral("main_start"));
    SavePortBox(frame, view);

    // Progress windows as the workflows show them.
    host.progressPainted = [this](int dialogId, QDialog* window) {
        if (dialogId == IDD_SCAN) {
            if (++scanLines_ == 16) Save(window, QStringLiteral("scan"));
        } else if (dialogId == IDD_LOADING && !saved_.count(QStringLiteral("loading"))) {
            Save(window, QStringLiteral("loading"));
        } else if (dialogId == IDD_SETTING && !saved_.count(QStringLiteral("setting"))) {
            Save(window, QStringLiteral("setting"));
        }
    };

    view->OnScan();
    Pause(300);
    Save(frame, QStringLiteral("main"));

    SaveMenus(frame, view);

    // Every modal dialog, closed with Cancel once saved.
    for (int id :
         {IDD_ABOUTBOX, IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_SET_CONFIRM, IDD_SET_ERROR, IDD_SET_DONE, IDD_INIT_CONFIRM,
          IDD_MASTER_MODE, IDD_SLAVE_MODE, IDD_STANDARD_MODE, IDD_ESCAPE_DONE, IDD_ESCAPE_FAILED}) {
        CaptureNextModal(QStringLiteral("dialog_%1").arg(id));
        QString detail;
        if (id == IDD_SET_CONFIRM) {
            // The line a write of a new address and channel would show.
            DeviceSettings changed = doc.settings;
            changed.address = 25;
            changed.frequencyIndex = 10;
            detail = QString::fromStdString(DescribeChanges(doc.settings, changed, doc.pinFunctionsFixed));
        }
        RunModalDialog(id, frame, detail);
    }
    CaptureNextModal(QStringLiteral("dialog_%1").arg(IDD_ESCAPE));
    view->EscapeDialog()->DoModal();
    for (int id : {IDS_BAD_ADDRESS, IDS_DEVICE_NOT_FOUND}) {
        CaptureNextModal(QStringLiteral("message_%1").arg(id));
        host.ShowMessage(id);
    }

    SaveProfileDialogs(view, host);

    // The progress windows no workflow of this run shows.
    for (int id : {IDD_INITIALIZING, IDD_ESCAPING}) {
        host.CreateProgress(id);
        Save(host.ProgressWindow(id), QStringLiteral("dialog_%1").arg(id));
        host.DestroyProgress(id);
    }

    // A write (its progress window), then transparent master: the red notes.
    host.dialogAnswerer = [](int dialogId) { return dialogId == IDD_SET_DONE ? IDCANCEL : IDOK; };
    view->OnSet();
    Pause(200);
    Save(frame, QStringLiteral("main_after_set"));
    view->OnTransparentMaster();
    Pause(200);
    Save(frame, QStringLiteral("main_master"));
    host.dialogAnswerer = nullptr;
    host.progressPainted = nullptr;

    QApplication::quit();
}
