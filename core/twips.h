#pragma once

// The window is described in twips (1/1440 inch). At 96 dpi a pixel is 15
// twips; the window lays itself out in logical pixels and leaves other
// densities to the toolkit's scaling, so this is the only conversion needed.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};
