#include <QTest>
#include <limits>

#include "core/checked.h"
#include "core/colour.h"

class TestCore : public QObject {
    Q_OBJECT

private slots:
    void colourRange_data();
    void colourRange();
    void packedLayout();
    void decimalText_data();
    void decimalText();
    void checkedArithmetic_data();
    void checkedArithmetic();
};

void TestCore::colourRange_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("invalid -1") << -1 << false;
    QTest::newRow("black") << 0 << true;
    QTest::newRow("white") << 0xFFFFFF << true;
    QTest::newRow("just above white") << 0x1000000 << false;
    QTest::newRow("int min") << std::numeric_limits<int>::min() << false;
    QTest::newRow("int max") << std::numeric_limits<int>::max() << false;
}

void TestCore::colourRange() {
    QFETCH(int, value);
    QFETCH(bool, accepted);
    QCOMPARE(isColour(value), accepted);
    if (accepted) {
        requireColour(value);
    } else {
        try {
            requireColour(value);
            QFAIL("an invalid colour was accepted");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), RuntimeError::kInvalidValue);
            QVERIFY(!e.text().empty());
        }
    }
}

void TestCore::packedLayout() {
    // Red in the low byte, as COLORREF keeps it.
    QCOMPARE(packColour(255, 0, 0), 255);
    QCOMPARE(packColour(0, 0, 1), 65536);
    QCOMPARE(packColour(255, 128, 128), 8421631);
    QCOMPARE(redOf(8454016), 128);
    QCOMPARE(greenOf(8454016), 255);
    QCOMPARE(blueOf(8454016), 128);
    QCOMPARE(blueOf(8388608), 128);
}

void TestCore::decimalText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("red") << 255 << "255";
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("invalid") << -1 << "-1";
    QTest::newRow("no separators") << 16777215 << "16777215";
    QTest::newRow("int min") << std::numeric_limits<int>::min() << "-2147483648";
}

void TestCore::decimalText() {
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(decimal(value)), text);
}

void TestCore::checkedArithmetic_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("add");
    QTest::addColumn<bool>("overflows");
    QTest::addColumn<int>("result");
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    QTest::newRow("max + 1") << kMax << 1 << true << true << 0;
    QTest::newRow("max + 0") << kMax << 0 << true << false << kMax;
    QTest::newRow("min + -1") << kMin << -1 << true << true << 0;
    QTest::newRow("max - -1") << kMax << -1 << false << true << 0;
    QTest::newRow("min - 1") << kMin << 1 << false << true << 0;
    QTest::newRow("min + 1 - 1") << kMin + 1 << 1 << false << false << kMin;
    QTest::newRow("white sum") << 8 * 16777215 << 16777215 << true << false << 150994935;
}

void TestCore::checkedArithmetic() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, add);
    QFETCH(bool, overflows);
    QFETCH(int, result);
    try {
        const int got = add ? checkedAdd(a, b) : checkedSub(a, b);
        QVERIFY2(!overflows, "overflow went unnoticed");
        QCOMPARE(got, result);
    } catch (const RuntimeError& e) {
        QVERIFY2(overflows, "a sum in range raised");
        QCOMPARE(e.number(), RuntimeError::kOverflow);
    }
}

QTEST_APPLESS_MAIN(TestCore)
#include "tst_core.moc"
