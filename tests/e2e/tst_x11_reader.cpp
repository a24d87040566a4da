// The real X11 reader against a real server at whatever depth it was started:
// what a tick reads must be what the server says its pixels are.

#include <xcb/xcb.h>

#include <QTest>
#include <cstdlib>
#include <limits>

#include "sampler/offsets.h"
#include "screen/x11/screen_x11.h"

namespace {

template <typename T>
std::unique_ptr<T, decltype(&std::free)> owned(T* p) {
    return {p, &std::free};
}

bool run(const QString& command) {
    return std::system(qPrintable(command)) == 0;
}

}  // namespace

class TestX11Reader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void ticksReadWhatTheServerShows();
    void aTickIsOneMoment();
    void monitorsSetWhileRunning();
    void rootResizedWhileRunning();
    void noPositionLeavesTheCursorPoint();

private:
    // The root's background becomes raw pixel values that differ from their
    // neighbours, a new set for each seed.
    void paint(std::uint32_t seed) {
        seed_ = seed;
        const int bytes = bitsPerPixel_ / 8;
        std::vector<std::uint8_t> image(std::size_t(w_) * h_ * bytes);
        for (int i = 0; i < w_ * h_; ++i) {
            for (int b = 0; b < bytes; ++b) {  // LSB first, as Xvfb on this machine
                image[i * bytes + b] = raw(i % w_, i / w_) >> 8 * b;
            }
        }
        const xcb_pixmap_t pixmap = xcb_generate_id(c_);
        xcb_create_pixmap(c_, root_->root_depth, pixmap, root_->root, w_, h_);
        const xcb_gcontext_t gc = xcb_generate_id(c_);
        xcb_create_gc(c_, gc, pixmap, 0, nullptr);
        xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w_, h_, 0, 0, 0, root_->root_depth,
                      image.size(), image.data());
        xcb_change_window_attributes(c_, root_->root, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(c_, 0, root_->root, 0, 0, 0, 0);
        owned(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    std::uint32_t raw(int x, int y) const {
        std::uint32_t h =
            (std::uint32_t(x) * 0x9E3779B1u) ^ (std::uint32_t(y) * 0x85EBCA77u) ^ seed_;
        h = (h ^ h >> 15) * 0x2C1B3C6Du;
        return (h ^ h >> 12) & (root_->root_depth >= 32 ? ~0u : (1u << root_->root_depth) - 1);
    }
    // What the server itself says the pixel at (x, y) is; -1 off the root.
    ColorValue server(int x, int y) {
        if (x < 0 || y < 0 || x >= onRoot_.width() || y >= onRoot_.height()) {
            return kInvalidColour;
        }
        const std::uint32_t value = raw(x, y);
        auto reply = owned(xcb_query_colors_reply(
            c_, xcb_query_colors(c_, root_->default_colormap, 1, &value), nullptr));
        const xcb_rgb_t rgb = *xcb_query_colors_colors(reply.get());
        return packColour(rgb.red >> 8, rgb.green >> 8, rgb.blue >> 8);
    }
    // A tick at (x, y) reads what the server showed at its first read, in the
    // table's order, in two round trips (three with a colour map) wherever (x, y)
    // lies: a block the server refused would fall back to a request a pixel.
    // With `repaint` the root changes after the centre is read.
    void checkTickAt(int x, int y, Screen& screen, bool repaint = false) {
        std::vector<ColorValue> shown;
        for (const SampleOffset& o : kSampleOffsets) {
            shown.push_back(server(x + o.dx, y + o.dy));
        }
        const long before = screen.traffic().roundTrips;
        ScreenPoint cursor;
        screen.cursorPosition(cursor);
        ScreenLease lease(screen);
        for (int k = 0; k < kSwatchCount; ++k) {
            const SampleOffset o = kSampleOffsets[k];
            QVERIFY2(lease.pixel(x + o.dx, y + o.dy) == shown[k],
                     qPrintable(QStringLiteral("(%1, %2)").arg(x + o.dx).arg(y + o.dy)));
            if (repaint && k == 0) {
                paint(seed_ + 1);
            }
        }
        QCOMPARE(screen.traffic().roundTrips - before, root_->root_depth > 8 ? 2l : 3l);
    }
    void checkTickAt(int x, int y) { checkTickAt(x, y, *screen_); }

    xcb_connection_t* c_ = xcb_connect(nullptr, nullptr);
    xcb_screen_t* root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    int w_ = root_->width_in_pixels;
    int h_ = root_->height_in_pixels;
    // Xvfb's pixel sizes; the reader itself goes by what the server reports.
    int bitsPerPixel_ = root_->root_depth <= 8 ? 8 : root_->root_depth <= 16 ? 16 : 32;
    std::uint32_t seed_ = 0;
    QSize onRoot_{w_, h_};  // the root's size now; painted are w_ x h_
    std::unique_ptr<Screen> screen_ = openX11Screen(X11Reads::Block);
};

void TestX11Reader::initTestCase() {
    paint(0);
}

// The corners and edges, where the block is clipped, and inside.
void TestX11Reader::ticksReadWhatTheServerShows() {
    for (int i = 0; i < 9; ++i) {
        checkTickAt(i % 3 * (w_ - 1) / 2, i / 3 * (h_ - 1) / 2);
    }
    for (int i = 1; i < 60; ++i) {
        checkTickAt(i * 7919 % w_, i * 104729 % h_);
    }
    ScreenLease lease(*screen_);
    for (int x : {70000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        QCOMPARE(lease.pixel(x, 10), kInvalidColour);
    }
}

// The root changes between two reads of a tick: the tick still sees the screen
// of its first read, and the next tick sees the change.
void TestX11Reader::aTickIsOneMoment() {
    checkTickAt(100, 100, *screen_, true);
    checkTickAt(100, 100);
}

// The root shrinks before the reader opens and grows back while it runs, then
// shrinks again: each tick clips its block to the root as it is then.
void TestX11Reader::rootResizedWhileRunning() {
    auto resize = [this](int w, int h) {
        onRoot_ = {w, h};
        return run(QStringLiteral("xrandr --fb %1x%2 2>/dev/null").arg(w).arg(h));
    };
    resize(w_ / 2, h_ / 2);
    if (owned(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, root_->root), nullptr))->width ==
        w_) {
        QSKIP("xrandr cannot resize this server's root");
    }
    std::unique_ptr<Screen> opened = openX11Screen(X11Reads::Block);
    checkTickAt(w_ / 4, h_ / 4, *opened);
    QVERIFY(resize(w_, h_));
    checkTickAt(w_ * 3 / 4, h_ * 3 / 4, *opened);
    resize(w_ / 2, h_ / 2);
    checkTickAt(w_ / 2 - 1, h_ / 2 - 1, *opened);
    resize(w_, h_);
}

// Monitors set while the program runs (each test has a server of its own, so
// they are left set): a point in the gap where monitors differ in size (inside
// their bounding box, on none) reads -1 even inside a block; a monitor claimed
// beyond the root is refused by the server (BadMatch) and reads -1 too.
void TestX11Reader::monitorsSetWhileRunning() {
    const QString set = QStringLiteral("xrandr --setmonitor e2e-%1 %2/100x%3/100+%4+%5 %6");
    if (!run(set.arg("left").arg(w_ / 2).arg(h_).arg(0).arg(0).arg("screen")) ||
        !run(set.arg("right").arg(w_ / 2).arg(h_ / 2).arg(w_ / 2).arg(0).arg("none"))) {
        QSKIP("xrandr cannot set monitors on this server");
    }
    {
        ScreenLease lease(*screen_);  // a block across the three: left, right above, gap
        QCOMPARE(lease.pixel(w_ / 2 - 1, h_ / 2), server(w_ / 2 - 1, h_ / 2));
        QCOMPARE(lease.pixel(w_ / 2, h_ / 2 - 1), server(w_ / 2, h_ / 2 - 1));
        QCOMPARE(lease.pixel(w_ / 2, h_ / 2), kInvalidColour);
    }
    QVERIFY(run(set.arg("beyond").arg(w_ + 100).arg(10).arg(0).arg(h_ + 5).arg("none")));
    ScreenLease lease(*screen_);
    QCOMPARE(lease.pixel(10, h_ + 6), kInvalidColour);
    QCOMPARE(lease.pixel(w_ + 50, h_ + 6), kInvalidColour);
    run("xrandr --delmonitor e2e-left; xrandr --delmonitor e2e-right; xrandr --delmonitor "
        "e2e-beyond");
}

// Where there is no position on this screen (the pointer on another X screen of
// the server, or no server at all) the cursor point stays as it was. Run last:
// it leaves DISPLAY naming no server.
void TestX11Reader::noPositionLeavesTheCursorPoint() {
    ScreenPoint cursor{-7, -7};
    if (run("xdotool mousemove --screen 1 5 5")) {
        openX11Screen(X11Reads::Block)->cursorPosition(cursor);
    }
    qputenv("DISPLAY", ":65000");
    std::unique_ptr<Screen> none = openX11Screen(X11Reads::Block);
    none->cursorPosition(cursor);
    QCOMPARE(cursor.x, -7);
    QCOMPARE(ScreenLease(*none).pixel(0, 0), kInvalidColour);
    QCOMPARE(none->whyUnreadable().reason, std::string("cannot open display \":65000\""));
}

QTEST_GUILESS_MAIN(TestX11Reader)
#include "tst_x11_reader.moc"
