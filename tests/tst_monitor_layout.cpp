#include <QTest>
#include <limits>

#include "sampler/monitor_layout.h"

class TestMonitorLayout : public QObject {
    Q_OBJECT

private slots:
    void contains_data();
    void contains();
};

void TestMonitorLayout::contains_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("inside");
    // A 1920 x 1080 primary, a 1280 x 1024 monitor to its left at negative x,
    // and a 800 x 600 one to its right: gaps below the smaller ones.
    QTest::newRow("primary origin") << 0 << 0 << true;
    QTest::newRow("primary bottom right") << 1919 << 1079 << true;
    QTest::newRow("left monitor, right edge") << -1 << 0 << true;
    QTest::newRow("left monitor, far left") << -1280 << 1023 << true;
    QTest::newRow("past left monitor") << -1281 << 0 << false;
    QTest::newRow("below left monitor (gap)") << -1 << 1024 << false;
    QTest::newRow("above everything") << 0 << -1 << false;
    QTest::newRow("right monitor") << 1920 << 599 << true;
    QTest::newRow("below right monitor (gap)") << 1920 << 600 << false;
    QTest::newRow("past right monitor") << 2720 << 0 << false;
    QTest::newRow("below primary") << 100 << 1080 << false;
    QTest::newRow("int max") << std::numeric_limits<int>::max() << 0 << false;
    QTest::newRow("int min") << std::numeric_limits<int>::min() << 0 << false;
}

void TestMonitorLayout::contains() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, inside);
    const MonitorLayout layout({{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}, {1920, 0, 800, 600}});
    QCOMPARE(layout.contains(x, y), inside);
    QVERIFY(!MonitorLayout().contains(0, 0));
    // A monitor reaching the end of the coordinate range must not wrap round.
    const MonitorLayout edge({{std::numeric_limits<int>::max() - 9, 0, 10, 10}});
    QVERIFY(edge.contains(std::numeric_limits<int>::max(), 0));
    QVERIFY(!edge.contains(std::numeric_limits<int>::min(), 0));
}

QTEST_APPLESS_MAIN(TestMonitorLayout)
#include "tst_monitor_layout.moc"
