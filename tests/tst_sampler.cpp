// Pixel layouts an X server may report that the end-to-end servers here never
// use, and the monitor layout with monitors they cannot set.

#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <vector>

#include "core/monitor_layout.h"
#include "screen/wayland/frame_store.h"
#include "screen/wayland/restore_token.h"
#include "screen/x11/pixel_format.h"

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(PixelFormat)

class TestSampler : public QObject {
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void monitorLayout();
    void screenCastFrames();
    void restoreToken();
};

void TestSampler::decode_data() {
    QTest::addColumn<PixelFormat>("format");
    QTest::addColumn<Bytes>("bytes");  // a 2 x 2 image; the pixel looked at is the last
    QTest::addColumn<int>("colour");   // -1: the data cannot be read
    const std::uint32_t r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
    // Red 0x12, green 0x34, blue 0x56 in each layout: always 0x563412 packed.
    QTest::newRow("24, an ARGB window's alpha in the padding")
        << PixelFormat{24, 32, 32, false, r, g, b}
        << Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x56, 0x34, 0x12, 0xFF} << 0x563412;
    QTest::newRow("24 in 24 bits, rows padded to 32")
        << PixelFormat{24, 24, 32, false, r, g, b}
        << Bytes{0, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0, 0, 0, 0x56, 0x34, 0x12, 0xEE, 0xEE} << 0x563412;
    QTest::newRow("24, BGR masks")
        << PixelFormat{24, 32, 32, false, b, g, r}
        << Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0} << 0x563412;
    // 5-6-5, MSB first: 5-bit 16 -> 132, 6-bit 32 -> 130 by bit replication.
    QTest::newRow("16, MSB first") << PixelFormat{16, 16, 32, true, 0xF800, 0x07E0, 0x001F}
                                   << Bytes{0, 0, 0, 0, 0, 0, 0x84, 0x10} << 0x848284;
    // 10-10-10: red 0x3FF, green 0x200, blue 0x001 -> 255, 128, 0.
    QTest::newRow("30, MSB first")
        << PixelFormat{30, 32, 32, true, 0x3FF00000, 0xFFC00, 0x3FF}
        << Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0xF8, 0, 1} << 0x0080FF;
    QTest::newRow("short reply") << PixelFormat{24, 32, 32, false, r, g, b} << Bytes(15, 0) << -1;
}

void TestSampler::decode() {
    QFETCH(PixelFormat, format);
    QFETCH(Bytes, bytes);
    QFETCH(int, colour);
    const std::vector<std::uint32_t> values =
        readPixelValues(format, bytes.data(), bytes.size(), 2, 2);
    QCOMPARE(values.empty() ? -1 : colourFromPixel(format, values.back()), colour);
}

// A 1920 x 1080 primary, a 1280 x 1024 monitor to its left and 56 pixels
// higher, and one at the far end of the coordinate range.
void TestSampler::monitorLayout() {
    const MonitorLayout layout(
        {{0, 0, 1920, 1080}, {-1280, -56, 1280, 1024}, {2147483647 - 99, 0, 100, 10}});
    QVERIFY(layout.contains(1919, 1079) && layout.contains(-1280, -56));
    QVERIFY(!layout.contains(1920, 500) && !layout.contains(10, 1080));  // past the edges
    QVERIFY(!layout.contains(-1, -57) &&
            !layout.contains(-1, 968));  // above and below the left one
    QVERIFY(layout.contains(2147483647, 5));
}

// Two 2 x 2 monitors side by side as a screen cast places them: the left one's
// frames BGRx with rows padded to 12 bytes, the right one's RGBx.
void TestSampler::screenCastFrames() {
    FrameStore store({{0, 0, 2, 2}, {2, 0, 2, 2}});
    const Bytes left{0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 9, 9, 9, 9,
                     0,    0,    0,    0, 1, 2, 3, 0, 9, 9, 9, 9};
    const Bytes right{0x12, 0x34, 0x56, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0};
    QCOMPARE(store.pixel(0, 0), kInvalidColour);  // no frame yet
    QVERIFY(store.frameArrived(0, {left.data(), 2, 2, 12, FrameStore::Order::BGRx}));
    QVERIFY(store.frameArrived(1, {right.data(), 2, 2, 8, FrameStore::Order::RGBx}));
    QVERIFY(!store.frameArrived(0, {nullptr, 2, 2, 0, FrameStore::Order::RGBx}));  // cursor only
    const int expected[][3] = {{0, 0, 0x563412}, {1, 1, 0x010203}, {2, 0, 0x563412},
                               {3, 1, 0x030201}, {4, 0, -1},       {-1, 0, -1},
                               {0, 2, -1}};
    for (const auto& [x, y, colour] : expected) {
        QCOMPARE(store.pixel(x, y), colour);
    }
    store.frameGone(1);  // its kept buffer taken back
    QCOMPARE(store.pixel(2, 0), kInvalidColour);
    QVERIFY(!store.cursor());  // until the pointer moves
    store.cursorMoved(1, 1, 1);
    store.cursorMoved(0, 3, 1);  // the left stream says only that it is not there
    QCOMPARE(store.cursor()->x, 3);
    QCOMPARE(store.cursor()->y, 1);
}

// Kept for the user alone, replaced whole; a damaged file is no token.
void TestSampler::restoreToken() {
    QTemporaryDir home;
    const std::string path = home.path().toStdString() + "/state/pixel-sampler/token";
    QCOMPARE(loadRestoreToken(path), std::string());
    QVERIFY(saveRestoreToken(path, "5f1b-77c0_a.2"));
    QCOMPARE(loadRestoreToken(path), std::string("5f1b-77c0_a.2"));
    struct stat file {};
    QVERIFY(stat(path.c_str(), &file) == 0 && (file.st_mode & 0777) == 0600);
    std::ofstream(path) << std::string("5f1b\0\xff{", 7);
    QCOMPARE(loadRestoreToken(path), std::string());
    QVERIFY(!saveRestoreToken(path, "a b"));
}

QTEST_APPLESS_MAIN(TestSampler)
#include "tst_sampler.moc"
