#include "output_copy.h"

namespace {

// wl_shm's codes: the two oldest are 0 and 1, the rest DRM's four characters.
// Each names a little-endian 32-bit word, highest field first.
constexpr std::uint32_t kArgb8888 = 0, kXrgb8888 = 1;
constexpr std::uint32_t kAbgr8888 = fourcc("AB24"), kXbgr8888 = fourcc("XB24");
constexpr std::uint32_t kArgb2101010 = fourcc("AR30");
constexpr std::uint32_t kXrgb2101010 = fourcc("XR30");
constexpr std::uint32_t kAbgr2101010 = fourcc("AB30");
constexpr std::uint32_t kXbgr2101010 = fourcc("XB30");

struct Layout {
    int bits;      // a channel's
    bool redHigh;  // red in the highest field below alpha (xRGB), else blue (xBGR)
};

bool layoutOf(std::uint32_t format, Layout& layout) {
    switch (format) {
        case kArgb8888:
        case kXrgb8888:
            layout = {8, true};
            return true;
        case kAbgr8888:
        case kXbgr8888:
            layout = {8, false};
            return true;
        case kArgb2101010:
        case kXrgb2101010:
            layout = {10, true};
            return true;
        case kAbgr2101010:
        case kXbgr2101010:
            layout = {10, false};
            return true;
        default:
            return false;
    }
}

}  // namespace

bool knownCopyFormat(std::uint32_t format) {
    Layout layout;
    return layoutOf(format, layout);
}

ShownSize shownSize(std::int32_t bufferWidth, std::int32_t bufferHeight, int transform) {
    return transform % 2 ? ShownSize{bufferHeight, bufferWidth}
                         : ShownSize{bufferWidth, bufferHeight};
}

ColorValue shownPixel(const OutputCopy& copy, std::int32_t x, std::int32_t y) {
    Layout layout;
    const ShownSize shown = shownSize(copy.width, copy.height, copy.transform);
    if (!copy.bytes || !layoutOf(copy.format, layout) || copy.stride < copy.width * 4 || x < 0 ||
        y < 0 || x >= shown.width || y >= shown.height) {
        return kInvalidColour;
    }
    // Where the buffer holds what is shown at (x, y), as the compositor turns
    // and mirrors it; wl_output counts its quarter turns anticlockwise.
    const std::int32_t w = shown.width, h = shown.height;
    std::int32_t bx = x, by = y;
    switch (copy.transform) {
        case 1:
            bx = y, by = w - 1 - x;
            break;
        case 2:
            bx = w - 1 - x, by = h - 1 - y;
            break;
        case 3:
            bx = h - 1 - y, by = x;
            break;
        case 4:
            bx = w - 1 - x;
            break;
        case 5:
            bx = y, by = x;
            break;
        case 6:
            by = h - 1 - y;
            break;
        case 7:
            bx = h - 1 - y, by = w - 1 - x;
            break;
        default:
            break;
    }
    if (copy.yInverted) {
        by = copy.height - 1 - by;
    }
    const std::uint8_t* p =
        copy.bytes + std::size_t(by) * std::size_t(copy.stride) + std::size_t(bx) * 4;
    const std::uint32_t word = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                               std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    // The top 8 bits of each channel: a 10-bit output's finer steps are not a
    // colour value's.
    const int b = layout.bits, mask = (1 << b) - 1, drop = b - 8;
    const int high = int(word >> 2 * b) & mask, middle = int(word >> b) & mask,
              low = int(word) & mask;
    const int red = layout.redHigh ? high : low, blue = layout.redHigh ? low : high;
    return packColour(red >> drop, middle >> drop, blue >> drop);
}
