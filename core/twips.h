#pragma once

// The window is designed in twips (1/1440 inch): 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kBaseDpi = 96;

// Rounded to the nearest pixel, so that 3630 twips are 303 pixels at 120 dpi.
constexpr int twipsToPixels(int twips, int dpi = kBaseDpi) {
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;

    // Each edge is rounded on its own, so that controls that meet in twips
    // still meet in pixels at any density.
    constexpr PixelRect toPixels(int dpi = kBaseDpi) const {
        const int x = twipsToPixels(left, dpi);
        const int y = twipsToPixels(top, dpi);
        return {x, y, twipsToPixels(left + width, dpi) - x, twipsToPixels(top + height, dpi) - y};
    }
};
