#pragma once
#include <QObject>
#include <QString>

#include <set>

class CDemoModule;
class CMainFrame;
class CVelmoraView;
class CVelmoraDocTemplate;
class QtWorkflowHost;
class QWidget;

// Drives the running program through a scan, a read, a write and a mode change
// against the demo module and saves pictures of the main window, the menus and
// every dialog into a folder, then quits. Used by scripts/screenshots.sh.
class CScreenshotScript final : public QObject {
    Q_OBJECT
public:
    CScreenshotScript(CVelmoraDocTemplate& docTemplate, CDemoModule* demo, QString folder);

public slots:
    void Run();

private:
    void Save(QWidget* widget, const QString& name);
    // Saves the next modal dialog that opens under `name`, then closes it with Cancel.
    void CaptureNextModal(const QString& name);
    void Pause(int milliseconds);
    // The menu bar's menus and the address box's context menu, each opened and saved.
    void SaveMenus(CMainFrame* frame, CVelmoraView* view);
    // The port box open on the devices found and closed on the second adapter,
    // then その他... with its input dialog.
    void SavePortBox(CMainFrame* frame, CVelmoraView* view);
    void SaveProfileDialogs(CVelmoraView* view, QtWorkflowHost& host);

    CVelmoraDocTemplate& template_;
    CDemoModule* demo_;
    QString folder_;
    std::set<QString> saved_;
    int scanLines_ = 0;
};
