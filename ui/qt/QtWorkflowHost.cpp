#include "QtWorkflowHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>

#include "CVelmoraView.h"
#include "DialogLayout.h"
#include "Dialogs.h"
#include "PortFailureLine.h"
#include "ResourceIds.h"
#include "StringTable.h"

QtWorkflowHost::QtWorkflowHost(KvClock& clock) : clock_(clock) {}

QtWorkflowHost::~QtWorkflowHost() {
    for (auto& [id, window] : progress_) delete window.data();
    while (waitCursors_ > 0) EndWaitCursor();
}

void QtWorkflowHost::AddView(CVelmoraView* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void QtWorkflowHost::RemoveView(CVelmoraView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

int QtWorkflowHost::RunDialog(int dialogId) {
    QString detail;
    if (HasReasonLine(dialogId)) detail = pendingOpenFailure_;
    if (dialogId == IDD_OPEN_ERROR) lastOpenFailureLine = detail;
    pendingOpenFailure_.clear();
    if (dialogAnswerer) return dialogAnswerer(dialogId);
    return RunModalDialog(dialogId, mainWindow_, detail);
}

void QtWorkflowHost::ReportOpenFailure(const KvPortOpenFailure& failure) {
    pendingOpenFailure_ = QString::fromStdString(KvPortFailureLine(failure));
}

void QtWorkflowHost::ReportDeviceGone(const KvPortFailure& failure) {
    pendingOpenFailure_ = QString::fromStdString(KvPortFailureLine(failure));
}

void QtWorkflowHost::ReportChanges(const std::string& line) { pendingOpenFailure_ = QString::fromStdString(line); }

void QtWorkflowHost::ShowMessage(int stringId) {
    if (messageAnswerer) {
        messageAnswerer(stringId);
        return;
    }
    // Guarded: should the owner go away during the run, it takes the box with it.
    QPointer<QMessageBox> box = CreateMessageBox(stringId, mainWindow_);
    box->exec();
    delete box.data();
}

void QtWorkflowHost::ShowText(const QString& text) {
    if (textAnswerer) {
        textAnswerer(text);
        return;
    }
    QPointer<QMessageBox> box = CreateMessageBox(text, mainWindow_);
    box->exec();
    delete box.data();
}

std::optional<QString> QtWorkflowHost::AskProfileFile(bool save, const QString& current) {
    if (fileAnswerer) return fileAnswerer(save);
    // The texts of the File menu's items, without their access keys and dots.
    QFileDialog dialog(mainWindow_, QString::fromUtf8(save ? "名前を付けて保存" : "開く"));
    dialog.setObjectName(QStringLiteral("profileFileDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters({QString::fromUtf8("プロファイル (*.json)"), QString::fromUtf8("すべてのファイル (*)")});
    dialog.setDefaultSuffix(QStringLiteral("json"));
    // Both start in the current profile's folder; the save dialog with its name.
    if (!current.isEmpty()) {
        dialog.setDirectory(QFileInfo(current).absolutePath());
        if (save) dialog.selectFile(current);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtWorkflowHost::CreateProgress(int dialogId) {
    DestroyProgress(dialogId);
    QDialog* window = CreateProgressWindow(dialogId, mainWindow_);
    if (window == nullptr) return;
    progress_[dialogId] = window;
    // The search window's settings line is blank until the first candidate is set:
    // the layout's placeholder text never shows.
    if (auto* scan = dynamic_cast<CScanDlg*>(window)) scan->SetSettingsText(QString());
    ShowAndPaintNow(window);
    if (progressPainted) progressPainted(dialogId, window);
}

void QtWorkflowHost::SetProgressText(int dialogId, const KvString& text) {
    QDialog* window = ProgressWindow(dialogId);
    if (window == nullptr) return;
    const QString line = QString::fromLatin1(text.CStr());
    if (auto* scan = dynamic_cast<CScanDlg*>(window)) {
        scan->SetSettingsText(line);
    } else if (auto* label = window->findChild<QLabel*>(QStringLiteral("IDC_%1").arg(IDC_SCAN_SETTINGS))) {
        label->setText(line);
    }
    window->repaint();
    if (progressPainted) progressPainted(dialogId, window);
    // The search blocks the thread between candidates: let the window system's
    // requests through now, so that the main window and the search window are
    // redrawn where another window (or the search window itself, moved)
    // uncovered them, and paint at once what has been marked for painting
    // rather than at the toolkit's next frame, which comes only after the wait.
    // Input stays queued for the workflow's input blocker.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* top : windows) {
        if (!top->isVisible()) continue;
        QEvent paintPending(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(top, &paintPending);
    }
}

void QtWorkflowHost::DestroyProgress(int dialogId) {
    auto it = progress_.find(dialogId);
    if (it == progress_.end()) return;
    QPointer<QDialog> window = it->second;
    progress_.erase(it);
    if (window) {
        window->hide();
        delete window.data();
    }
}

QDialog* QtWorkflowHost::ProgressWindow(int dialogId) const {
    auto it = progress_.find(dialogId);
    return it == progress_.end() ? nullptr : it->second.data();
}

void QtWorkflowHost::BeginWaitCursor() {
    ++waitCursors_;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtWorkflowHost::EndWaitCursor() {
    if (waitCursors_ == 0) return;
    --waitCursors_;
    QGuiApplication::restoreOverrideCursor();
}

void QtWorkflowHost::UpdateAllViews() {
    const std::vector<CVelmoraView*> views = views_;
    for (CVelmoraView* view : views) view->RefreshFromDocument();
}

void QtWorkflowHost::Sleep(unsigned milliseconds) { clock_.SleepFor(std::chrono::milliseconds(milliseconds)); }

void ShowAndPaintNow(QWidget* window, int timeoutMs) {
    // Exposing a window paints it; only a window the window system has not
    // exposed (or not painted on exposing) in time is painted here.
    class PaintWatch final : public QObject {
    public:
        bool painted = false;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) painted = true;
            return QObject::eventFilter(watched, event);
        }
    };
    // Waits in an event loop of its own that ends on the window's exposure or
    // at the deadline, user input left queued.
    class ExposeWatch final : public QObject {
    public:
        explicit ExposeWatch(QEventLoop& loop) : loop_(loop) {}

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) loop_.quit();
            return QObject::eventFilter(watched, event);
        }

    private:
        QEventLoop& loop_;
    };
    PaintWatch watch;
    window->installEventFilter(&watch);
    window->show();
    auto exposed = [window] { return window->windowHandle() != nullptr && window->windowHandle()->isExposed(); };
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!exposed() && window->windowHandle() != nullptr) {
        QEventLoop loop;
        ExposeWatch expose(loop);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        window->windowHandle()->installEventFilter(&expose);
        deadline.start(timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        window->windowHandle()->removeEventFilter(&expose);
    }
    window->removeEventFilter(&watch);
    if (!watch.painted) window->repaint();
}

// ---------------------------------------------------------------------------
// Input while a workflow blocks

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove: return true;
    default: return false;
    }
}

constexpr QEvent::Type kDiscardedPostedInput[] = {
    QEvent::MouseButtonPress,
    QEvent::MouseButtonRelease,
    QEvent::MouseButtonDblClick,
    QEvent::MouseMove,
    QEvent::Wheel,
    QEvent::KeyPress,
    QEvent::KeyRelease,
    QEvent::ShortcutOverride,
    QEvent::Shortcut,
    QEvent::ContextMenu,
    QEvent::TouchBegin,
    QEvent::TouchUpdate,
    QEvent::TouchEnd,
    QEvent::TabletPress,
    QEvent::TabletRelease,
    QEvent::TabletMove,
};

// Does the event's receiver lie inside `top` (the modal dialog), pop-ups of its
// lists included?
bool BelongsTo(QObject* receiver, QWidget* top) {
    QWidget* widget = qobject_cast<QWidget*>(receiver);
    if (widget == nullptr) {
        if (auto* window = qobject_cast<QWindow*>(receiver)) {
            const QWidgetList tops = QApplication::topLevelWidgets();
            for (QWidget* candidate : tops) {
                if (candidate->windowHandle() == window) {
                    widget = candidate;
                    break;
                }
            }
        }
    }
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (widget == top) return true;
    }
    return false;
}

class InputSwallower final : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!IsUserInput(event->type())) return false;
        if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && BelongsTo(receiver, modal))
            return false;
        return true;
    }
};

int g_blockers = 0;
InputSwallower* g_swallower = nullptr;

}  // namespace

WorkflowInputBlocker::WorkflowInputBlocker() {
    if (g_blockers++ == 0 && QCoreApplication::instance() != nullptr) {
        g_swallower = new InputSwallower;
        QCoreApplication::instance()->installEventFilter(g_swallower);
    }
}

WorkflowInputBlocker::~WorkflowInputBlocker() {
    if (--g_blockers > 0 || g_swallower == nullptr) return;
    // Throw away what was posted meanwhile, then let the window system's queue
    // drain through the filter, which swallows the input it still holds.
    for (QEvent::Type type : kDiscardedPostedInput) QCoreApplication::removePostedEvents(nullptr, type);
    ++g_blockers;  // nothing started from here counts as a new workflow
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --g_blockers;
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(g_swallower);
    delete g_swallower;
    g_swallower = nullptr;
}

bool WorkflowInputBlocker::Active() { return g_blockers > 0; }
