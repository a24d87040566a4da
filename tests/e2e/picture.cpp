// A native Wayland window full screen on every monitor, each showing a picture
// of its own physical pixels: pixel (x, y) of monitor m has the colour that
// harness.py's pattern gives (x + 1000 m, y). A scaled monitor is drawn at its
// full density, so what a screen cast sends is known pixel by pixel.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <algorithm>

struct Picture : QRasterWindow {
    int monitor = 0;

    void paintEvent(QPaintEvent*) override {
        const qreal ratio = devicePixelRatio();
        QImage image(size() * ratio, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int px = x + 1000 * monitor;
                image.setPixel(x, y, qRgb(px & 255, y & 255, (7 * px + 13 * y) & 255));
            }
        }
        image.setDevicePixelRatio(ratio);
        QPainter(this).drawImage(0, 0, image);
    }
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    // Monitors counted from the left, as the desktop lays them out.
    QList<QScreen*> screens = QGuiApplication::screens();
    std::sort(screens.begin(), screens.end(),
              [](QScreen* a, QScreen* b) { return a->geometry().x() < b->geometry().x(); });
    for (int m = 0; m < screens.size(); ++m) {
        auto* picture = new Picture;
        picture->monitor = m;
        picture->setScreen(screens[m]);
        picture->setGeometry(screens[m]->geometry());
        picture->showFullScreen();
    }
    return app.exec();
}
