#pragma once

#include <cstdint>

#include "core/colour.h"

// An output's pixels as a wlroots compositor copies them: in the output's buffer,
// which a turned or flipped output shows turned or flipped, possibly bottom row
// first, in one of several layouts. Nothing of Wayland's here, so that every
// layout and turn can be checked without a compositor.
struct OutputCopy {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t format = 0;  // wl_shm's code
    std::int32_t width = 0;    // the buffer's, as copied
    std::int32_t height = 0;
    std::int32_t stride = 0;
    bool yInverted = false;
    int transform = 0;  // wl_output's: 0-3 turned by quarters, 4-7 mirrored, then turned
};

// A layout's wl_shm code, from its four characters (DRM's), as wl_shm has all but
// its two oldest, ARGB8888 (0) and XRGB8888 (1).
constexpr std::uint32_t fourcc(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

// The layouts read: 8 and 10 bits a channel, either channel order, alpha or not.
bool knownCopyFormat(std::uint32_t format);

// The output's size as the user sees it, in its own pixels: a quarter turn swaps the sides.
struct ShownSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
ShownSize shownSize(std::int32_t bufferWidth, std::int32_t bufferHeight, int transform);

// The colour the user sees at (x, y) of the output, counted in its own pixels
// from its top-left corner as shown; -1 off the copy or in a layout not read.
ColorValue shownPixel(const OutputCopy& copy, std::int32_t x, std::int32_t y);
