#include "x_fixture.h"

#include <QProcess>
#include <QStringList>
#include <bit>
#include <cstdlib>

#include "sampler/offsets.h"

namespace {

template <typename T>
std::unique_ptr<T, decltype(&std::free)> owned(T* p) {
    return {p, &std::free};
}

}  // namespace

XFixture::XFixture() {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    auto it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    screen_ = it.data;
    msbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen_->root_depth) {
            bitsPerPixel_ = f.data->bits_per_pixel;
        }
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen_->root_visual) {
                masks_[0] = v.data->red_mask;
                masks_[1] = v.data->green_mask;
                masks_[2] = v.data->blue_mask;
            }
        }
    }
}

XFixture::~XFixture() {
    xcb_disconnect(connection_);
}

std::uint32_t XFixture::distinctPixel(int x, int y) const {
    const std::uint32_t used = depth() >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << depth()) - 1;
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ static_cast<std::uint32_t>(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & used;
}

void XFixture::paintRoot(const std::function<std::uint32_t(int, int)>& pixelAt) {
    const int w = width();
    const int h = height();
    const int bytesPerPixel = bitsPerPixel_ / 8;
    const int stride = (w * bytesPerPixel + 3) / 4 * 4;
    const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, screen_->root_depth, pixmap, screen_->root, w, h);
    const xcb_gcontext_t gc = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc, pixmap, 0, nullptr);

    const std::uint32_t maxBytes = xcb_get_maximum_request_length(connection_) * 4 - 1024;
    const int rowsPerStrip =
        std::max(1, static_cast<int>(std::min<std::uint32_t>(maxBytes / stride, 64)));
    std::vector<std::uint8_t> strip;
    for (int top = 0; top < h; top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, h - top);
        strip.assign(static_cast<std::size_t>(stride) * rows, 0);
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = pixelAt(x, top + y);
                std::uint8_t* out =
                    &strip[static_cast<std::size_t>(y) * stride + x * bytesPerPixel];
                for (int b = 0; b < bytesPerPixel; ++b) {
                    const int shift = 8 * (msbFirst_ ? bytesPerPixel - 1 - b : b);
                    out[b] = static_cast<std::uint8_t>(p >> shift);
                }
            }
        }
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w, rows, 0, top, 0,
                      screen_->root_depth, strip.size(), strip.data());
    }
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(connection_, 0, screen_->root, 0, 0, 0, 0);
    xcb_free_gc(connection_, gc);
    xcb_free_pixmap(connection_, pixmap);
    sync();
}

std::vector<ColorValue> XFixture::serverColours(const std::vector<std::uint32_t>& pixels) {
    std::vector<ColorValue> colours;
    constexpr std::size_t kChunk = 4096;
    for (std::size_t start = 0; start < pixels.size(); start += kChunk) {
        const auto count = static_cast<std::uint32_t>(std::min(kChunk, pixels.size() - start));
        auto reply = owned(xcb_query_colors_reply(
            connection_,
            xcb_query_colors(connection_, screen_->default_colormap, count, &pixels[start]),
            nullptr));
        const xcb_rgb_t* rgb = reply ? xcb_query_colors_colors(reply.get()) : nullptr;
        for (std::uint32_t i = 0; i < count; ++i) {
            colours.push_back(rgb ? packColour(rgb[i].red >> 8, rgb[i].green >> 8, rgb[i].blue >> 8)
                                  : kInvalidColour);
        }
    }
    return colours;
}

std::vector<std::uint32_t> XFixture::rawPixels(const QRect& area) {
    std::vector<std::uint32_t> pixels;
    auto reply = owned(
        xcb_get_image_reply(connection_,
                            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                                          area.x(), area.y(), area.width(), area.height(), ~0u),
                            nullptr));
    if (!reply) {
        return pixels;
    }
    const std::uint8_t* data = xcb_get_image_data(reply.get());
    const int bytesPerPixel = bitsPerPixel_ / 8;
    const int stride = (area.width() * bytesPerPixel + 3) / 4 * 4;
    // Bits above the depth are padding (an ARGB window leaves its alpha there).
    const std::uint32_t used = depth() >= 32 ? ~0u : (std::uint32_t{1} << depth()) - 1;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            const std::uint8_t* in = data + y * stride + x * bytesPerPixel;
            std::uint32_t p = 0;
            for (int b = 0; b < bytesPerPixel; ++b) {
                const int shift = 8 * (msbFirst_ ? bytesPerPixel - 1 - b : b);
                p |= std::uint32_t{in[b]} << shift;
            }
            pixels.push_back(p & used);
        }
    }
    return pixels;
}

std::array<ColorValue, 9> XFixture::distinctColoursAround(int x, int y) {
    std::vector<std::uint32_t> raw;
    for (const SampleOffset& o : kSampleOffsets) {
        raw.push_back(distinctPixel(x + o.dx, y + o.dy));
    }
    const std::vector<ColorValue> colours = serverColours(raw);
    std::array<ColorValue, 9> result;
    std::copy(colours.begin(), colours.end(), result.begin());
    return result;
}

ColorValue XFixture::shownAt(int x, int y) {
    const std::vector<std::uint32_t> pixel = rawPixels(QRect(x, y, 1, 1));
    return pixel.empty() ? kInvalidColour : serverColour(pixel.front());
}

std::uint32_t XFixture::pixelFor(ColorValue colour) const {
    // Keep the top bits of each channel, as a true-colour server does when it draws.
    const int channels[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
    std::uint32_t p = 0;
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t mask = masks_[c];
        const int bits = std::popcount(mask);
        const int shift = std::countr_zero(mask);
        const std::uint32_t value = bits >= 8 ? std::uint32_t(channels[c]) << (bits - 8)
                                              : std::uint32_t(channels[c]) >> (8 - bits);
        p |= value << shift;
    }
    return p;
}

ColorValue XFixture::asDisplayed(ColorValue colour) {
    return serverColour(pixelFor(colour));
}

void XFixture::warpPointer(int x, int y) {
    xcb_warp_pointer(connection_, XCB_NONE, screen_->root, 0, 0, 0, 0, x, y);
    sync();
}

void XFixture::sync() {
    owned(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool runCommand(const QStringList& command, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(20000)) {
        return false;
    }
    if (output) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
