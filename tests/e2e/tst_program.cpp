// The program as a user runs it: started as a process, the pointer moved and
// the button clicked from outside with xdotool, the result read off the screen.

#include <xcb/xcb.h>
#include <QProcess>
#include <QTest>

#include "sampler/offsets.h"
#include "x_fixture.h"

namespace {

// Where the window puts things, in logical pixels inside the client area.
const QPoint kSwatchCentres[9] = {{72, 137},  {72, 95}, {114, 95}, {114, 137}, {72, 179},
                                  {114, 179}, {30, 95}, {30, 137}, {30, 179}};
const QPoint kLabelBackground{4, 72};  // below the caption's last line
const QPoint kButtonCentre{158, 222};
const QRect kListLines{155, 79, 142, 115};  // inside the frame

}  // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startUpSample();
    void pressSamplesAgainAtTheEdge();
    void noFurtherSampleWithoutAPress();
    void closingTheWindowEndsTheProgram();

private:
    bool shows(const std::array<ColorValue, 9>& expected);
    ColorValue shownAt(QPoint logical) {
        return x_.shownAt(origin_.x() + logical.x() * scale_, origin_.y() + logical.y() * scale_);
    }
    bool listHasText();
    void xdotool(const QStringList& args) { QVERIFY(runCommand(QStringList{"xdotool"} + args)); }

    XFixture x_;
    QProcess program_;
    QString window_;
    QPoint origin_;
    int scale_ = 1;
    std::array<ColorValue, 9> first_{};
};

void TestProgram::initTestCase() {
    QVERIFY(x_.connected());
    if (!runCommand({"xdotool", "version"})) {
        QSKIP("xdotool is not installed");
    }
    x_.paintRoot([this](int x, int y) { return x_.distinctPixel(x, y); });
    // The pointer waits where the start-up sample will be taken.
    xdotool({"mousemove", QString::number(x_.width() - 30), QString::number(x_.height() - 30)});

    program_.setProgram(QStringLiteral(PIXEL_SAMPLER_EXE));
    program_.setProcessChannelMode(QProcess::ForwardedChannels);
    program_.start();
    QVERIFY(program_.waitForStarted());
    QString found;
    QVERIFY(runCommand({"timeout", "10", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                        "^RGB = GetPixelColor$"},
                       &found));
    window_ = found.split('\n').first().trimmed();
    QString geometry;
    QVERIFY(runCommand({"xdotool", "getwindowgeometry", "--shell", window_}, &geometry));
    QMap<QString, int> values;
    for (const QString& line : geometry.split('\n', Qt::SkipEmptyParts)) {
        values[line.section('=', 0, 0)] = line.section('=', 1).toInt();
    }
    origin_ = {values["X"], values["Y"]};
    scale_ = values["WIDTH"] / 312;
    QCOMPARE(values["WIDTH"], 312 * scale_);
    QCOMPARE(values["HEIGHT"], 242 * scale_);
    qInfo("window %s at (%d, %d), scale %d", qPrintable(window_), origin_.x(), origin_.y(), scale_);
}

void TestProgram::cleanupTestCase() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished();
    }
}

// The nine swatches and the label's mean, as the screen shows them.
bool TestProgram::shows(const std::array<ColorValue, 9>& expected) {
    std::int64_t sum = 0;
    for (int k = 0; k < 9; ++k) {
        if (shownAt(kSwatchCentres[k]) != x_.asDisplayed(expected[k])) {
            return false;
        }
        sum += expected[k];
    }
    return shownAt(kLabelBackground) == x_.asDisplayed(static_cast<ColorValue>(sum / 9));
}

// Whether any pixel of the list's lines differs from its background. One image
// of the whole area: the next tick is never more than two seconds away.
bool TestProgram::listHasText() {
    const QRect area(origin_ + kListLines.topLeft() * scale_, kListLines.size() * scale_);
    const std::vector<std::uint32_t> pixels = x_.rawPixels(area);
    return std::any_of(pixels.begin(), pixels.end(),
                       [&](std::uint32_t p) { return p != pixels.front(); });
}

void TestProgram::startUpSample() {
    first_ = x_.distinctColoursAround(x_.width() - 30, x_.height() - 30);
    QTRY_VERIFY_WITH_TIMEOUT(shows(first_), 6000);
    QVERIFY(listHasText());
}

void TestProgram::pressSamplesAgainAtTheEdge() {
    xdotool({"mousemove", "--window", window_, QString::number(kButtonCentre.x() * scale_),
             QString::number(kButtonCentre.y() * scale_), "click", "1"});
    // The list empties at once; the swatches keep the last sample until the tick.
    QTRY_VERIFY_WITH_TIMEOUT(!listHasText(), 1500);
    QVERIFY(shows(first_));
    // At the left edge the swatches left of the cursor are read at x = -1 and kept.
    const int y = x_.height() - 10;
    xdotool({"mousemove", "0", QString::number(y)});
    std::array<ColorValue, 9> expected = x_.distinctColoursAround(0, y);
    for (int k : {6, 7, 8}) {
        expected[k] = first_[k];
    }
    QTRY_VERIFY_WITH_TIMEOUT(shows(expected), 6000);
    QVERIFY(listHasText());
    first_ = expected;
}

void TestProgram::noFurtherSampleWithoutAPress() {
    xdotool({"mousemove", QString::number(x_.width() - 60), QString::number(x_.height() - 60)});
    QTest::qWait(2500);
    QVERIFY(shows(first_));
}

void TestProgram::closingTheWindowEndsTheProgram() {
    // What a window manager sends when the user closes the window.
    auto atom = [this](const char* name) {
        auto* reply = xcb_intern_atom_reply(
            x_.connection(), xcb_intern_atom(x_.connection(), 0, strlen(name), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
        free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window_.toUInt();
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x_.connection(), 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    x_.sync();
    QVERIFY(program_.waitForFinished(5000));
    QCOMPARE(program_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program_.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
