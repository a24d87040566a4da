#include <QApplication>
#include <QTest>
#include <limits>

#include "form_on_fake_screen.h"
#include "sampler/offsets.h"

namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

using Harness = FormOnFakeScreen;

QStringList linesFor(const std::array<ColorValue, 9>& colours) {
    QStringList lines;
    for (ColorValue c : colours) {
        lines << QStringLiteral("RGB  %1").arg(c);
    }
    return lines;
}

}  // namespace

class TestTick : public QObject {
    Q_OBJECT

private slots:
    void readsNeighboursInTableOrder_data();
    void readsNeighboursInTableOrder();
    void centreReadFailsOnFirstTick();
    void edgesKeepStaleSwatches_data();
    void edgesKeepStaleSwatches();
    void overflowAtCoordinateLimits_data();
    void overflowAtCoordinateLimits();
    void packedMean_data();
    void packedMean();
    void neighbourFailureIsTrapped();
    void untrappedErrorEndsTheProgram_data();
    void untrappedErrorEndsTheProgram();
    void linesAppendAfterEarlierOnes();
};

void TestTick::readsNeighboursInTableOrder_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("primary") << 100 << 200;
    QTest::newRow("monitor left of and above the primary") << -1000 << -5;
}

void TestTick::readsNeighboursInTableOrder() {
    QFETCH(int, x);
    QFETCH(int, y);
    Harness h;
    h.sampleAt(x, y);

    std::array<ColorValue, 9> expected;
    QCOMPARE(h.screen->reads.size(), size_t(9));  // the centre is read once
    for (int k = 0; k < 9; ++k) {
        const int px = x + kSampleOffsets[k].dx;
        const int py = y + kSampleOffsets[k].dy;
        expected[k] = distinctColour(px, py);
        QCOMPARE(h.screen->reads[k].x, px);
        QCOMPARE(h.screen->reads[k].y, py);
        QCOMPARE(h.fill(k), expected[k]);
    }
    QCOMPARE(h.lines(), linesFor(expected));
    QVERIFY(!h.timer()->isActive());
    QCOMPARE(h.screen->acquired, 1);
    QCOMPARE(h.screen->released, 1);
    QVERIFY(!h.screen->misused);
}

void TestTick::centreReadFailsOnFirstTick() {
    Harness h([](int, int) { return kInvalidColour; });
    QVERIFY(h.timer()->isActive());
    h.sampleAt(10, 10);
    QCOMPARE(h.screen->reads.size(), size_t(1));  // neighbours are not read at all
    std::array<ColorValue, 9> initial;
    initial.fill(8421631);
    QCOMPARE(h.lines(), linesFor(initial));
    QCOMPARE(h.label()->caption(), QStringLiteral("RGB medeltal\r\n\r\n8421631"));
    QCOMPARE(h.label()->backColour(), 8421631);
    QVERIFY(!h.timer()->isActive());
    QCOMPARE(h.screen->released, 1);
    QVERIFY(h.reported.empty());
}

void TestTick::edgesKeepStaleSwatches_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QList<int>>("stale");
    // A 640 x 480 screen with nothing around it.
    QTest::newRow("left edge") << 0 << 240 << QList<int>{6, 7, 8};
    QTest::newRow("right edge") << 639 << 240 << QList<int>{2, 3, 5};
    QTest::newRow("top edge") << 320 << 0 << QList<int>{1, 2, 6};
    QTest::newRow("bottom edge") << 320 << 479 << QList<int>{4, 5, 8};
    QTest::newRow("top-right corner") << 639 << 0 << QList<int>{1, 2, 3, 5, 6};
    QTest::newRow("bottom-left corner") << 0 << 479 << QList<int>{4, 5, 6, 7, 8};
}

void TestTick::edgesKeepStaleSwatches() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QList<int>, stale);
    Harness h([](int px, int py) {
        return px < 0 || py < 0 || px >= 640 || py >= 480 ? kInvalidColour : distinctColour(px, py);
    });
    h.sampleAt(300, 200);
    std::array<ColorValue, 9> before;
    for (int k = 0; k < 9; ++k) {
        before[k] = h.fill(k);
    }
    h.sampleAt(x, y);

    std::array<ColorValue, 9> shown;
    for (int k = 0; k < 9; ++k) {
        shown[k] = stale.contains(k)
                       ? before[k]
                       : distinctColour(x + kSampleOffsets[k].dx, y + kSampleOffsets[k].dy);
        QCOMPARE(h.fill(k), shown[k]);
    }
    // Stale swatches are listed and counted as they stand.
    QCOMPARE(h.lines().mid(9), linesFor(shown));
    std::int64_t sum = 0;
    for (ColorValue c : shown) {
        sum += c;
    }
    QCOMPARE(h.label()->backColour(), ColorValue(sum / 9));
}

void TestTick::overflowAtCoordinateLimits_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QList<int>>("skipped");
    QTest::newRow("x at int max") << kMax << 0 << QList<int>{2, 3, 5};
    QTest::newRow("x at int min") << kMin << 0 << QList<int>{6, 7, 8};
    QTest::newRow("y at int max") << 0 << kMax << QList<int>{4, 5, 8};
    QTest::newRow("y at int min") << 0 << kMin << QList<int>{1, 2, 6};
    QTest::newRow("corner max, min") << kMax << kMin << QList<int>{1, 2, 3, 5, 6};
}

void TestTick::overflowAtCoordinateLimits() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QList<int>, skipped);
    Harness h([](int, int) { return 0x123456; });  // every point readable, even absurd ones
    h.sampleAt(x, y);
    for (int k = 0; k < 9; ++k) {
        QCOMPARE(h.fill(k), skipped.contains(k) ? 8421631 : 0x123456);
    }
    // A wrapped coordinate is never read; the trap just skips that swatch.
    QCOMPARE(h.screen->reads.size(), size_t(9 - skipped.size()));
    QCOMPARE(h.lines().size(), 9);
    QVERIFY(!h.timer()->isActive());
    QVERIFY(h.reported.empty());
    QCOMPARE(h.screen->released, 1);
}

void TestTick::packedMean_data() {
    QTest::addColumn<int>("centre");
    QTest::addColumn<int>("others");
    QTest::addColumn<int>("mean");
    QTest::newRow("white") << 16777215 << 16777215 << 16777215;
    QTest::newRow("one blue step spills into red and green") << 65536 << 0 << 7281;
    QTest::newRow("pure red") << 255 << 255 << 255;
    QTest::newRow("black") << 0 << 0 << 0;
}

void TestTick::packedMean() {
    QFETCH(int, centre);
    QFETCH(int, others);
    QFETCH(int, mean);
    Harness h([=](int x, int y) { return x == 50 && y == 50 ? centre : others; });
    h.sampleAt(50, 50);
    QCOMPARE(h.lines().first(), QStringLiteral("RGB  %1").arg(centre));
    QCOMPARE(h.lines().last(), QStringLiteral("RGB  %1").arg(others));
    QCOMPARE(h.label()->backColour(), mean);
    QCOMPARE(h.label()->caption(), QStringLiteral("RGB medeltal\r\n\r\n%1").arg(mean));
}

void TestTick::neighbourFailureIsTrapped() {
    // The platform itself failing on one read, and a value no swatch takes.
    Harness h([](int x, int y) -> ColorValue {
        if (x == 11 && y == 10) {
            throw RuntimeError(5, "Invalid procedure call");
        }
        return x == 9 && y == 9 ? 0x1000000 : 0x00FF00;
    });
    h.sampleAt(10, 10);
    for (int k = 0; k < 9; ++k) {
        QCOMPARE(h.fill(k), k == 3 || k == 6 ? 8421631 : 0x00FF00);
    }
    QCOMPARE(h.lines().size(), 9);
    QVERIFY(h.reported.empty());
    QVERIFY(!h.timer()->isActive());
    QCOMPARE(h.screen->released, 1);
}

void TestTick::untrappedErrorEndsTheProgram_data() {
    QTest::addColumn<bool>("inCursorRead");
    QTest::addColumn<int>("acquired");
    QTest::newRow("cursor read raises") << true << 0;
    QTest::newRow("centre read raises") << false << 1;
}

void TestTick::untrappedErrorEndsTheProgram() {
    QFETCH(bool, inCursorRead);
    QFETCH(int, acquired);
    Harness h([](int, int) -> ColorValue { throw RuntimeError(5, "Invalid procedure call"); });
    if (inCursorRead) {
        h.screen->beforeCursorRead = [] { throw RuntimeError(6, "Overflow"); };
    }
    h.sampleAt(0, 0);
    QCOMPARE(h.reported, std::vector<int>{inCursorRead ? 6 : 5});
    QCOMPARE(h.screen->acquired, acquired);
    QCOMPARE(h.screen->released, acquired);  // given back even on the error path
    QVERIFY(!h.screen->misused);
    QVERIFY(!h.timer()->isActive());
    QVERIFY(h.lines().isEmpty());
    // Nothing runs after the report, not even a tick or a press.
    h.form->tick();
    QCOMPARE(h.reported.size(), size_t(1));
    QCOMPARE(h.screen->acquired, acquired);
}

void TestTick::linesAppendAfterEarlierOnes() {
    Harness h;
    h.sampleAt(5, 5);
    h.sampleAt(6, 6);
    QCOMPARE(h.lines().size(), 18);
    QCOMPARE(h.lines().at(9), QStringLiteral("RGB  %1").arg(distinctColour(6, 6)));
    QCOMPARE(h.screen->acquired, 2);
    QCOMPARE(h.screen->released, 2);
}

QTEST_MAIN(TestTick)
#include "tst_tick.moc"
