#pragma once
#include <QMainWindow>

#include <functional>
#include <map>

class CVelmoraDoc;
class CVelmoraView;
class QtWorkflowHost;
class QAction;
class QMenu;

// The main window: caption, system menu and minimise box, a fixed size that fits
// the settings form, and the menu bar. It keeps no data of its own; the Tools
// and profile commands go to the settings window, which also decides their
// enabled state.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CVelmoraDoc& document, QtWorkflowHost& host);
    ~CMainFrame() override;

    CVelmoraView* View() const { return view_; }
    // The menu item of a command number (ID_...), or null.
    QAction* CommandAction(int commandId) const;
    QMenu* ToolsMenu() const { return toolsMenu_; }

    // Brings the enabled state of every menu command up to date; runs whenever
    // the File or the Tools menu (or its 動作モード sub-menu) is about to show and
    // after every refresh of the settings window.
    void OnUpdateDeviceCommand();
    void OnAbout();

    // Demo mode: a "デモ" menu whose item runs `powerCycle`.
    void AddDemoMenu(std::function<void()> powerCycle);

    // The title and application name: the first field of the document template.
    static QString TemplateTitle();

signals:
    void firstPainted();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, const char* text, int commandId, const char* shortcutLabel = nullptr);
    void CreateMenus();

    QtWorkflowHost& host_;
    CVelmoraView* view_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QMenu* modeMenu_ = nullptr;
    std::map<int, QAction*> commands_;
    bool painted_ = false;
};
