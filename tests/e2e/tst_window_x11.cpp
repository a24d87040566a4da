// The window with the real reader on a real X server, at the scale factor the
// environment gives (QT_SCALE_FACTOR), read back from the screen itself.

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "sampler/offsets.h"
#include "sampler/screen.h"
#include "window/form1.h"
#include "window/line_list.h"
#include "window/swatch.h"
#include "x_fixture.h"

class TestWindowX11 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void samplesThePixelsUnderThePointer();
    void leftEdgeKeepsStaleSwatches();

private:
    void checkShown(const std::array<ColorValue, 9>& expected);

    XFixture x_;
    std::unique_ptr<Form1> form_;
};

void TestWindowX11::initTestCase() {
    QVERIFY(x_.connected());
    x_.paintRoot([this](int x, int y) { return x_.distinctPixel(x, y); });
}

void TestWindowX11::init() {
    form_ = std::make_unique<Form1>(openSystemScreen());
    form_->findChild<QTimer*>("Timer1")->stop();  // ticks are driven by the test here
    form_->move(0, 0);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    const qreal ratio = form_->devicePixelRatio();
    qInfo("device pixel ratio %g", ratio);
    QCOMPARE(qRound(form_->width() * ratio), qRound(312 * ratio));
}

void TestWindowX11::cleanup() {
    form_.reset();
}

// Compares the swatches' values and the list with `expected`, and what the
// screen shows in each swatch's middle with how the server displays that colour.
void TestWindowX11::checkShown(const std::array<ColorValue, 9>& expected) {
    const QStringList lines = form_->findChild<LineList*>("lstRGB")->lines();
    QCOMPARE(lines.size(), 9);
    for (int k = 0; k < 9; ++k) {
        auto* swatch = form_->findChild<Swatch*>(QStringLiteral("ShPix(%1)").arg(k));
        QCOMPARE(swatch->fillColour(), expected[k]);
        QCOMPARE(lines[k], QStringLiteral("RGB  %1").arg(expected[k]));
    }
    // Let the repaint reach the server, then read the window from the screen.
    QTRY_VERIFY_WITH_TIMEOUT(
        ([&] {
            const qreal ratio = form_->devicePixelRatio();
            const QPoint origin = form_->windowHandle()->geometry().topLeft() * ratio;
            for (int k = 0; k < 9; ++k) {
                auto* swatch = form_->findChild<Swatch*>(QStringLiteral("ShPix(%1)").arg(k));
                const QPoint c = origin + swatch->geometry().center() * ratio;
                if (x_.shownAt(c.x(), c.y()) != x_.asDisplayed(expected[k])) {
                    qInfo("swatch %d at (%d, %d): shown %d, expected %d", k, c.x(), c.y(),
                          x_.shownAt(c.x(), c.y()), x_.asDisplayed(expected[k]));
                    return false;
                }
            }
            return true;
        }()),
        3000);
}

void TestWindowX11::samplesThePixelsUnderThePointer() {
    // Physical pixels, whatever the window's scale: the reader has its own connection.
    const int x = x_.width() - 20;
    const int y = x_.height() - 20;
    x_.warpPointer(x, y);
    form_->tick();
    checkShown(x_.distinctColoursAround(x, y));
}

void TestWindowX11::leftEdgeKeepsStaleSwatches() {
    const int y = x_.height() - 20;
    x_.warpPointer(x_.width() - 40, y);
    form_->tick();
    const std::array<ColorValue, 9> first = x_.distinctColoursAround(x_.width() - 40, y);

    x_.warpPointer(0, y);
    form_->tick();
    std::array<ColorValue, 9> expected = x_.distinctColoursAround(0, y);
    for (int k : {6, 7, 8}) {
        expected[k] = first[k];  // read at x = -1: refused, kept
    }
    form_->findChild<LineList*>("lstRGB")->removeAllLines();
    form_->tick();
    checkShown(expected);
}

QTEST_MAIN(TestWindowX11)
#include "tst_window_x11.moc"
