// The yardsticks of the start-up benchmark: the barest Qt Widgets main window,
// of the same class as the program's own, with nothing in it, and, with
// --label, the same window showing one line of Japanese text in the program's
// font (what any window with Japanese text pays for fonts and glyphs). Prints
// "first-paint" once it has been painted, then quits, the way the program does
// under --exit-after-first-paint.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {

class BareWindow final : public QMainWindow {
protected:
    bool event(QEvent* event) override {
        const bool handled = QMainWindow::event(event);
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            // Once the whole window has been painted (a window paints before its children).
            QTimer::singleShot(0, [] {
                std::puts("first-paint");
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return handled;
    }

private:
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BareWindow window;
    if (argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String("--label")) {
        auto* label = new QLabel(QString::fromUtf8("「スキャン」をクリックしてTarnik装置を検出してください。"));
        label->setFont(QFont(QStringLiteral("IPAPGothic"), 9));
        window.setCentralWidget(label);
    }
    window.resize(400, 300);
    window.show();
    return app.exec();
}
