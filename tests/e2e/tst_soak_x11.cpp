// A few hundred ticks with the real reader while the pointer jumps over the
// screen's edges and into a gap between two monitors.

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include "sampler/monitor_layout.h"
#include "sampler/offsets.h"
#include "sampler/screen.h"
#include "window/form1.h"
#include "window/line_list.h"
#include "window/swatch.h"
#include "x_fixture.h"

class TestSoakX11 : public QObject {
    Q_OBJECT

private slots:
    void ticksOverEdgesAndGaps();
};

void TestSoakX11::ticksOverEdgesAndGaps() {
    XFixture x;
    QVERIFY(x.connected());
    x.paintRoot([&](int px, int py) { return x.distinctPixel(px, py); });
    const int w = x.width();
    const int h = x.height();
    // Left monitor full height, right monitor half height: a gap between and below.
    const MonitorLayout layout({{0, 0, w / 2, h}, {3 * w / 4, 0, w / 4, h / 2}});
    QVERIFY(runCommand({"xrandr", "--setmonitor", "soak-left",
                        QStringLiteral("%1/100x%2/100+0+0").arg(w / 2).arg(h), "screen"}));
    QVERIFY(runCommand({"xrandr", "--setmonitor", "soak-right",
                        QStringLiteral("%1/100x%2/100+%3+0").arg(w / 4).arg(h / 2).arg(3 * w / 4),
                        "none"}));
    auto restore = qScopeGuard([] {
        runCommand({"xrandr", "--delmonitor", "soak-right"});
        runCommand({"xrandr", "--delmonitor", "soak-left"});
    });

    Form1 form(openSystemScreen());
    form.setErrorReporter([](const RuntimeError& e) {
        QFAIL(qPrintable(QStringLiteral("untrapped error %1").arg(e.number())));
    });
    form.findChild<QTimer*>("Timer1")->stop();
    auto* list = form.findChild<LineList*>("lstRGB");
    std::array<Swatch*, 9> swatches;
    for (int k = 0; k < 9; ++k) {
        swatches[k] = form.findChild<Swatch*>(QStringLiteral("ShPix(%1)").arg(k));
    }

    QRandomGenerator random(7);
    const int ticks = 300;
    int stale = 0;
    for (int t = 0; t < ticks; ++t) {
        // Edges, corners, the gaps and the monitors' inner edges come up often.
        const int xs[] = {0, w - 1, w / 2 - 1, w / 2, 3 * w / 4, int(random.bounded(quint32(w)))};
        const int ys[] = {0, h - 1, h / 2 - 1, h / 2, int(random.bounded(quint32(h)))};
        const int px = xs[random.bounded(6u)];
        const int py = ys[random.bounded(5u)];
        x.warpPointer(px, py);

        std::array<ColorValue, 9> before;
        for (int k = 0; k < 9; ++k) {
            before[k] = swatches[k]->fillColour();
        }
        list->removeAllLines();
        form.tick();

        const bool centreRead = layout.contains(px, py);
        const QStringList lines = list->lines();
        QCOMPARE(lines.size(), 9);
        for (int k = 0; k < 9; ++k) {
            const int sx = px + kSampleOffsets[k].dx;
            const int sy = py + kSampleOffsets[k].dy;
            const ColorValue expected = centreRead && layout.contains(sx, sy)
                                            ? x.serverColour(x.distinctPixel(sx, sy))
                                            : before[k];
            stale += expected == before[k];
            QCOMPARE(swatches[k]->fillColour(), expected);
            QCOMPARE(lines[k], QStringLiteral("RGB  %1").arg(expected));
        }
    }
    qInfo("%d ticks, %d swatches kept their colour", ticks, stale);
    QVERIFY(stale > 0);
}

QTEST_MAIN(TestSoakX11)
#include "tst_soak_x11.moc"
