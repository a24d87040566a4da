#include "pixel_format.h"

#include <bit>

std::uint8_t scaleChannel(std::uint32_t value, int bits) {
    if (bits <= 0) {
        return 0;
    }
    if (bits >= 8) {
        return static_cast<std::uint8_t>(value >> (bits - 8));
    }
    std::uint32_t result = 0;
    for (int filled = 0; filled < 8; filled += bits) {
        result = result << bits | value;
    }
    // The loop may overshoot past 8 bits; keep the top 8 of what it built.
    const int built = ((8 + bits - 1) / bits) * bits;
    return static_cast<std::uint8_t>(result >> (built - 8));
}

bool readPixelValue(const PixelFormat& format, const std::uint8_t* data, std::size_t size,
                    std::uint32_t& pixel) {
    const int bytes = format.bitsPerPixel / 8;
    if (format.bitsPerPixel % 8 != 0 || bytes < 1 || bytes > 4 ||
        size < static_cast<std::size_t>(bytes)) {
        return false;
    }
    pixel = 0;
    for (int i = 0; i < bytes; ++i) {
        const int index = format.msbFirst ? i : bytes - 1 - i;
        pixel = pixel << 8 | data[index];
    }
    return true;
}

namespace {

std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return scaleChannel((pixel & mask) >> shift, bits);
}

}  // namespace

ColorValue colourFromPixel(const PixelFormat& format, std::uint32_t pixel) {
    return packColour(channel(pixel, format.redMask), channel(pixel, format.greenMask),
                      channel(pixel, format.blueMask));
}

ColorValue decodePixel(const PixelFormat& format, const std::uint8_t* data, std::size_t size) {
    std::uint32_t pixel = 0;
    if (!readPixelValue(format, data, size, pixel)) {
        return kInvalidColour;
    }
    return colourFromPixel(format, pixel);
}
