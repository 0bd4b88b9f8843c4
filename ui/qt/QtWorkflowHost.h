#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "KvClock.h"
#include "WorkflowHost.h"

class QDialog;
class CVelmoraView;

// The workflows' window on the user, made of Qt widgets: modal dialogs by number,
// message boxes, the progress windows that stay on screen while the thread blocks
// on the line, the wait cursor, the views' refresh and the blocking sleep.
class QtWorkflowHost final : public WorkflowHost {
public:
    explicit QtWorkflowHost(KvClock& clock = SteadyClock());
    ~QtWorkflowHost() override;
    QtWorkflowHost(const QtWorkflowHost&) = delete;
    QtWorkflowHost& operator=(const QtWorkflowHost&) = delete;

    // The owner of every dialog and progress window.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }
    QWidget* MainWindow() const { return mainWindow_; }
    void AddView(CVelmoraView* view);
    void RemoveView(CVelmoraView* view);

    int RunDialog(int dialogId) override;
    void ReportOpenFailure(const KvPortOpenFailure& failure) override;
    void ReportDeviceGone(const KvPortFailure& failure) override;
    void ReportChanges(const std::string& line) override;
    void ShowMessage(int stringId) override;
    void CreateProgress(int dialogId) override;
    void SetProgressText(int dialogId, const KvString& text) override;
    void DestroyProgress(int dialogId) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void UpdateAllViews() override;
    void Sleep(unsigned milliseconds) override;

    // A message box like ShowMessage's, with a text of the program's own (why a
    // profile could not be opened or saved).
    void ShowText(const QString& text);
    // The file dialog of a profile (`save`: 名前を付けて保存..., else 開く...),
    // offering "*.json", starting in the folder of `current` when not empty
    // (the save dialog with its name): the chosen file, or nothing when cancelled.
    std::optional<QString> AskProfileFile(bool save, const QString& current);

    // The extra line of the last port-error dialog: the port and the system's
    // reason; empty when none was told.
    QString lastOpenFailureLine;

    // The progress window of that number while its workflow runs, else null.
    QDialog* ProgressWindow(int dialogId) const;

    // Seams for the tests and the screenshot run. When set, dialogAnswerer answers a
    // modal dialog instead of showing it, messageAnswerer takes a message instead of a
    // message box, and progressPainted sees every progress window right after it was painted.
    std::function<int(int dialogId)> dialogAnswerer;
    std::function<void(int stringId)> messageAnswerer;
    // textAnswerer takes ShowText's text instead of a box; fileAnswerer answers a
    // profile's file dialog (`save` as AskProfileFile's) instead of showing it.
    std::function<void(const QString& text)> textAnswerer;
    std::function<std::optional<QString>(bool save)> fileAnswerer;
    std::function<void(int dialogId, QDialog* window)> progressPainted;

private:
    KvClock& clock_;
    QPointer<QWidget> mainWindow_;
    std::vector<CVelmoraView*> views_;
    std::map<int, QPointer<QDialog>> progress_;
    int waitCursors_ = 0;
    QString pendingOpenFailure_;  // told for the next failure dialog (136; 137 and 139 when the device went away)
};

// Brings a just-shown window onto the screen while the thread is about to block:
// processes pending events (user input excluded) until the window system has
// exposed it, at most `timeoutMs`, then paints it at once.
void ShowAndPaintNow(QWidget* window, int timeoutMs = 2000);

// Held by every handler that runs a workflow. While one is held, user input goes
// only to a modal dialog (or its pop-ups) opened meanwhile; everything else is
// swallowed. When the last one is released, the input that queued up during the
// workflow is thrown away, so a click on 設定 made during a scan does not start a
// write when the scan has ended.
class WorkflowInputBlocker {
public:
    WorkflowInputBlocker();
    ~WorkflowInputBlocker();
    WorkflowInputBlocker(const WorkflowInputBlocker&) = delete;
    WorkflowInputBlocker& operator=(const WorkflowInputBlocker&) = delete;

    static bool Active();
};
