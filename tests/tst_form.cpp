// Form1 and its tick without any toolkit: a fake screen in, a recording view out.

#include <QTest>
#include <functional>
#include <limits>

#include "form/form1.h"
#include "sampler/screen.h"

namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();
constexpr ColorValue kInitial = 8421631;
// The order of the reads, by swatch: centre, above, above right, right, below,
// below right, above left, left, below left.
constexpr int kOffsets[9][2] = {{0, 0}, {0, -1},  {1, -1}, {1, 0}, {0, 1},
                                {1, 1}, {-1, -1}, {-1, 0}, {-1, 1}};

ColorValue distinctColour(int x, int y) {
    return ColorValue((std::uint32_t(x) & 0xFFF) | (std::uint32_t(y) & 0xFFF) << 12);
}

// A 640 x 480 screen with nothing around it.
ColorValue screen640x480(std::int32_t x, std::int32_t y) {
    return x < 0 || y < 0 || x >= 640 || y >= 480 ? kInvalidColour : distinctColour(x, y);
}

// The form on a screen made of a function, with a view that records what a
// front end was told. Both record enough to tell misuse: a read or release
// through anything but a live handle, a line the platform failed to append.
struct Rig final : Screen, FormView {
    explicit Rig(std::function<ColorValue(int, int)> colourAt = screen640x480)
        : colourAt(std::move(colourAt)) {
        form.start();
    }
    void sampleAt(int x, int y) {
        cursor = {x, y};
        form.timer1Tick();
    }
    std::vector<ColorValue> fills() const {
        std::vector<ColorValue> fills;
        for (int k = 0; k < kSwatchCount; ++k) {
            fills.push_back(form.swatchFill(k));
        }
        return fills;
    }

    void cursorPosition(ScreenPoint& point) override {
        point = cursorRaises ? throw RuntimeError(6, "Overflow") : cursor;
    }
    ScreenHandle acquire() override { return ++acquired, this; }
    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        misused |= handle != this || released >= acquired;
        reads.emplace_back(x, y);
        return colourAt(x, y);
    }
    void release(ScreenHandle handle) override {
        misused |= handle != this || released >= acquired;
        ++released;
    }

    void swatchChanged(int) override {}
    void lineAppended(const std::string&) override {
        if (lineFails) {
            throw RuntimeError(RuntimeError::kInvalidValue, "No line");
        }
    }
    void linesRemoved() override {}
    void labelChanged() override {}
    void setTimerArmed(bool armed) override { timerArmed = armed; }
    void showMessage(const std::string& title, const std::string& text, bool error) override {
        messages.push_back(title + "|" + text + (error ? "|error" : ""));
    }
    void endProgram(int status) override { messages.push_back("end " + std::to_string(status)); }
    Unreadable whyUnreadable() override { return problem; }

    std::function<ColorValue(int, int)> colourAt;
    ScreenPoint cursor;
    bool cursorRaises = false;
    int acquired = 0;
    int released = 0;
    bool misused = false;
    std::vector<std::pair<int, int>> reads;
    bool lineFails = false;
    bool timerArmed = false;
    std::vector<std::string> messages;
    Unreadable problem;
    Form1 form{*this, *this};
};

std::vector<std::string> linesFor(const std::vector<ColorValue>& fills) {
    std::vector<std::string> lines;
    for (ColorValue c : fills) {
        lines.push_back("RGB  " + std::to_string(c));
    }
    return lines;
}

}  // namespace

class TestForm : public QObject {
    Q_OBJECT

private slots:
    void sample_data();
    void sample();
    void errors_data();
    void errors();
    void controlsRefuseWhatIsNoColour();
    void problemsAreSaidOncePerPress();
};

void TestForm::sample_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<bool>("overflows");  // then the kept swatches are never read
    QTest::newRow("inside") << 100 << 200 << QList<int>{} << false;
    QTest::newRow("left edge") << 0 << 240 << QList<int>{6, 7, 8} << false;
    QTest::newRow("top-right corner") << 639 << 0 << QList<int>{1, 2, 3, 5, 6} << false;
    QTest::newRow("bottom-left corner") << 0 << 479 << QList<int>{4, 5, 6, 7, 8} << false;
    QTest::newRow("x at int max, y at int min")
        << kMax << kMin << QList<int>{1, 2, 3, 5, 6} << true;
    QTest::newRow("x at int min, y at int max")
        << kMin << kMax << QList<int>{4, 5, 6, 7, 8} << true;
}

// The nine reads in the table's order, each into its swatch, listed after the
// earlier sample; a kept swatch is listed and counted as it stands.
void TestForm::sample() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QList<int>, kept);
    QFETCH(bool, overflows);
    Rig h(overflows ? distinctColour : screen640x480);
    h.sampleAt(300, 200);
    std::vector<ColorValue> expected = h.fills();
    std::vector<std::pair<int, int>> reads;
    std::int64_t sum = 0;
    for (int k = 0; k < kSwatchCount; ++k) {
        const int px = int(std::int64_t{x} + kOffsets[k][0]);  // wraps only where kept
        const int py = int(std::int64_t{y} + kOffsets[k][1]);
        if (!overflows || !kept.contains(k)) {
            reads.emplace_back(px, py);
        }
        expected[k] = kept.contains(k) ? expected[k] : distinctColour(px, py);
        sum += expected[k];
    }
    h.reads.clear();
    h.sampleAt(x, y);

    QCOMPARE(h.reads, reads);
    QVERIFY(!h.misused);
    QCOMPARE(h.fills(), expected);
    QCOMPARE(std::vector<std::string>(h.form.lines().begin() + 9, h.form.lines().end()),
             linesFor(expected));
    // The mean of the packed numbers, not per channel.
    QCOMPARE(h.form.labelBack(), ColorValue(sum / 9));
    QCOMPARE(h.form.labelCaption(), "RGB medeltal\r\n\r\n" + std::to_string(sum / 9));
}

void TestForm::errors_data() {
    QTest::addColumn<int>("centre");  // -2: the read itself raises
    QTest::addColumn<bool>("cursorRaises");
    QTest::addColumn<bool>("lineFails");
    QTest::addColumn<QString>("report");  // empty: trapped, the tick goes on
    QTest::newRow("cursor read raises") << 1 << true << false << "Fel 6:\n\nOverflow";
    QTest::newRow("centre read raises") << -2 << false << false << "Fel 5:\n\nBroken";
    QTest::newRow("list fails, centre -1") << -1 << false << true << "Fel 380:\n\nNo line";
    QTest::newRow("list fails, good centre") << 1 << false << true << "";
}

// Nothing is caught before a good centre read, nor in a tick whose centre read
// failed; after a good one a failing step is abandoned and the next one runs.
// An error that is not caught stops the timer before the report and ends the
// program; nothing runs after it.
void TestForm::errors() {
    QFETCH(int, centre);
    QFETCH(bool, cursorRaises);
    QFETCH(bool, lineFails);
    QFETCH(QString, report);
    Rig h([=](int x, int y) {
        return x == 5 && y == 5 && centre != -2 ? centre : throw RuntimeError(5, "Broken");
    });
    h.cursorRaises = cursorRaises;
    h.lineFails = lineFails;
    h.sampleAt(5, 5);
    QCOMPARE(h.released, h.acquired);
    QVERIFY(!h.timerArmed);
    if (report.isEmpty()) {
        QVERIFY(h.messages.empty());
        // The centre and eight kept swatches, every step after the failing one done.
        QCOMPARE(h.form.labelCaption(),
                 "RGB medeltal\r\n\r\n" + std::to_string((1 + 8 * kInitial) / 9));
        return;
    }
    QCOMPARE(h.messages, (std::vector<std::string>{
                             "RGB = GetPixelColor|" + report.toStdString() + "|error", "end 1"}));
    const int acquired = h.acquired;
    h.form.timer1Tick();
    h.form.command1Click();
    QCOMPARE(h.acquired, acquired);
    QVERIFY(!h.timerArmed);
}

// A swatch and the label take 0 to 16,777,215, refuse anything else and keep
// what they had.
void TestForm::controlsRefuseWhatIsNoColour() {
    Rig h;
    for (ColorValue value : {-1, kMin, 16777216, 0, 16777215}) {
        const bool taken = value == 0 || value == 16777215;
        const ColorValue swatch = h.form.swatchFill(4), label = h.form.labelBack();
        int refused = 0;
        for (auto set : {std::function<void()>([&] { h.form.setSwatchFillColour(4, value); }),
                         std::function<void()>([&] { h.form.setLabelBackColour(value); })}) {
            try {
                set();
            } catch (const RuntimeError& e) {
                refused += e.number() == RuntimeError::kInvalidValue;
            }
        }
        QCOMPARE(refused, taken ? 0 : 2);
        QCOMPARE(h.form.swatchFill(4), taken ? value : swatch);
        QCOMPARE(h.form.labelBack(), taken ? value : label);
    }
}

// What stands in the way is said when found, not again until the next press,
// and again after it if it still stands there.
void TestForm::problemsAreSaidOncePerPress() {
    Rig h;
    h.problem = {"no portal", "Ingen portal"};
    for (auto step :
         {&Form1::checkScreen, &Form1::checkScreen, &Form1::command1Click, &Form1::checkScreen}) {
        (h.form.*step)();
    }
    QCOMPARE(h.messages, std::vector<std::string>(2, "RGB = GetPixelColor|Ingen portal"));
}

QTEST_APPLESS_MAIN(TestForm)
#include "tst_form.moc"
