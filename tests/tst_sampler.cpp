// Pixel layouts an X server may report that the end-to-end servers here never
// use; screen cast frames at scales and layouts the GNOME test cannot set; a
// wlroots desktop's copies in layouts and row orders sway does not make here,
// and its pointer at fractional scales; the kept approval against what a
// hostile or damaged state folder holds.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-server.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <vector>

#include "core/scaled_layout.h"
#include "sampler/offsets.h"
#include "screen/wayland/frame_store.h"
#include "screen/wayland/kept_frame.h"
#include "screen/wayland/restore_token.h"
#include "screen/wlroots/connection.h"
#include "screen/wlroots/output_copy.h"
#include "screen/x11/pixel_format.h"

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(PixelFormat)
Q_DECLARE_METATYPE(OutputCopy)

class TestSampler : public QObject {
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void screenCast_data();
    void screenCast();
    void wlrootsCopy_data();
    void wlrootsCopy();
    void wlrootsYInverted();
    void pointerPixel();
    void wlrootsConnectionLost();
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
    const auto values = readPixelValues(format, bytes.data(), bytes.size(), 2, 2);
    QCOMPARE(values.empty() ? -1 : colourFromPixel(format, values.back()), colour);
}

// Screen cast streams as a desktop places them: logical geometry from the
// portal, frames and cursor in each stream's own pixels. Each pixel holds its
// own stream and position, so a read says where it was read.
struct CastStream {
    MonitorRect place;  // logical
    int width, height;  // the frame's pixels
    spa_video_format order;
};
struct Cursor {
    int stream, x, y;  // in the stream's pixels
    bool valid;        // false: the pointer is not on the stream's monitor at all
    int time;
};
struct Read {
    int k;             // which of the nine
    int stream, x, y;  // where it lands; stream -1: off every monitor
};
using Streams = std::vector<CastStream>;
using Cursors = std::vector<Cursor>;
using Reads = std::vector<Read>;
Q_DECLARE_METATYPE(Streams)
Q_DECLARE_METATYPE(Cursors)
Q_DECLARE_METATYPE(Reads)

static ColorValue shown(int stream, int x, int y) {
    return packColour(x, y, stream << 6 | (x >> 8) << 3 | y >> 8);
}

// A buffer as PipeWire hands it over: the cursor at a time (not on this
// monitor, or at x, y), and unless `frame` is -1 the pixels shown(frame, x, y)
// in the format's order, rows padded past the width.
struct Buffer {
    spa_meta_header header{};
    spa_meta_cursor cursor{};
    spa_meta metas[2] = {{SPA_META_Header, sizeof header, &header},
                         {SPA_META_Cursor, sizeof cursor, &cursor}};
    Bytes bytes;
    spa_chunk chunk{};
    spa_data data{SPA_DATA_MemPtr, 0, -1, 0, 0, nullptr, &chunk};
    spa_buffer buffer{2, 1, metas, &data};
};
static std::unique_ptr<Buffer> buffer(const spa_video_info_raw& f, int frame, const Cursor& c) {
    auto b = std::make_unique<Buffer>();
    b->header.pts = c.time;
    b->cursor = {c.valid, 0, {c.x, c.y}, {0, 0}, 0};
    const int stride = int(f.size.width) * 4 + 8,
              size = frame < 0 ? 0 : stride * int(f.size.height);
    const bool rgb = f.format == SPA_VIDEO_FORMAT_RGBx;
    b->bytes.assign(std::size_t(size), 0xEE);
    for (int i = 0; i < size; ++i) {
        const int x = i % stride / 4, channel = rgb ? i % 4 : 2 - i % 4;
        if (x < int(f.size.width) && i % 4 < 3) {
            b->bytes[i] = std::uint8_t(shown(frame, x, i / stride) >> 8 * channel);
        }
    }
    b->chunk = {0, std::uint32_t(size), stride, 0};
    b->data.maxsize = std::uint32_t(size), b->data.data = b->bytes.data();
    if (frame < 0 && c.time % 2) {  // some with the cursor alone have no data plane at all
        b->buffer = {2, 0, b->metas, nullptr};
    }
    return b;
}

void TestSampler::screenCast_data() {
    QTest::addColumn<Streams>("streams");
    QTest::addColumn<Cursors>("cursors");    // in the order they arrive
    QTest::addColumn<QList<int>>("cursor");  // stream, x, y; empty: not known
    QTest::addColumn<Reads>("crossings");    // the nine reads that leave the cursor's frame
    constexpr auto B = SPA_VIDEO_FORMAT_BGRx, R = SPA_VIDEO_FORMAT_RGBx;
    // (Crossings at scales 2 and 1.5, corners, and the cursor given by two streams
    // at their shared edge are read on GNOME itself.)
    const Streams mixed{{{0, 0, 8, 6}, 8, 6, R}, {{8, 0, 8, 6}, 16, 12, B}};
    // KDE Plasma's way: a monitor at 125 % at a logical origin below the other's top.
    QTest::newRow("scale 1.25 at a logical origin")
        << Streams{{{0, 0, 8, 8}, 8, 8, B}, {{8, 2, 8, 8}, 10, 10, B}}
        << Cursors{{0, 0, 0, false, 1}, {1, 0, 0, true, 2}} << QList<int>{1, 0, 0}
        << Reads{{1, -1, 0, 0}, {2, -1, 0, 0}, {6, 0, 7, 1}, {7, 0, 7, 2}, {8, 0, 7, 2}};
    // The pointer went to a monitor that is not shared: where it was is no sample.
    QTest::newRow("cursor marked invalid")
        << mixed << Cursors{{0, 3, 3, true, 1}, {0, 3, 3, false, 2}} << QList<int>{} << Reads{};
    // The stream thread met the right monitor's newer buffer first.
    QTest::newRow("newest by the buffers' time")
        << mixed << Cursors{{1, 6, 4, true, 5}, {0, 2, 2, true, 3}} << QList<int>{1, 6, 4}
        << Reads{};
}

void TestSampler::screenCast() {
    QFETCH(Streams, streams);
    QFETCH(Cursors, cursors);
    QFETCH(QList<int>, cursor);
    QFETCH(Reads, crossings);
    std::vector<MonitorRect> places;
    std::transform(streams.begin(), streams.end(), std::back_inserter(places),
                   [](const CastStream& c) { return c.place; });
    FrameStore store(places);
    std::vector<KeptFrame> kept;
    std::vector<spa_video_info_raw> formats(streams.size());
    std::vector<std::unique_ptr<Buffer>> frames;  // every stream's first, kept
    for (std::size_t i = 0; i < streams.size(); ++i) {
        formats[i].format = streams[i].order;
        formats[i].size = {std::uint32_t(streams[i].width), std::uint32_t(streams[i].height)};
        const auto& b = frames.emplace_back(buffer(formats[i], int(i), {}));
        QCOMPARE(kept.emplace_back(store, i).arrived(b.get(), b->buffer, formats[i]), nullptr);
    }
    for (const Cursor& c : cursors) {  // in buffers of their own, given back at once
        const auto b = buffer(formats[c.stream], -1, c);
        QCOMPARE(kept[c.stream].arrived(b.get(), b->buffer, formats[c.stream]), b.get());
    }
    const std::optional<FrameStore::StreamPoint> at = store.cursor();
    const QList<int> where = at ? QList<int>{int(at->stream), at->x, at->y} : QList<int>{};
    QCOMPARE(where, cursor);
    if (!at) {
        QCOMPARE(store.pixel(at, 3, 3), kInvalidColour);  // nothing read around (0, 0)
        return;
    }
    for (int k = 0; k < kSwatchCount; ++k) {
        const int x = at->x + kSampleOffsets[k].dx, y = at->y + kSampleOffsets[k].dy;
        Read expected{k, int(at->stream), x, y};
        for (const Read& r : crossings) {
            expected = r.k == k ? r : expected;
        }
        QCOMPARE(store.pixel(at, x, y), expected.stream < 0
                                            ? kInvalidColour
                                            : shown(expected.stream, expected.x, expected.y));
    }
    // The streams rest and wake: the frames stay, the pointer is unknown until a buffer says.
    store.woken();
    QVERIFY(!store.cursor() &&
            store.pixel(at, at->x, at->y) == shown(int(at->stream), at->x, at->y));
    // A newer frame: the one kept goes back; then the stream takes the newer back.
    const auto newer = buffer(formats[at->stream], 2, {int(at->stream), at->x, at->y, true, 9});
    QCOMPARE(kept[at->stream].arrived(newer.get(), newer->buffer, formats[at->stream]),
             frames[at->stream].get());
    QCOMPARE(store.pixel(at, at->x, at->y), shown(2, at->x, at->y));
    kept[at->stream].takenBack(newer.get());
    QCOMPARE(store.pixel(at, at->x, at->y), kInvalidColour);
}

// A wlroots desktop's copies in the layouts sway does not make here: 2 x 2
// pixels, the one looked at is the last. Red 0x12, green 0x34, blue
// 0x56 in each (10 bits: 0x04B, 0x0D0, 0x159, whose top 8 bits they are).
void TestSampler::wlrootsCopy_data() {
    QTest::addColumn<OutputCopy>("copy");
    QTest::addColumn<Bytes>("last");  // the last pixel's bytes, from its first; the rest are 0
    QTest::addColumn<int>("colour");
    QTest::newRow("ABGR8888") << OutputCopy{nullptr, fourcc("AB24"), 2, 2, 8}
                              << Bytes{0x12, 0x34, 0x56, 0} << 0x563412;
    QTest::newRow("ARGB2101010") << OutputCopy{nullptr, fourcc("AR30"), 2, 2, 8}
                                 << Bytes{0x59, 0x41, 0xB3, 0xC4} << 0x563412;
    QTest::newRow("XBGR2101010") << OutputCopy{nullptr, fourcc("XB30"), 2, 2, 8}
                                 << Bytes{0x4B, 0x40, 0x93, 0x15} << 0x563412;
    QTest::newRow("rows padded to 12 bytes")
        << OutputCopy{nullptr, 1, 2, 2, 12} << Bytes{0x56, 0x34, 0x12, 0, 0xEE} << 0x563412;
    QTest::newRow("RGB565: not read")
        << OutputCopy{nullptr, fourcc("RG16"), 2, 2, 8} << Bytes{0x56, 0x34, 0x12, 0} << -1;
    QTest::newRow("rows shorter than their pixels")
        << OutputCopy{nullptr, 1, 2, 2, 4} << Bytes{} << -1;
}

void TestSampler::wlrootsCopy() {
    QFETCH(OutputCopy, copy);
    QFETCH(Bytes, last);
    QFETCH(int, colour);
    Bytes bytes(std::size_t(copy.stride) * 2, 0);
    std::copy(last.begin(), last.end(), bytes.begin() + copy.stride + 4);
    copy.bytes = bytes.data();
    QCOMPARE(shownPixel(copy, 1, 1), colour);
    QCOMPARE(shownPixel(copy, 2, 1), kInvalidColour);
}

// A copy stored bottom row first (sway's are not): turned as the rows are in the
// buffer, not as shown. Its 3 x 2 buffer's pixels in memory order 0 to 5, as the
// user sees them row by row on an output turned 90 (sway's 270).
void TestSampler::wlrootsYInverted() {
    const Bytes bytes{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    QList<int> seen;
    for (int i = 0; i < 7; ++i) {
        seen.append(shownPixel({bytes.data(), 1, 3, 2, 12, true, 1}, i % 2, i / 2) >> 16);
    }
    QCOMPARE(seen, QList({0, 3, 1, 4, 2, 5, -1}));
}

// The pointer's pixel where a compositor rounds a fractional scale's logical
// size (sway, which cuts it, is the end-to-end test's): 1440 / 1.75 = 822.86 is
// 823; and where no simple scale gives the sizes, their ratio.
void TestSampler::pointerPixel() {
    const std::vector<ScaledMonitor> layout{{{0, 0, 1463, 823}, 2560, 1440},
                                            {{1463, 0, 999, 999}, 1000, 1000}};
    const auto at = pixelUnder(layout, 0, 1000 * 256, 8228 * 256 / 10);
    QCOMPARE(QList({at->x, at->y}), QList({1750, 1439}));
    QCOMPARE(pixelUnder(layout, 1, 9985 * 256 / 10, 0)->x, 999);
}

// A compositor that ends the connection with a fatal error, an answer queued
// behind it: the connection is given up at once, every wait after it too,
// instead of spinning the window's thread on what can no longer be dispatched.
void TestSampler::wlrootsConnectionLost() {
    int fds[2];
    QVERIFY(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    wl_display* compositor = wl_display_create();
    wl_client* client = wl_client_create(compositor, fds[0]);
    Connection connection(wl_display_connect_to_fd(fds[1]));
    wl_callback* answered = wl_display_sync(connection.display());
    wl_display_flush(connection.display());
    wl_event_loop_dispatch(wl_display_get_event_loop(compositor), 1000);
    wl_client_post_no_memory(client);
    wl_display_flush_clients(compositor);
    QVERIFY(!connection.catchUp() && connection.lost());
    QVERIFY(!connection.catchUp() && !connection.waitFor([] { return false; }, 60000));
    wl_callback_destroy(answered);
    wl_display_destroy_clients(compositor);
    wl_display_destroy(compositor);
}

void TestSampler::restoreToken() {
    QTemporaryDir home;
    const std::string root = home.path().toStdString(), folder = root + "/state/pixel-sampler";
    const std::string path = folder + "/token";
    qputenv("HOME", "");
    qunsetenv("XDG_STATE_HOME");
    QCOMPARE(restoreTokenPath(), std::string());  // an empty HOME is no home
    qputenv("HOME", home.path().toUtf8());
    QCOMPARE(restoreTokenPath(), root + "/.local/state/pixel-sampler/screen-cast-token");
    QCOMPARE(saveRestoreToken(path, "5f1b-77c0_a.2"), std::string());
    QCOMPARE(loadRestoreToken(path), std::string("5f1b-77c0_a.2"));
    struct stat file {
    }, dir{};
    QVERIFY(stat(path.c_str(), &file) == 0 && (file.st_mode & 0777) == 0600);
    QVERIFY(stat(folder.c_str(), &dir) == 0 && (dir.st_mode & 0777) == 0700);
    QCOMPARE(QDir(QString::fromStdString(folder)).count(), 3u);  // no temporary file left
    QVERIFY(link(path.c_str(), (root + "/old").c_str()) == 0);   // replaced, not written over
    // What a run killed while writing left, at the name this one would once have taken.
    const std::string leftover = path + ".new-" + std::to_string(getpid());
    std::ofstream(leftover) << "5f1a\n";
    const timespec minutesAgo[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
    QVERIFY(utimensat(AT_FDCWD, leftover.c_str(), minutesAgo, 0) == 0);
    QCOMPARE(saveRestoreToken(path, "5f1c"), std::string());
    QVERIFY(access(leftover.c_str(), F_OK) != 0);
    QCOMPARE(loadRestoreToken(root + "/old"), std::string("5f1b-77c0_a.2"));
    std::ofstream(path) << std::string("5f1b\0\xff{", 7);
    QCOMPARE(loadRestoreToken(path), std::string());
    QVERIFY(!saveRestoreToken(path, "a b").empty());
    // A link or a pipe planted at the token's name.
    QCOMPARE(forgetRestoreToken(path), std::string());
    QVERIFY(symlink("/etc/hostname", path.c_str()) == 0);
    QCOMPARE(loadRestoreToken(path), std::string());
    QCOMPARE(forgetRestoreToken(path), std::string());
    QVERIFY(mkfifo(path.c_str(), 0600) == 0);
    QCOMPARE(loadRestoreToken(path), std::string());
    // A folder others may write to is neither written nor read; nor one swapped for a link.
    QCOMPARE(forgetRestoreToken(path), std::string());
    QCOMPARE(saveRestoreToken(path, "5f1b"), std::string());
    chmod(folder.c_str(), 0777);
    QCOMPARE(saveRestoreToken(path, "5f1b"), folder + " is not the user's alone");
    QCOMPARE(loadRestoreToken(path), std::string());
    chmod(folder.c_str(), 0700);
    QVERIFY(rename(folder.c_str(), (root + "/real").c_str()) == 0 &&
            symlink((root + "/real").c_str(), folder.c_str()) == 0);
    QCOMPARE(loadRestoreToken(path), std::string());
    QVERIFY(!saveRestoreToken(path, "5f1b").empty());
}

QTEST_APPLESS_MAIN(TestSampler)
#include "tst_sampler.moc"
