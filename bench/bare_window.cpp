// The floor for start-up and memory: a Qt Widgets window with the same kinds of
// control as pixel-sampler (button, list, timer, nine filled rectangles, label)
// and no screen reading at all.

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(312, 242);
    auto* label = new QLabel(QStringLiteral("RGB medeltal"), &window);
    label->setGeometry(2, 0, 309, 75);
    label->setAutoFillBackground(true);
    for (int k = 0; k < 9; ++k) {
        auto* rect = new QWidget(&window);
        rect->setGeometry(10 + 42 * (k % 3), 76 + 42 * (k / 3), 41, 39);
        rect->setAutoFillBackground(true);
    }
    auto* list = new QListWidget(&window);
    list->setGeometry(152, 76, 149, 121);
    auto* button = new QPushButton(QStringLiteral("Kolla pixlar  om 2 sek"), &window);
    button->setGeometry(48, 208, 221, 29);
    QTimer timer;
    timer.start(2000);
    window.show();
    return app.exec();
}
