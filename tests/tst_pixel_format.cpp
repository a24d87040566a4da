#include <QTest>
#include <vector>

#include "sampler/pixel_format.h"

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {

PixelFormat format(int bpp, bool msb, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    PixelFormat f;
    f.bitsPerPixel = bpp;
    f.msbFirst = msb;
    f.redMask = r;
    f.greenMask = g;
    f.blueMask = b;
    return f;
}

// What the X server's own colour map answers for a channel value: full scale
// spread over 16 bits, of which a client sees the top 8.
int serverLookUp(std::uint32_t value, int bits) {
    return static_cast<int>((value * 65535u / ((1u << bits) - 1)) >> 8);
}

}  // namespace

class TestPixelFormat : public QObject {
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void bitReplicationMatchesServer_data();
    void bitReplicationMatchesServer();
    void unreadableData();
};

void TestPixelFormat::decode_data() {
    QTest::addColumn<PixelFormat>("fmt");
    QTest::addColumn<std::vector<std::uint8_t>>("bytes");
    QTest::addColumn<int>("colour");

    const PixelFormat rgb24 = format(32, false, 0xFF0000, 0x00FF00, 0x0000FF);
    // Red 0x12, green 0x34, blue 0x56 in each layout; the result is always COLORREF 0x563412.
    QTest::newRow("depth 24, 32 bpp, LSB first")
        << rgb24 << std::vector<std::uint8_t>{0x56, 0x34, 0x12, 0x00} << 0x563412;
    QTest::newRow("depth 24, 32 bpp, MSB first")
        << format(32, true, 0xFF0000, 0x00FF00, 0x0000FF)
        << std::vector<std::uint8_t>{0x00, 0x12, 0x34, 0x56} << 0x563412;
    QTest::newRow("depth 24, padding byte ignored")
        << rgb24 << std::vector<std::uint8_t>{0x56, 0x34, 0x12, 0xFF} << 0x563412;
    QTest::newRow("depth 24, 24 bpp") << format(24, false, 0xFF0000, 0x00FF00, 0x0000FF)
                                      << std::vector<std::uint8_t>{0x56, 0x34, 0x12} << 0x563412;
    QTest::newRow("depth 24, BGR masks")
        << format(32, false, 0x0000FF, 0x00FF00, 0xFF0000)
        << std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x00} << 0x563412;
    // 5-6-5: red 31, green 0, blue 0 is full red.
    QTest::newRow("depth 16, full red, LSB first")
        << format(16, false, 0xF800, 0x07E0, 0x001F) << std::vector<std::uint8_t>{0x00, 0xF8}
        << 0x0000FF;
    QTest::newRow("depth 16, full red, MSB first")
        << format(16, true, 0xF800, 0x07E0, 0x001F) << std::vector<std::uint8_t>{0xF8, 0x00}
        << 0x0000FF;
    QTest::newRow("depth 16, full blue") << format(16, false, 0xF800, 0x07E0, 0x001F)
                                         << std::vector<std::uint8_t>{0x1F, 0x00} << 0xFF0000;
    // green 6-bit 32 -> 130 (0b100000 10), red and blue 5-bit 16 -> 132.
    QTest::newRow("depth 16, middle grey")
        << format(16, false, 0xF800, 0x07E0, 0x001F) << std::vector<std::uint8_t>{0x10, 0x84}
        << packColour(132, 130, 132);
    QTest::newRow("depth 15") << format(16, false, 0x7C00, 0x03E0, 0x001F)
                              << std::vector<std::uint8_t>{0xFF, 0x7F} << 0xFFFFFF;
    // 10-10-10 in 32 bits: red 0x3FF, green 0x200, blue 0x001 -> 255, 128, 0.
    QTest::newRow("depth 30") << format(32, false, 0x3FF00000, 0x000FFC00, 0x000003FF)
                              << std::vector<std::uint8_t>{0x01, 0x00, 0xF8, 0x3F}
                              << packColour(255, 128, 0);
    QTest::newRow("depth 30, MSB first")
        << format(32, true, 0x3FF00000, 0x000FFC00, 0x000003FF)
        << std::vector<std::uint8_t>{0x3F, 0xF8, 0x00, 0x01} << packColour(255, 128, 0);
}

void TestPixelFormat::decode() {
    QFETCH(PixelFormat, fmt);
    QFETCH(std::vector<std::uint8_t>, bytes);
    QFETCH(int, colour);
    QCOMPARE(decodePixel(fmt, bytes.data(), bytes.size()), colour);
}

void TestPixelFormat::bitReplicationMatchesServer_data() {
    QTest::addColumn<int>("bits");
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8}) {
        QTest::addRow("%d bits", bits) << bits;
    }
}

void TestPixelFormat::bitReplicationMatchesServer() {
    QFETCH(int, bits);
    for (std::uint32_t v = 0; v < (1u << bits); ++v) {
        QCOMPARE(int(scaleChannel(v, bits)), serverLookUp(v, bits));
    }
}

void TestPixelFormat::unreadableData() {
    const PixelFormat f = format(32, false, 0xFF0000, 0x00FF00, 0x0000FF);
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    QCOMPARE(decodePixel(f, bytes, 3), kInvalidColour);  // short reply
    QCOMPARE(decodePixel(format(4, false, 0, 0, 0), bytes, 4), kInvalidColour);
    QCOMPARE(decodePixel(format(0, false, 0, 0, 0), bytes, 4), kInvalidColour);
}

QTEST_APPLESS_MAIN(TestPixelFormat)
#include "tst_pixel_format.moc"
