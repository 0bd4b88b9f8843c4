// The yardstick of the start-up benchmark: the barest Qt Widgets window. Prints
// "first-paint" once it has been painted, then quits. With --label it shows one
// line of Japanese text in the program's font instead (what any window with
// Japanese text pays for fonts), for comparison only.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class BareWindow final : public QLabel {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        if (painted_) return;
        painted_ = true;
        QTimer::singleShot(0, [] {
            std::puts("first-paint");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }

private:
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow window;
    if (argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String("--label")) {
        window.setFont(QFont(QStringLiteral("IPAPGothic"), 9));
        window.setText(QString::fromUtf8("「スキャン」をクリックしてTarnik装置を検出してください。"));
    }
    window.resize(400, 300);
    window.show();
    return app.exec();
}
