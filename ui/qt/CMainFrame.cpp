#include "CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include "CVelmoraView.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "StringTable.h"

namespace {

// Resource bundle 128: window title and application name, the name of a new
// document, then empty file filter and extension, the registry name and the
// document type's long name.
const char kDocTemplate[] = "Tarnik設定ユーティリティ\n\nVelmo\n\n\nVelmora.Document\nVelmo Document";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString CMainFrame::TemplateTitle()
{
    return Text(kDocTemplate).section(QLatin1Char('\n'), 0, 0);
}

CMainFrame::CMainFrame(CVelmoraDoc& document, QtWorkflowHost& host)
    // Caption, system menu and minimise box; the system menu's Close needs the
    // close hint as well, or the window system offers no way to close the window.
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      host_(host)
{
    setObjectName(QStringLiteral("IDR_MAINFRAME"));
    setWindowTitle(TemplateTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);
    view_ = new CVelmoraView(document, host, this);
    setCentralWidget(view_);
    CreateMenus();
    OnUpdateDeviceCommand();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(QMenu* menu, const char* text, int commandId, const char* shortcutLabel)
{
    QString label = Text(text);
    // The framework's accelerators are shown as labels only: none of them has a
    // command behind it in this program.
    if (shortcutLabel != nullptr) label += QLatin1Char('\t') + QString::fromLatin1(shortcutLabel);
    QAction* action = menu->addAction(label);
    action->setObjectName(QStringLiteral("ID_%1").arg(commandId));
    action->setData(commandId);
    const QString description = LoadKvString(commandId);
    if (!description.isEmpty()) action->setStatusTip(description);
    commands_[commandId] = action;
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(Text("ファイル(&F)"));
    file->setObjectName(QStringLiteral("fileMenu"));
    AddCommand(file, "新規作成(&N)", ID_FILE_NEW_, "Ctrl+N");
    AddCommand(file, "開く(&O)...", ID_FILE_OPEN_, "Ctrl+O");
    AddCommand(file, "上書き保存(&S)", ID_FILE_SAVE_, "Ctrl+S");
    AddCommand(file, "名前を付けて保存(&A)...", ID_FILE_SAVE_AS_);
    file->addSeparator();
    AddCommand(file, "印刷(&P)...", ID_FILE_PRINT_, "Ctrl+P");
    AddCommand(file, "印刷ﾌﾟﾚﾋﾞｭｰ(&V)", ID_FILE_PRINT_PREVIEW_);
    AddCommand(file, "ﾌﾟﾘﾝﾀの設定(&R)...", ID_FILE_PRINT_SETUP_);
    file->addSeparator();
    // The recent-file list stays empty: the program opens no files.
    AddCommand(file, "最近使ったﾌｧｲﾙ", ID_FILE_MRU_FILE1);
    file->addSeparator();
    connect(AddCommand(file, "Tarnik設定ユーティリティの終了(&X)", ID_APP_EXIT), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = bar->addMenu(Text("編集(&E)"));
    edit->setObjectName(QStringLiteral("editMenu"));
    AddCommand(edit, "元に戻す(&U)", ID_EDIT_UNDO, "Ctrl+Z");
    edit->addSeparator();
    AddCommand(edit, "切り取り(&T)", ID_EDIT_CUT, "Ctrl+X");
    AddCommand(edit, "ｺﾋﾟｰ(&C)", ID_EDIT_COPY, "Ctrl+C");
    AddCommand(edit, "貼り付け(&P)", ID_EDIT_PASTE, "Ctrl+V");

    toolsMenu_ = bar->addMenu(Text("ツール(&T)"));
    toolsMenu_->setObjectName(QStringLiteral("toolsMenu"));
    connect(AddCommand(toolsMenu_, "初期化...", ID_TOOLS_INITIALIZE), &QAction::triggered, view_,
            &CVelmoraView::OnInitializeDevice);
    modeMenu_ = toolsMenu_->addMenu(Text("動作モード"));
    modeMenu_->setObjectName(QStringLiteral("modeMenu"));
    connect(AddCommand(modeMenu_, "透過モード（マスター）に設定...", ID_MODE_TRANSPARENT_MASTER), &QAction::triggered,
            view_, &CVelmoraView::OnTransparentMaster);
    connect(AddCommand(modeMenu_, "透過モード（スレーブ）に設定...", ID_MODE_TRANSPARENT_SLAVE), &QAction::triggered,
            view_, &CVelmoraView::OnTransparentSlave);
    connect(AddCommand(modeMenu_, "透過モード設定を取り消す...", ID_MODE_CANCEL_TRANSPARENT), &QAction::triggered,
            view_, &CVelmoraView::OnCancelTransparent);
    modeMenu_->addSeparator();
    connect(AddCommand(modeMenu_, "透過モード脱出", ID_MODE_ESCAPE_TRANSPARENT), &QAction::triggered, view_,
            &CVelmoraView::OnEscapeTransparent);
    connect(toolsMenu_, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateDeviceCommand);
    connect(modeMenu_, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateDeviceCommand);

    QMenu* help = bar->addMenu(Text("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    connect(AddCommand(help, "Tarnik設定ユーティリティのバージョン情報(&A)...", ID_APP_ABOUT), &QAction::triggered,
            this, &CMainFrame::OnAbout);
}

QAction* CMainFrame::CommandAction(int commandId) const
{
    auto it = commands_.find(commandId);
    return it == commands_.end() ? nullptr : it->second;
}

void CMainFrame::OnUpdateDeviceCommand()
{
    // Every command of the menu bar, by the form's rule: the framework's File and
    // Edit commands never, the device commands with a device, the rest always.
    for (const auto& [id, action] : commands_) view_->OnUpdateDeviceCommand(action);
}

void CMainFrame::OnAbout()
{
    host_.RunDialog(IDD_ABOUTBOX);
}

void CMainFrame::AddDemoMenu(std::function<void()> powerCycle)
{
    QMenu* demo = menuBar()->addMenu(Text("デモ"));
    demo->setObjectName(QStringLiteral("demoMenu"));
    QAction* action = demo->addAction(Text("モジュールの電源を入れ直す"));
    action->setObjectName(QStringLiteral("demoPowerCycle"));
    connect(action, &QAction::triggered, this, [powerCycle = std::move(powerCycle)] { powerCycle(); });
    // The window keeps fitting the form exactly, menu bar included.
    if (layout() != nullptr) layout()->activate();
    setFixedSize(sizeHint());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Closing asks nothing and sends nothing; only while a workflow holds the
    // thread (a close request handled from inside its waits) is it put off.
    if (WorkflowInputBlocker::Active())
        event->ignore();
    else
        event->accept();
}

bool CMainFrame::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        emit firstPainted();
    }
    return handled;
}
