#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "form_on_fake_screen.h"

namespace {

// Errors go to the real message box here, as a user would see them.
struct Window : FormOnFakeScreen {
    explicit Window(FakeScreen::ColourAt colourAt = distinctColour)
        : FormOnFakeScreen(std::move(colourAt), Errors::Reported) {}
};

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
    void textsAndFonts();
    void initialLook();
    void sampleIsShownInPixels();
    void nineLinesFullyVisible();
    void focusStartsInTheList();
    void pressEmptiesListAndArms();
    void startUpSampleAndTwoQuickPresses();
    void accessibleNames();
    void untrappedErrorShowsModalReport();
};

void TestForm1::geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Command1") << "Command1" << QRect(48, 208, 221, 29);
    QTest::newRow("lstRGB") << "lstRGB" << QRect(152, 76, 149, 121);
    QTest::newRow("Label1") << "Label1" << QRect(2, 0, 309, 75);
    // The grid mirrors the pixels: column by dx, row by dy.
    QTest::newRow("ShPix(6) above left") << "ShPix(6)" << QRect(10, 76, 41, 39);
    QTest::newRow("ShPix(1) above") << "ShPix(1)" << QRect(52, 76, 41, 39);
    QTest::newRow("ShPix(2) above right") << "ShPix(2)" << QRect(94, 76, 41, 39);
    QTest::newRow("ShPix(7) left") << "ShPix(7)" << QRect(10, 118, 41, 39);
    QTest::newRow("ShPix(0) centre") << "ShPix(0)" << QRect(52, 118, 41, 39);
    QTest::newRow("ShPix(3) right") << "ShPix(3)" << QRect(94, 118, 41, 39);
    QTest::newRow("ShPix(8) below left") << "ShPix(8)" << QRect(10, 160, 41, 39);
    QTest::newRow("ShPix(4) below") << "ShPix(4)" << QRect(52, 160, 41, 39);
    QTest::newRow("ShPix(5) below right") << "ShPix(5)" << QRect(94, 160, 41, 39);
}

void TestForm1::geometry() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    Window w;
    QCOMPARE(w.form->size(), QSize(312, 242));
    QCOMPARE(w.form->minimumSize(), w.form->maximumSize());  // fixed size
    QWidget* control = w.child<QWidget>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), rect);
    // Nothing overlaps.
    for (QWidget* other : w.form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != control) {
            QVERIFY2(!other->geometry().intersects(rect), qPrintable(other->objectName()));
        }
    }
}

void TestForm1::textsAndFonts() {
    Window w;
    QCOMPARE(w.form->windowTitle(), QStringLiteral("RGB = GetPixelColor"));
    QCOMPARE(w.button()->text(), QStringLiteral("Kolla pixlar  om 2 sek"));
    QCOMPARE(w.button()->font().pixelSize(), 13);
    QVERIFY(w.button()->font().bold());
    QCOMPARE(w.label()->caption(), QStringLiteral("RGB medeltal"));
    QCOMPARE(w.label()->font().pixelSize(), 18);
    QVERIFY(w.label()->font().bold());
    QCOMPARE(w.label()->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    QCOMPARE(w.timer()->interval(), 2000);
    QVERIFY(w.timer()->isActive());
    QVERIFY(!w.timer()->isSingleShot());
}

void TestForm1::initialLook() {
    Window w;
    const QImage image = w.form->grab().toImage();
    for (int k = 0; k < 9; ++k) {
        const QRect r = w.swatch(k)->geometry();
        QCOMPARE(image.pixelColor(r.center()), QColor(255, 128, 128));
        QCOMPARE(image.pixelColor(r.topLeft()), QColor(Qt::white));
        QCOMPARE(image.pixelColor(r.bottomRight()), QColor(Qt::white));
    }
    const QRect label = w.label()->geometry();
    QCOMPARE(image.pixelColor(label.left() + 1, label.bottom() - 1), QColor(0, 0, 128));
    // Some of the caption is drawn in the light green text colour.
    bool textSeen = false;
    for (int y = label.top(); y <= label.bottom() && !textSeen; ++y) {
        for (int x = label.left(); x <= label.right() && !textSeen; ++x) {
            textSeen = image.pixelColor(x, y) == QColor(128, 255, 128);
        }
    }
    QVERIFY(textSeen);
}

void TestForm1::sampleIsShownInPixels() {
    // Red to the right of the cursor, blue below it: a byte-order slip shows here.
    Window w([](int x, int y) {
        return x == 1 && y == 0 ? 0x0000FF : x == 0 && y == 1 ? 0xFF0000 : 0x00FF00;
    });
    w.screen->cursor = {0, 0};
    w.form->tick();
    const QImage image = w.form->grab().toImage();
    QCOMPARE(image.pixelColor(w.swatch(3)->geometry().center()), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(w.swatch(4)->geometry().center()), QColor(0, 0, 255));
    QCOMPARE(image.pixelColor(w.swatch(0)->geometry().center()), QColor(0, 255, 0));
    const ColorValue mean = (0x0000FF + 0xFF0000 + 7 * 0x00FF00) / 9;
    const QRect label = w.label()->geometry();
    QCOMPARE(image.pixelColor(label.left() + 1, label.bottom() - 1),
             QColor(mean & 0xFF, mean >> 8 & 0xFF, mean >> 16));
    QCOMPARE(w.label()->text(), QStringLiteral("RGB medeltal\n\n%1").arg(mean));
}

void TestForm1::nineLinesFullyVisible() {
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.form->tick();
    LineList* list = w.list();
    QCOMPARE(list->frameWidth(), 2);
    QCOMPARE(list->viewport()->height(), 9 * 13);
    QCOMPARE(list->count(), 9);
    QVERIFY(!list->verticalScrollBar()->isVisible());
    for (int row = 0; row < 9; ++row) {
        const QRect r = list->visualItemRect(list->item(row));
        QCOMPARE(r.height(), 13);
        QVERIFY2(list->viewport()->rect().contains(r), qPrintable(QString::number(row)));
    }
}

void TestForm1::focusStartsInTheList() {
    Window w;
    w.form->show();
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QCOMPARE(QApplication::focusWidget(), w.list());
    QTest::keyClick(w.list(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.button());
    QCOMPARE(w.label()->focusPolicy(), Qt::NoFocus);
}

void TestForm1::pressEmptiesListAndArms() {
    Window w;
    w.form->show();
    w.form->tick();
    QCOMPARE(w.list()->count(), 9);
    QVERIFY(!w.timer()->isActive());
    const ColorValue shown = w.swatch(0)->fillColour();
    const QString caption = w.label()->caption();

    QTest::mouseClick(w.button(), Qt::LeftButton);
    QCOMPARE(w.list()->count(), 0);
    QVERIFY(w.timer()->isActive());
    // The last sample stays on show until the next tick.
    QCOMPARE(w.swatch(0)->fillColour(), shown);
    QCOMPARE(w.label()->caption(), caption);
    QCOMPARE(w.screen->acquired, 1);
}

void TestForm1::startUpSampleAndTwoQuickPresses() {
    Window w;
    w.form->show();
    // One sample two seconds after start-up, then the timer stays idle.
    QTRY_COMPARE_WITH_TIMEOUT(w.list()->count(), 9, 4000);
    QVERIFY(!w.timer()->isActive());
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QTest::qWait(800);
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QCOMPARE(w.list()->count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(w.list()->count(), 9, 4000);
    QTest::qWait(2500);
    QCOMPARE(w.list()->count(), 9);
    QCOMPARE(w.screen->acquired, 2);
    QCOMPARE(w.screen->released, 2);
}

void TestForm1::accessibleNames() {
    Window w;
    for (QWidget* control : w.form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
    QCOMPARE(w.swatch(4)->accessibleDescription(), QStringLiteral("8421631"));
    QCOMPARE(w.label()->accessibleDescription(), QStringLiteral("8388608"));
}

void TestForm1::untrappedErrorShowsModalReport() {
    Window w;
    w.screen->beforeCursorRead = [] { throw RuntimeError(6, "Overflow"); };
    w.form->show();
    QString shownText;
    bool modal = false;
    bool timerIdle = false;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            shownText = box->text();
            modal = box->windowModality() == Qt::ApplicationModal;
            timerIdle = !w.timer()->isActive();
            box->accept();
        }
    });
    w.form->tick();  // returns once the box is dismissed
    QVERIFY(shownText.contains(QStringLiteral("6")));
    QVERIFY(shownText.contains(QStringLiteral("Overflow")));
    QVERIFY(modal);
    QVERIFY(timerIdle);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
