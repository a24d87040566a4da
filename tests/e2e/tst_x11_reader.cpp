// The real X11 reader against a real server, whatever depth it was started at.

#include <QTest>
#include <limits>

#include "sampler/screen.h"
#include "x_fixture.h"

class TestX11Reader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsWhatTheServerShows();
    void everyPixelValueDecodesAsTheServerSays();
    void outsideTheScreenReadsInvalid_data();
    void outsideTheScreenReadsInvalid();
    void cursorFollowsThePointer();
    void monitorGapReadsInvalid();
    void serverErrorIsAFailedRead();
    void noDisplayReadsNothing();

private:
    XFixture x_;
    std::unique_ptr<Screen> screen_;
};

void TestX11Reader::initTestCase() {
    QVERIFY2(x_.connected(), "no X server on $DISPLAY");
    qInfo("root depth %d, %dx%d", x_.depth(), x_.width(), x_.height());
    x_.paintRoot([this](int x, int y) { return x_.distinctPixel(x, y); });
    screen_ = openSystemScreen();
}

void TestX11Reader::readsWhatTheServerShows() {
    std::vector<QPoint> points = {{0, 0},
                                  {x_.width() - 1, 0},
                                  {0, x_.height() - 1},
                                  {x_.width() - 1, x_.height() - 1},
                                  {1, 1}};
    for (int i = 0; i < 400; ++i) {
        points.push_back({(i * 7919) % x_.width(), (i * 104729) % x_.height()});
    }
    std::vector<std::uint32_t> raw;
    for (QPoint p : points) {
        raw.push_back(x_.distinctPixel(p.x(), p.y()));
    }
    const std::vector<ColorValue> expected = x_.serverColours(raw);

    ScreenLease lease(*screen_);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const ColorValue got = lease.pixel(points[i].x(), points[i].y());
        if (got != expected[i]) {
            QFAIL(qPrintable(QStringLiteral("at (%1, %2): read %3, server says %4 (raw %5)")
                                 .arg(points[i].x())
                                 .arg(points[i].y())
                                 .arg(got)
                                 .arg(expected[i])
                                 .arg(raw[i], 0, 16)));
        }
    }
}

void TestX11Reader::everyPixelValueDecodesAsTheServerSays() {
    // Up to 16 bits, every pixel value fits on the screen at once: each one,
    // decoded, must be what the server's own colour map says it is.
    if (x_.depth() > 16) {
        QSKIP("only depths of 16 bits or fewer can show every value");
    }
    const int values = 1 << x_.depth();
    const int columns = 256;
    x_.paintRoot([&](int x, int y) {
        const int v = y * columns + x;
        return static_cast<std::uint32_t>(x < columns && v < values ? v : 0);
    });
    std::vector<std::uint32_t> raw(values);
    for (int v = 0; v < values; ++v) {
        raw[v] = v;
    }
    const std::vector<ColorValue> expected = x_.serverColours(raw);
    ScreenLease lease(*screen_);
    int wrong = 0;
    for (int v = 0; v < values; ++v) {
        if (lease.pixel(v % columns, v / columns) != expected[v]) {
            ++wrong;
        }
    }
    QCOMPARE(wrong, 0);
    x_.paintRoot([this](int x, int y) { return x_.distinctPixel(x, y); });
}

void TestX11Reader::outsideTheScreenReadsInvalid_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    const int w = x_.width();
    const int h = x_.height();
    QTest::newRow("left of the screen") << -1 << 10;
    QTest::newRow("above the screen") << 10 << -1;
    QTest::newRow("right of the screen") << w << 10;
    QTest::newRow("below the screen") << 10 << h;
    QTest::newRow("past the bottom-right corner") << w << h;
    QTest::newRow("beyond 16-bit coordinates") << 70000 << 10;
    QTest::newRow("int min") << std::numeric_limits<int>::min() << 0;
    QTest::newRow("int max") << 0 << std::numeric_limits<int>::max();
}

void TestX11Reader::outsideTheScreenReadsInvalid() {
    QFETCH(int, x);
    QFETCH(int, y);
    ScreenLease lease(*screen_);
    QCOMPARE(lease.pixel(x, y), kInvalidColour);
    QCOMPARE(lease.pixel(0, 0), x_.serverColour(x_.distinctPixel(0, 0)));  // still usable after
}

void TestX11Reader::cursorFollowsThePointer() {
    for (QPoint p : {QPoint(123, 45), QPoint(0, 0), QPoint(x_.width() - 1, x_.height() - 1)}) {
        x_.warpPointer(p.x(), p.y());
        ScreenPoint cursor{-7, -7};
        screen_->cursorPosition(cursor);
        QCOMPARE(cursor.x, p.x());
        QCOMPARE(cursor.y, p.y());
    }
}

void TestX11Reader::monitorGapReadsInvalid() {
    // Two monitors of different sizes: a gap between them and one below the smaller.
    const int w = x_.width();
    const int h = x_.height();
    const QString left = QStringLiteral("%1/100x%2/100+0+0").arg(w / 2).arg(h);
    const QString right = QStringLiteral("%1/100x%2/100+%3+0").arg(w / 4).arg(h / 2).arg(3 * w / 4);
    if (!runCommand({"xrandr", "--setmonitor", "e2e-left", left, "screen"}) ||
        !runCommand({"xrandr", "--setmonitor", "e2e-right", right, "none"})) {
        runCommand({"xrandr", "--delmonitor", "e2e-left"});
        QSKIP("xrandr cannot set monitors on this server");
    }
    auto restore = qScopeGuard([] {
        runCommand({"xrandr", "--delmonitor", "e2e-right"});
        runCommand({"xrandr", "--delmonitor", "e2e-left"});
    });
    {
        ScreenLease lease(*screen_);
        QCOMPARE(lease.pixel(w / 2, 0), kInvalidColour);          // between the monitors
        QCOMPARE(lease.pixel(3 * w / 4, h / 2), kInvalidColour);  // below the right one
        QCOMPARE(lease.pixel(w / 2 - 1, h - 1),
                 x_.serverColour(x_.distinctPixel(w / 2 - 1, h - 1)));
        QCOMPARE(lease.pixel(3 * w / 4, h / 2 - 1),
                 x_.serverColour(x_.distinctPixel(3 * w / 4, h / 2 - 1)));
    }
    restore.dismiss();
    runCommand({"xrandr", "--delmonitor", "e2e-right"});
    runCommand({"xrandr", "--delmonitor", "e2e-left"});
    // The next handle sees the layout as it is now.
    ScreenLease lease(*screen_);
    QCOMPARE(lease.pixel(w / 2, 0), x_.serverColour(x_.distinctPixel(w / 2, 0)));
}

void TestX11Reader::serverErrorIsAFailedRead() {
    // A monitor claimed beyond the root: the layout lets the read through and the
    // server answers BadMatch, which must come back as -1 and nothing else.
    if (!runCommand({"xrandr", "--setmonitor", "e2e-beyond", "4000/100x4000/100+0+0", "none"})) {
        QSKIP("xrandr cannot set monitors on this server");
    }
    auto restore = qScopeGuard([] { runCommand({"xrandr", "--delmonitor", "e2e-beyond"}); });
    ScreenLease lease(*screen_);
    QCOMPARE(lease.pixel(x_.width() + 100, 10), kInvalidColour);
    QCOMPARE(lease.pixel(10, x_.height()), kInvalidColour);
    QCOMPARE(lease.pixel(10, 10), x_.serverColour(x_.distinctPixel(10, 10)));
}

void TestX11Reader::noDisplayReadsNothing() {
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":65000");
    std::unique_ptr<Screen> none = openSystemScreen();
    qputenv("DISPLAY", display);
    ScreenPoint cursor{5, 6};
    none->cursorPosition(cursor);
    QCOMPARE(cursor.x, 5);  // untouched, as a failed cursor read leaves it
    QCOMPARE(cursor.y, 6);
    ScreenLease lease(*none);
    QCOMPARE(lease.pixel(0, 0), kInvalidColour);
}

QTEST_GUILESS_MAIN(TestX11Reader)
#include "tst_x11_reader.moc"
