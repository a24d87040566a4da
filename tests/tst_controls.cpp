#include <QApplication>
#include <QTest>

#include "core/runtime_error.h"
#include "window/caption_label.h"
#include "window/line_list.h"
#include "window/swatch.h"

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void swatchAcceptsOnlyColours_data();
    void swatchAcceptsOnlyColours();
    void swatchPaintsFillInsideWhiteOutline();
    void labelBackColour();
    void labelCaptionLines();
    void listAppendsAndEmpties();
};

void TestControls::swatchAcceptsOnlyColours_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("-1 refused") << -1 << false;
    QTest::newRow("0 taken") << 0 << true;
    QTest::newRow("white taken") << 16777215 << true;
    QTest::newRow("0x1000000 refused") << 0x1000000 << false;
}

void TestControls::swatchAcceptsOnlyColours() {
    QFETCH(int, value);
    QFETCH(bool, accepted);
    Swatch swatch;
    QCOMPARE(swatch.fillColour(), 8421631);
    bool raised = false;
    try {
        swatch.setFillColour(value);
    } catch (const RuntimeError& e) {
        raised = true;
        QCOMPARE(e.number(), RuntimeError::kInvalidValue);
    }
    QCOMPARE(raised, !accepted);
    QCOMPARE(swatch.fillColour(), accepted ? value : 8421631);
    QCOMPARE(swatch.accessibleDescription(), QString::number(swatch.fillColour()));
}

void TestControls::swatchPaintsFillInsideWhiteOutline() {
    Swatch swatch;
    swatch.resize(41, 39);
    const QImage initial = swatch.grab().toImage();
    QCOMPARE(initial.pixelColor(20, 19), QColor(255, 128, 128));  // light red, not light blue
    swatch.setFillColour(255);                                    // pure red
    const QImage image = swatch.grab().toImage();
    QCOMPARE(image.pixelColor(20, 19), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(1, 1), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(39, 37), QColor(255, 0, 0));
    for (QPoint edge : {QPoint(0, 0), QPoint(40, 0), QPoint(0, 38), QPoint(40, 38), QPoint(20, 0),
                        QPoint(20, 38), QPoint(0, 19), QPoint(40, 19)}) {
        QCOMPARE(image.pixelColor(edge), QColor(Qt::white));
    }
}

void TestControls::labelBackColour() {
    CaptionLabel label(QStringLiteral("RGB medeltal"), 8388608, 8454016);
    label.resize(309, 75);
    QCOMPARE(label.grab().toImage().pixelColor(3, 72), QColor(0, 0, 128));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, label.setBackColour(-1));
    QCOMPARE(label.backColour(), 8388608);
    label.setBackColour(7281);  // red 113, green 28
    QCOMPARE(label.grab().toImage().pixelColor(3, 72), QColor(113, 28, 0));
    QCOMPARE(label.accessibleDescription(), QStringLiteral("7281"));
}

void TestControls::labelCaptionLines() {
    CaptionLabel label(QStringLiteral("RGB medeltal"), 8388608, 8454016);
    label.setCaption(QStringLiteral("RGB medeltal\r\n\r\n7281"));
    QCOMPARE(label.caption(), QStringLiteral("RGB medeltal\r\n\r\n7281"));
    // Three lines on screen and no stray carriage return drawn.
    QCOMPARE(label.text(), QStringLiteral("RGB medeltal\n\n7281"));
}

void TestControls::listAppendsAndEmpties() {
    LineList list;
    list.appendLine(QStringLiteral("b"));
    list.appendLine(QStringLiteral("a"));
    QCOMPARE(list.lines(), QStringList({"b", "a"}));  // unsorted
    list.removeAllLines();
    QCOMPARE(list.count(), 0);
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
