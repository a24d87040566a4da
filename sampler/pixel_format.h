#pragma once

#include <cstddef>
#include <cstdint>

#include "../core/colour.h"

// How one pixel of a Z-format image is laid out, as the X server reports it:
// bits per pixel for the depth, the image byte order, and the visual's masks.
struct PixelFormat {
    int bitsPerPixel = 32;
    bool msbFirst = false;
    std::uint32_t redMask = 0xFF0000;
    std::uint32_t greenMask = 0x00FF00;
    std::uint32_t blueMask = 0x0000FF;

    // True-colour visuals decode from the masks alone; anything else needs the
    // server's colour map.
    bool hasMasks() const { return redMask != 0 && greenMask != 0 && blueMask != 0; }
};

// Scales a channel of `bits` bits to 8 by repeating its bit pattern, so that
// full scale stays full scale (5-bit 31 -> 255) and zero stays zero. Wider
// channels keep their top 8 bits.
std::uint8_t scaleChannel(std::uint32_t value, int bits);

// The raw pixel value at the start of `data`; false when the data is too short
// or the pixel size is not one a 1 x 1 image can hold byte-aligned.
bool readPixelValue(const PixelFormat& format, const std::uint8_t* data, std::size_t size,
                    std::uint32_t& pixel);

ColorValue colourFromPixel(const PixelFormat& format, std::uint32_t pixel);

// Both steps; kInvalidColour where the data cannot be read.
ColorValue decodePixel(const PixelFormat& format, const std::uint8_t* data, std::size_t size);
