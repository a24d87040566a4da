#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/colour.h"

// How the pixels of a Z-format image are laid out, as the X server reports it:
// the depth, bits per pixel and scanline padding for that depth, the image byte
// order, and the visual's masks.
struct PixelFormat {
    int depth = 24;
    int bitsPerPixel = 32;
    int scanlinePad = 32;
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

// The raw pixel values of a width x height image, row by row, with the bits
// above the depth (padding, or an ARGB window's alpha) cleared. Empty when the
// data is too short or the pixel size is not a whole number of bytes.
std::vector<std::uint32_t> readPixelValues(const PixelFormat& format, const std::uint8_t* data,
                                           std::size_t size, int width, int height);

ColorValue colourFromPixel(const PixelFormat& format, std::uint32_t pixel);
