// Many press-and-tick cycles against a screen whose reads fail at random: the
// window must stay consistent and its memory must stay flat.

#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <limits>

#include "fake_screen.h"
#include "resident_memory.h"
#include "sampler/offsets.h"
#include "window/caption_label.h"
#include "window/form1.h"
#include "window/line_list.h"
#include "window/swatch.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // ASan's quarantine holds freed memory on purpose
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

class TestSoak : public QObject {
    Q_OBJECT

private slots:
    void pressAndTickCycles();
};

void TestSoak::pressAndTickCycles() {
    const int cycles = qEnvironmentVariableIntValue("SOAK_CYCLES") > 0
                           ? qEnvironmentVariableIntValue("SOAK_CYCLES")
                           : 20000;
    QRandomGenerator random(20261206);
    ScreenPoint cursor;
    // The centre fails one tick in ten, each neighbour one read in six.
    auto owned = std::make_unique<FakeScreen>([&](int x, int y) {
        const bool centre = x == cursor.x && y == cursor.y;
        return random.bounded(centre ? 10u : 6u) == 0 ? kInvalidColour : distinctColour(x, y);
    });
    FakeScreen* screen = owned.get();
    screen->recordReads = false;
    Form1 form(std::move(owned));
    form.setErrorReporter([](const RuntimeError& e) {
        QFAIL(qPrintable(QStringLiteral("untrapped error %1").arg(e.number())));
    });
    auto* button = form.findChild<QPushButton*>("Command1");
    auto* list = form.findChild<LineList*>("lstRGB");
    auto* timer = form.findChild<QTimer*>("Timer1");
    std::array<Swatch*, 9> swatches;
    for (int k = 0; k < 9; ++k) {
        swatches[k] = form.findChild<Swatch*>(QStringLiteral("ShPix(%1)").arg(k));
    }
    form.show();

    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    long afterFirstThousand = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(timer->isActive());
        QCOMPARE(list->count(), 0);
        // Most cursors are ordinary; some sit at the ends of the coordinate range.
        const quint32 where = random.bounded(10u);
        const int near = int(random.bounded(3u));
        cursor = {where == 0   ? kMax - near
                  : where == 1 ? kMin + near
                               : int(random.bounded(4000u)) - 2000,
                  where == 2   ? kMax - near
                  : where == 3 ? kMin + near
                               : int(random.bounded(4000u)) - 2000};
        screen->cursor = cursor;
        const int releasedBefore = screen->released;
        form.tick();

        QCOMPARE(screen->released, releasedBefore + 1);
        QCOMPARE(screen->acquired, screen->released);
        QVERIFY(!timer->isActive());
        const QStringList lines = list->lines();
        QCOMPARE(lines.size(), 9);
        std::int64_t sum = 0;
        for (int k = 0; k < 9; ++k) {
            const ColorValue c = swatches[k]->fillColour();
            QVERIFY(isColour(c));
            QCOMPARE(lines[k], QStringLiteral("RGB  %1").arg(c));
            sum += c;
        }
        QCOMPARE(form.findChild<CaptionLabel*>("Label1")->backColour(), ColorValue(sum / 9));
        if (cycle % 500 == 0) {
            QCoreApplication::processEvents();  // let the repaints happen, as the event loop would
        }
        if (cycle == 1000) {
            afterFirstThousand = residentKiB();
        }
    }
    QVERIFY(!screen->misused);
    const long atEnd = residentKiB();
    qInfo("resident after 1000 cycles %ld KiB, after %d cycles %ld KiB", afterFirstThousand, cycles,
          atEnd);
    if (!kSanitized && afterFirstThousand > 0 && cycles >= 2000) {
        QVERIFY2(atEnd - afterFirstThousand <= 2048,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg(atEnd - afterFirstThousand)));
    }
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
