#include "QtWorkflowHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <thread>

#include "CVelmoraView.h"
#include "Dialogs.h"
#include "ResourceIds.h"
#include "StringTable.h"

QtWorkflowHost::QtWorkflowHost(KvClock& clock) : clock_(clock) {}

QtWorkflowHost::~QtWorkflowHost()
{
    for (auto& [id, window] : progress_) delete window.data();
    while (waitCursors_ > 0) EndWaitCursor();
}

void QtWorkflowHost::AddView(CVelmoraView* view)
{
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void QtWorkflowHost::RemoveView(CVelmoraView* view)
{
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

int QtWorkflowHost::RunDialog(int dialogId)
{
    QString detail;
    if (dialogId == IDD_OPEN_ERROR) {
        detail = pendingOpenFailure_;
        lastOpenFailureLine = detail;
    }
    pendingOpenFailure_.clear();
    if (dialogAnswerer) return dialogAnswerer(dialogId);
    return RunModalDialog(dialogId, mainWindow_, detail);
}

void QtWorkflowHost::ReportOpenFailure(const KvPortOpenFailure& failure)
{
    pendingOpenFailure_ = QString::fromUtf8(failure.Summary().CStr());
}

void QtWorkflowHost::ShowMessage(int stringId)
{
    if (messageAnswerer) {
        messageAnswerer(stringId);
        return;
    }
    QMessageBox box(QMessageBox::Warning, LoadKvString(AFX_IDS_APP_TITLE), LoadKvString(stringId),
                    QMessageBox::Ok, mainWindow_);
    box.setObjectName(QStringLiteral("IDS_%1").arg(stringId));
    box.exec();
}

void QtWorkflowHost::CreateProgress(int dialogId)
{
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

void QtWorkflowHost::SetProgressText(int dialogId, const KvString& text)
{
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
}

void QtWorkflowHost::DestroyProgress(int dialogId)
{
    auto it = progress_.find(dialogId);
    if (it == progress_.end()) return;
    QPointer<QDialog> window = it->second;
    progress_.erase(it);
    if (window) {
        window->hide();
        delete window.data();
    }
}

QDialog* QtWorkflowHost::ProgressWindow(int dialogId) const
{
    auto it = progress_.find(dialogId);
    return it == progress_.end() ? nullptr : it->second.data();
}

void QtWorkflowHost::BeginWaitCursor()
{
    ++waitCursors_;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtWorkflowHost::EndWaitCursor()
{
    if (waitCursors_ == 0) return;
    --waitCursors_;
    QGuiApplication::restoreOverrideCursor();
}

void QtWorkflowHost::UpdateAllViews()
{
    const std::vector<CVelmoraView*> views = views_;
    for (CVelmoraView* view : views) view->RefreshFromDocument();
}

void QtWorkflowHost::Sleep(unsigned milliseconds)
{
    clock_.SleepFor(std::chrono::milliseconds(milliseconds));
}

void ShowAndPaintNow(QWidget* window, int timeoutMs)
{
    window->show();
    const QDeadlineTimer deadline(timeoutMs);
    auto exposed = [window] { return window->windowHandle() != nullptr && window->windowHandle()->isExposed(); };
    while (!exposed() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!exposed()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    window->repaint();
}

// ---------------------------------------------------------------------------
// Input while a workflow blocks

namespace {

bool IsUserInput(QEvent::Type type)
{
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
    case QEvent::TabletMove:
        return true;
    default:
        return false;
    }
}

constexpr QEvent::Type kDiscardedPostedInput[] = {
    QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick, QEvent::MouseMove,
    QEvent::Wheel,            QEvent::KeyPress,           QEvent::KeyRelease,          QEvent::ShortcutOverride,
    QEvent::Shortcut,         QEvent::ContextMenu,        QEvent::TouchBegin,          QEvent::TouchUpdate,
    QEvent::TouchEnd,         QEvent::TabletPress,        QEvent::TabletRelease,       QEvent::TabletMove,
};

// Does the event's receiver lie inside `top` (the modal dialog), pop-ups of its
// lists included?
bool BelongsTo(QObject* receiver, QWidget* top)
{
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
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!IsUserInput(event->type())) return false;
        if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && BelongsTo(receiver, modal))
            return false;
        return true;
    }
};

int g_blockers = 0;
InputSwallower* g_swallower = nullptr;

}  // namespace

WorkflowInputBlocker::WorkflowInputBlocker()
{
    if (g_blockers++ == 0 && QCoreApplication::instance() != nullptr) {
        g_swallower = new InputSwallower;
        QCoreApplication::instance()->installEventFilter(g_swallower);
    }
}

WorkflowInputBlocker::~WorkflowInputBlocker()
{
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

bool WorkflowInputBlocker::Active()
{
    return g_blockers > 0;
}
