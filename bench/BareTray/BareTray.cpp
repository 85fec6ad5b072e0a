// The yardstick for the application's idle memory: a bare Qt tray application with a small
// panel and nothing else. It shows the panel once, announces the panel's first paint on
// standard error as Tovrin does for the benchmark, and then idles until it is ended.
#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class Panel : public QWidget {
public:
    Panel() : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint) {
        setFixedWidth(300);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel("Tray panel", this));
        for (const char* title : {"First action", "Second action", "Third action"})
            layout->addWidget(new QPushButton(title, this));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        if (announced_)
            return;
        announced_ = true;
        QTimer::singleShot(0, this, [] {
            std::fputs("pellora-bench: panel painted\n", stderr);
            std::fflush(stderr);
        });
    }

private:
    bool announced_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap image(22, 22);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(3, 5, 16, 12, Qt::black);
    QSystemTrayIcon tray{QIcon(image)};
    tray.setToolTip("Bare tray");
    tray.show();
    Panel panel;
    QTimer::singleShot(0, &panel, [&] { panel.show(); });
    return QApplication::exec();
}
