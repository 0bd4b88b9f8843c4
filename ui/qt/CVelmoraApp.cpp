#include "CVelmoraApp.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QIcon>
#include <QIconEngine>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "CDemoModule.h"
#include "CMainFrame.h"
#include "CScreenshotScript.h"
#include "CVelmoraDocTemplate.h"
#include "CVelmoraView.h"
#include "DialogUnits.h"
#include "Dialogs.h"
#include "KvExceptions.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "StepFailure.h"

namespace {

const char kUsage[] =
    "Usage: velmora [--demo]\n"
    "Tarnik radio module configuration utility (desktop).\n"
    "\n"
    "  --demo      start with a simulated module on COM1\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The window system's options (-platform, -display, -style, ...) are passed\n"
    "to the toolkit. See velmora(1).\n";

// The toolkit's own options and whether each takes a value.
struct ToolkitOption {
    const char* name;
    bool takesValue;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"display", true},         {"name", true},
    {"title", true},           {"geometry", true},
    {"style", true},           {"stylesheet", true},
    {"visual", true},          {"ncols", true},
    {"reverse", false},        {"widgetcount", false},
    {"nograb", false},         {"dograb", false},
    {"sync", false},           {"cmap", false},
    {"testability", false},
};

// A standard icon of the toolkit's style, read only when it is first drawn.
class DeferredStandardIcon final : public QIconEngine {
public:
    DeferredStandardIcon(QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DeferredStandardIcon(style_, which_); }

private:
    const QIcon& Icon() {
        if (!loaded_ && style_ != nullptr) icon_ = style_->standardIcon(which_);
        loaded_ = true;
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QIcon icon_;
    bool loaded_ = false;
};

// The toolkit's own style, except that the menu bar's extension button (shown
// only when the menus do not fit, which in this fixed window they always do)
// gets its icon when it is first drawn: reading it at once would load every
// image format the toolkit knows before the window first appears.
class ProgramStyle final : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton && option == nullptr)
            return QIcon(new DeferredStandardIcon(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

const ToolkitOption* FindToolkitOption(std::string_view name) {
    for (const ToolkitOption& option : kToolkitOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

}  // namespace

CommandLine CVelmoraApp::ParseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    auto fail = [&result](std::string message) {
        result.action = CommandLine::Action::Fail;
        result.error = std::move(message);
        return result;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
        auto value = [&](QString& into) {
            if (i + 1 >= argc) return false;
            into = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        if (arg == "-h" || arg == "--help" || arg == "-help") {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (arg == "--version") {
            result.action = CommandLine::Action::Version;
            return result;
        }
        if (arg == "--demo") {
            result.demo = true;
        } else if (arg == "--exit-after-first-paint") {
            result.exitAfterFirstPaint = true;
        } else if (arg == "--screenshot-script") {
            if (!value(result.screenshotDir)) return fail("option --screenshot-script needs a folder");
        } else if (arg == "--print-ports") {
            result.printPorts = true;
        } else if (arg == "--scan-benchmark") {
            if (!value(result.scanBenchmarkPort)) return fail("option --scan-benchmark needs a port");
        } else if (arg.size() > 1 && arg[0] == '-') {
            // The toolkit's options, written with one dash or two, "-style X" or "-style=X".
            std::string_view name = arg.substr(arg.size() > 2 && arg[1] == '-' ? 2 : 1);
            const std::size_t equals = name.find('=');
            const bool inlineValue = equals != std::string_view::npos;
            if (inlineValue) name = name.substr(0, equals);
            const ToolkitOption* option = FindToolkitOption(name);
            if (option == nullptr) return fail("unknown option " + std::string(arg));
            if (option->takesValue && !inlineValue) {
                if (i + 1 >= argc) return fail("option " + std::string(arg) + " needs a value");
                ++i;
            }
        } else {
            return fail("unexpected argument " + std::string(arg) + ": velmora opens no files");
        }
    }
    return result;
}

const char* CVelmoraApp::Usage() { return kUsage; }

CVelmoraApp::CVelmoraApp(int& argc, char** argv) : QApplication(argc, argv) {
    Q_INIT_RESOURCE(velmora);
    setStyle(new ProgramStyle);
    InstallToolkitTranslations();
}

void CVelmoraApp::InstallToolkitTranslations() {
    // Every text the user meets is Japanese, the toolkit's own ones too: the
    // edit's context menu, the buttons of standard dialogs. Without the
    // translation files they stay in English; the program works all the same.
    auto* translator = new QTranslator(this);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 applicationDirPath() + QStringLiteral("/translations")};
    for (const QString& folder : folders) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            installTranslator(translator);
            return;
        }
    }
    delete translator;
}

CVelmoraApp::~CVelmoraApp() {
    script_.reset();
    template_.reset();  // frame, view and document go before the demo module
    demo_.reset();
}

bool CVelmoraApp::InitInstance(const CommandLine& options) {
    // The toolkit's own look serves for the dialog controls. The per-user settings
    // area gets its name, but nothing of the program is ever stored there.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setFont(DialogFont());

    if (options.demo) demo_ = std::make_unique<CDemoModule>();

    template_ = std::make_unique<CVelmoraDocTemplate>();
    if (!template_->OpenDocumentFile()) return false;
    CMainFrame* frame = template_->Frame();
    if (demo_) frame->AddDemoMenu([this] { demo_->PowerCycle(); });

    if (options.exitAfterFirstPaint) {
        connect(frame, &CMainFrame::firstPainted, this, [this] {
            // Once the whole window has been painted (the frame paints before its children).
            QTimer::singleShot(0, this, [this] {
                std::puts("first-paint");
                std::fflush(stdout);
                exitRequested_ = true;
                QCoreApplication::quit();  // reaches the event loop only once it runs
            });
        });
    }

    ShowAndPaintNow(frame);
    // Resource 128, the program icon: frame, About box, task bar. Its six sizes
    // are decoded as they are added, which would hold up the window's first
    // appearance; it follows a moment later instead.
    QTimer::singleShot(0, this, [this] {
        QIcon icon;
        for (const int size : {16, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/velmora/icon-%1.png").arg(size), QSize(size, size));
        setWindowIcon(icon);
    });

    if (!options.screenshotDir.isEmpty()) {
        script_ = std::make_unique<CScreenshotScript>(*template_, demo_.get(), options.screenshotDir);
        QTimer::singleShot(0, script_.get(), &CScreenshotScript::Run);
    }
    if (options.printPorts) {
        QTimer::singleShot(0, this, [this] {
            PrintPortList();
            QCoreApplication::quit();
        });
    } else if (!options.scanBenchmarkPort.isEmpty()) {
        StartScanBenchmark(options.scanBenchmarkPort);
    }
    return true;
}

void CVelmoraApp::PrintPortList() {
    // Opened as by a click, which reads the devices present again.
    auto* list = template_->View()->findChild<QComboBox*>(QStringLiteral("IDC_COM_PORT"));
    if (list == nullptr) return;
    list->showPopup();
    for (int i = 0; i < list->count(); ++i) std::printf("port-list: %s\n", qPrintable(list->itemText(i)));
    list->hidePopup();
    std::fflush(stdout);
}

void CVelmoraApp::StartScanBenchmark(const QString& port) {
    // Chooses the port, presses スキャン once the window is up, and stops the clock
    // when the search's closing message is first painted. The message is then
    // closed and the program quits. Printed: the time, and how many line settings
    // the search window showed and painted; a dialog the search ends with instead
    // (the port cannot be opened) is answered with OK and printed with its line.
    CVelmoraView* view = template_->View();
    auto* scan = view->findChild<QPushButton*>(QStringLiteral("IDC_SCAN"));
    if (scan == nullptr) return;
    view->OfferPort(port);

    struct Run {
        QElapsedTimer clock;
        qint64 messageMs = -1;
        int candidatesPainted = 0;
    };
    auto run = std::make_shared<Run>();
    QtWorkflowHost& host = template_->Host();
    host.dialogAnswerer = [&host](int dialogId) {
        std::printf("dialog %d: %s\n", dialogId, qPrintable(host.lastOpenFailureLine));
        std::fflush(stdout);
        return IDOK;
    };
    host.progressPainted = [run](int dialogId, QDialog* window) {
        if (dialogId != IDD_SCAN) return;
        auto* line = window->findChild<QLabel*>(QStringLiteral("IDC_%1").arg(IDC_SCAN_SETTINGS));
        if (line != nullptr && !line->text().isEmpty()) ++run->candidatesPainted;
    };

    class MessageWatch final : public QObject {
    public:
        explicit MessageWatch(std::shared_ptr<Run> run) : run_(std::move(run)) {}

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint && run_->messageMs < 0 &&
                watched->objectName() == QStringLiteral("IDS_%1").arg(IDS_DEVICE_NOT_FOUND)) {
                run_->messageMs = run_->clock.elapsed();
                if (auto* box = qobject_cast<QDialog*>(watched)) QTimer::singleShot(0, box, &QDialog::accept);
            }
            return false;
        }

    private:
        std::shared_ptr<Run> run_;
    };
    auto* watch = new MessageWatch(run);
    watch->setParent(this);
    installEventFilter(watch);

    // The window has been shown and painted: press the button from the event loop.
    QTimer::singleShot(0, this, [this, run, scan, watch] {
        run->clock.start();
        scan->click();  // returns once the search is over and its message closed
        removeEventFilter(watch);
        template_->Host().progressPainted = nullptr;
        std::printf("scan-to-message %lld ms, line settings painted %d\n", static_cast<long long>(run->messageMs),
                    run->candidatesPainted);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
}

int CVelmoraApp::Run() { return exitRequested_ ? 0 : exec(); }

bool CVelmoraApp::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    if (KvRunStep([&] { handled = QApplication::notify(receiver, event); })) ReportUnhandledFailure();
    return handled;
}

void CVelmoraApp::ReportUnhandledFailure() {
    ++unhandledFailures_;
    if (reporting_) return;  // one dialog at a time
    reporting_ = true;
    if (template_)
        template_->Host().RunDialog(IDD_COMM_ERROR);
    else
        RunModalDialog(IDD_COMM_ERROR, nullptr);
    reporting_ = false;
}
