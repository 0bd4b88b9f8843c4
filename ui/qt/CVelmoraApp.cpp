#include "CVelmoraApp.h"

#include <QIcon>
#include <QTimer>

#include <cstdio>

#include "CDemoModule.h"
#include "CMainFrame.h"
#include "CScreenshotScript.h"
#include "CVelmoraDocTemplate.h"
#include "CVelmoraView.h"
#include "Dialogs.h"
#include "DialogUnits.h"
#include "KvExceptions.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"

CVelmoraApp::CVelmoraApp(int& argc, char** argv) : QApplication(argc, argv)
{
    Q_INIT_RESOURCE(velmora);
}

CVelmoraApp::~CVelmoraApp()
{
    script_.reset();
    template_.reset();  // frame, view and document go before the demo module
    demo_.reset();
}

bool CVelmoraApp::InitInstance()
{
    // The toolkit's own look serves for the dialog controls. The per-user settings
    // area gets its name, but nothing of the program is ever stored there.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setFont(DialogFont());
    // Resource 128, the program icon: frame, About box, task bar.
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/velmora/icon-%1.png").arg(size));
    setWindowIcon(icon);

    bool demo = false;
    bool exitAfterFirstPaint = false;
    QString screenshotDir;
    const QStringList args = arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--demo")) {
            demo = true;
        } else if (args[i] == QLatin1String("--screenshot-script") && i + 1 < args.size()) {
            screenshotDir = args[++i];
        } else if (args[i] == QLatin1String("--exit-after-first-paint")) {
            exitAfterFirstPaint = true;
        }
        // Anything else is the framework's business: a new, empty document either way.
    }

    if (demo) demo_ = std::make_unique<CDemoModule>();

    template_ = std::make_unique<CVelmoraDocTemplate>();
    if (!template_->OpenDocumentFile()) return false;
    CMainFrame* frame = template_->Frame();
    if (demo_) frame->AddDemoMenu([this] { demo_->PowerCycle(); });

    if (exitAfterFirstPaint) {
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

    if (!screenshotDir.isEmpty()) {
        script_ = std::make_unique<CScreenshotScript>(*template_, demo_.get(), screenshotDir);
        QTimer::singleShot(0, script_.get(), &CScreenshotScript::Run);
    }
    return true;
}

int CVelmoraApp::Run()
{
    return exitRequested_ ? 0 : exec();
}

bool CVelmoraApp::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const KvException&) {
        ReportUnhandledFailure();
    } catch (const KvStringException&) {
        ReportUnhandledFailure();
    }
    return false;
}

void CVelmoraApp::ReportUnhandledFailure()
{
    ++unhandledFailures_;
    if (reporting_) return;  // one dialog at a time
    reporting_ = true;
    if (template_)
        template_->Host().RunDialog(IDD_COMM_ERROR);
    else
        RunModalDialog(IDD_COMM_ERROR, nullptr);
    reporting_ = false;
}
