#pragma once

#include <xcb/xcb.h>

#include <QRect>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/colour.h"

// The test's own view of the X server: it puts known pixels on the root window,
// moves the pointer, and asks the server what colour a pixel value stands for,
// so that expectations come from the server and not from the reader under test.
class XFixture {
public:
    XFixture();
    ~XFixture();

    bool connected() const { return screen_ != nullptr; }
    int width() const { return screen_->width_in_pixels; }
    int height() const { return screen_->height_in_pixels; }
    int depth() const { return screen_->root_depth; }

    // Makes the root's background (which survives windows coming and going)
    // show the raw pixel value `pixelAt(x, y)` at every point.
    void paintRoot(const std::function<std::uint32_t(int x, int y)>& pixelAt);
    // The same with colours, each drawn as this visual shows it.
    void paintRootColours(const std::function<ColorValue(int x, int y)>& colourAt) {
        paintRoot([&](int x, int y) { return pixelFor(colourAt(x, y)); });
    }
    // A raw pixel value that no neighbour within a few pixels shares, within the
    // bits the root visual uses.
    std::uint32_t distinctPixel(int x, int y) const;

    // The server's colour for raw pixel values, as 8-bit channels.
    std::vector<ColorValue> serverColours(const std::vector<std::uint32_t>& pixels);
    ColorValue serverColour(std::uint32_t pixel) { return serverColours({pixel}).front(); }
    // The server's colours of the distinct pixels around (x, y), by swatch index.
    std::array<ColorValue, 9> distinctColoursAround(int x, int y);
    // What the root shows at (x, y) now, read raw from the server and looked up there.
    ColorValue shownAt(int x, int y);
    // The raw pixel values of a rectangle of the root, row by row, padding masked off.
    std::vector<std::uint32_t> rawPixels(const QRect& area);
    // The colour a window painting `colour` ends up showing on this visual.
    ColorValue asDisplayed(ColorValue colour);

    void warpPointer(int x, int y);
    void sync();

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return screen_->root; }

private:
    std::uint32_t pixelFor(ColorValue colour) const;

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    int bitsPerPixel_ = 32;
    bool msbFirst_ = false;
    std::uint32_t masks_[3] = {0, 0, 0};
};

// Runs a command line to completion; false when it failed to run or exited non-zero.
bool runCommand(const QStringList& command, QString* output = nullptr);
