#pragma once
#include <QApplication>
#include <QString>

#include <memory>
#include <string>

class CDemoModule;
class CScreenshotScript;
class CVelmoraDocTemplate;

// The application object: one per process. Start-up creates the single document
// with its frame and view and shows the main window. The program keeps no
// settings between runs; every run starts on "COM1".
//
// Options: --demo puts a simulated module on COM1 and adds the デモ menu. Four
// more are for the project's own tooling and not shown in the help:
// --screenshot-script DIR saves pictures of the windows into DIR and quits;
// --exit-after-first-paint prints "first-paint" once the main window has been
// painted and quits (the start-up benchmark); --scan-benchmark PORT presses
// スキャン on PORT, prints how long the search took once its message is up,
// and quits (the scan benchmark); --print-ports prints the COM port list as it
// shows when opened and quits (scripts/vm-check.sh).
struct CommandLine {
    enum class Action { Start, Help, Version, Fail };
    Action action = Action::Start;
    std::string error;  // for Fail: what was wrong, in one line
    bool demo = false;
    bool exitAfterFirstPaint = false;
    QString screenshotDir;
    QString scanBenchmarkPort;
    bool printPorts = false;
};

class CVelmoraApp final : public QApplication {
    Q_OBJECT
public:
    CVelmoraApp(int& argc, char** argv);
    ~CVelmoraApp() override;

    // Reads the command line before anything needs the window system, so that
    // --help, --version and a mistyped option are answered without a display.
    // The window system's own options (-platform, -display, -style, ...) are
    // accepted and left to the toolkit.
    static CommandLine ParseCommandLine(int argc, const char* const* argv);
    static const char* Usage();

    // Start-up; false when it failed and the program is to end without a window.
    bool InitInstance(const CommandLine& options = {});
    // The message loop, unless start-up already asked to end.
    int Run();

    // The guard at the event loop: an exception of the program's own families
    // that reaches it is reported with the communication-error dialog and the
    // program goes on.
    bool notify(QObject* receiver, QEvent* event) override;

    CVelmoraDocTemplate* DocTemplate() const { return template_.get(); }
    CDemoModule* Demo() const { return demo_.get(); }
    int UnhandledFailures() const { return unhandledFailures_; }

private:
    void ReportUnhandledFailure();
    void InstallToolkitTranslations();
    void StartScanBenchmark(const QString& port);
    void PrintPortList();

    std::unique_ptr<CDemoModule> demo_;
    std::unique_ptr<CVelmoraDocTemplate> template_;
    std::unique_ptr<CScreenshotScript> script_;
    bool reporting_ = false;
    bool exitRequested_ = false;
    int unhandledFailures_ = 0;
};
