#include "CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include <functional>
#include <map>

#include "CVelmoraView.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "StringTable.h"
#include "Texts.h"

namespace {

// Resource bundle 128: window title and application name, the name of a new
// document, then empty file filter and extension, the registry name and the
// document type's long name.
const char kDocTemplate[] = "Tarnik設定ユーティリティ\n\nVelmo\n\n\nVelmora.Document\nVelmo Document";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString CMainFrame::TemplateTitle() { return Text(kDocTemplate).section(QLatin1Char('\n'), 0, 0); }

CMainFrame::CMainFrame(CVelmoraDoc& document, QtWorkflowHost& host)
    // Caption, system menu and minimise box; the system menu's Close needs the
    // close hint as well, or the window system offers no way to close the window.
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      host_(host) {
    setObjectName(QStringLiteral("IDR_MAINFRAME"));
    setWindowTitle(TemplateTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);
    view_ = new CVelmoraView(document, host, this);
    setCentralWidget(view_);
    CreateMenus();
    OnUpdateDeviceCommand();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(QMenu* menu, const char* text, int commandId, const char* shortcutLabel) {
    QString label = Text(text);
    // The keys of the profile commands work; the framework's other accelerators
    // are shown as labels only, as their commands are grey.
    const bool working = commandId == ID_FILE_OPEN_ || commandId == ID_FILE_SAVE_;
    if (shortcutLabel != nullptr && !working) label += QLatin1Char('\t') + QString::fromLatin1(shortcutLabel);
    QAction* action = menu->addAction(label);
    if (shortcutLabel != nullptr && working)
        action->setShortcut(QKeySequence(QString::fromLatin1(shortcutLabel), QKeySequence::PortableText));
    action->setObjectName(QStringLiteral("ID_%1").arg(commandId));
    action->setData(commandId);
    const QString description = LoadKvString(commandId);
    if (!description.isEmpty()) action->setStatusTip(description);
    commands_[commandId] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    // The menu bar of resource 128 as the text table gives it; each command with
    // a handler is connected to it, the others stay without one.
    const std::map<int, std::function<void()>> handlers = {
        {ID_APP_EXIT, [this] { close(); }},
        {ID_APP_ABOUT, [this] { OnAbout(); }},
        {ID_TOOLS_INITIALIZE, [this] { view_->OnInitializeDevice(); }},
        {ID_MODE_TRANSPARENT_MASTER, [this] { view_->OnTransparentMaster(); }},
        {ID_MODE_TRANSPARENT_SLAVE, [this] { view_->OnTransparentSlave(); }},
        {ID_MODE_CANCEL_TRANSPARENT, [this] { view_->OnCancelTransparent(); }},
        {ID_MODE_ESCAPE_TRANSPARENT, [this] { view_->OnEscapeTransparent(); }},
        {ID_FILE_OPEN_, [this] { view_->OnFileOpen(); }},
        {ID_FILE_SAVE_, [this] { view_->OnFileSave(); }},
        {ID_FILE_SAVE_AS_, [this] { view_->OnFileSaveAs(); }},
    };
    // Object names of the menus of the bar, left to right, and of the sub-menu.
    const char* const barNames[] = {"fileMenu", "editMenu", "toolsMenu", "helpMenu"};
    std::size_t barIndex = 0;
    QMenu* menus[3] = {};  // the open menu at each level
    for (const KvMenuEntry& e : KvMenuBar()) {
        QMenu* parent = e.level > 0 ? menus[e.level - 1] : nullptr;
        if (e.command == 0 && e.text == nullptr) {
            parent->addSeparator();
        } else if (e.command == 0) {
            QMenu* menu = e.level == 0 ? menuBar()->addMenu(Text(e.text)) : parent->addMenu(Text(e.text));
            if (e.level == 0) {
                menu->setObjectName(QString::fromLatin1(barIndex < 4 ? barNames[barIndex] : "menu"));
                ++barIndex;
            } else {
                menu->setObjectName(QStringLiteral("modeMenu"));
                modeMenu_ = menu;
            }
            if (menu->objectName() == QLatin1String("toolsMenu")) toolsMenu_ = menu;
            menus[e.level] = menu;
        } else {
            QAction* action = AddCommand(parent, e.text, e.command, e.shortcut);
            if (auto it = handlers.find(e.command); it != handlers.end())
                connect(action, &QAction::triggered, this, it->second);
        }
    }
    connect(toolsMenu_, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateDeviceCommand);
    if (auto* fileMenu = findChild<QMenu*>(QStringLiteral("fileMenu")))
        connect(fileMenu, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateDeviceCommand);
    // The keys Ctrl+O and Ctrl+S work only while their commands are enabled.
    connect(view_, &CVelmoraView::refreshed, this, &CMainFrame::OnUpdateDeviceCommand);
    connect(modeMenu_, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateDeviceCommand);
}

QAction* CMainFrame::CommandAction(int commandId) const {
    auto it = commands_.find(commandId);
    return it == commands_.end() ? nullptr : it->second;
}

void CMainFrame::OnUpdateDeviceCommand() {
    // Every command of the menu bar, by the form's rule: the device and profile
    // commands with a device, the framework's others never, the rest always.
    for (const auto& [id, action] : commands_) view_->OnUpdateDeviceCommand(action);
}

void CMainFrame::OnAbout() { host_.RunDialog(IDD_ABOUTBOX); }

void CMainFrame::AddDemoMenu(std::function<void()> powerCycle) {
    QMenu* demo = menuBar()->addMenu(Text(KvDemoMenu().title));
    demo->setObjectName(QStringLiteral("demoMenu"));
    QAction* action = demo->addAction(Text(KvDemoMenu().powerCycle));
    action->setObjectName(QStringLiteral("demoPowerCycle"));
    connect(action, &QAction::triggered, this, [powerCycle = std::move(powerCycle)] { powerCycle(); });
    // The window keeps fitting the form exactly, menu bar included.
    if (layout() != nullptr) layout()->activate();
    setFixedSize(sizeHint());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Closing asks nothing and sends nothing; only while a workflow holds the
    // thread (a close request handled from inside its waits) is it put off.
    if (WorkflowInputBlocker::Active())
        event->ignore();
    else
        event->accept();
}

bool CMainFrame::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        emit firstPainted();
    }
    return handled;
}
