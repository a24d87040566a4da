#pragma once

#include <cstdint>
#include <string>

// A colour is packed like the Windows COLORREF: red in the low byte, then green,
// then blue; the top byte stays zero. -1 (every bit set) is what a failed pixel
// read gives back, and no control accepts it.
using ColorValue = std::int32_t;

inline constexpr ColorValue kInvalidColour = -1;
inline constexpr ColorValue kWhite = 0xFFFFFF;

constexpr bool isColour(ColorValue value) {
    return value >= 0 && value <= kWhite;
}

constexpr ColorValue packColour(int red, int green, int blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr int redOf(ColorValue c) {
    return c & 0xFF;
}
constexpr int greenOf(ColorValue c) {
    return c >> 8 & 0xFF;
}
constexpr int blueOf(ColorValue c) {
    return c >> 16 & 0xFF;
}

// Raises the invalid-value error for anything a control must refuse.
void requireColour(ColorValue value);

// Numbers appear in the window as plain signed decimals: "-1", "255", no
// separators and no padding, whatever the user's locale says.
std::string decimal(std::int32_t value);
