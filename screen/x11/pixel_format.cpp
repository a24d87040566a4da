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

std::vector<std::uint32_t> readPixelValues(const PixelFormat& format, const std::uint8_t* data,
                                           std::size_t size, int width, int height) {
    const int bytes = format.bitsPerPixel / 8;
    const int pad = format.scanlinePad > 0 ? format.scanlinePad : 8;
    if (format.bitsPerPixel % 8 != 0 || bytes < 1 || bytes > 4 || width < 1 || height < 1) {
        return {};
    }
    const std::size_t stride = (std::size_t(width) * format.bitsPerPixel + pad - 1) / pad * pad / 8;
    if (size < stride * (height - 1) + std::size_t(width) * bytes) {
        return {};
    }
    const std::uint32_t used =
        format.depth >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << format.depth) - 1;
    std::vector<std::uint32_t> values;
    values.reserve(std::size_t(width) * height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const std::uint8_t* pixel = data + row * stride + column * bytes;
            std::uint32_t value = 0;
            for (int i = 0; i < bytes; ++i) {
                value = value << 8 | pixel[format.msbFirst ? i : bytes - 1 - i];
            }
            values.push_back(value & used);
        }
    }
    return values;
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
