#pragma once

#include <functional>
#include <vector>

#include "sampler/screen.h"

// A screen made of a function, which also records how the sampler used it.
class FakeScreen final : public Screen {
public:
    using ColourAt = std::function<ColorValue(std::int32_t x, std::int32_t y)>;

    explicit FakeScreen(ColourAt colourAt = [](std::int32_t, std::int32_t) { return 0; })
        : colourAt(std::move(colourAt)) {}

    ColourAt colourAt;
    ScreenPoint cursor;
    bool cursorReadFails = false;
    std::function<void()> beforeCursorRead;  // may throw, as a broken platform would

    int acquired = 0;
    int released = 0;
    bool misused = false;  // a read or release through anything but a live handle
    bool recordReads = true;
    std::vector<ScreenPoint> reads;

    void cursorPosition(ScreenPoint& point) override {
        if (beforeCursorRead) {
            beforeCursorRead();
        }
        if (!cursorReadFails) {
            point = cursor;
        }
    }

    ScreenHandle acquire() override {
        ++acquired;
        return &token_;
    }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        if (handle != &token_ || released >= acquired) {
            misused = true;
        }
        if (recordReads) {
            reads.push_back({x, y});
        }
        return colourAt(x, y);
    }

    void release(ScreenHandle handle) override {
        if (handle != &token_ || released >= acquired) {
            misused = true;
        }
        ++released;
    }

private:
    int token_ = 0;
};

// A colour for every pixel that no other pixel nearby shares.
inline ColorValue distinctColour(std::int32_t x, std::int32_t y) {
    return static_cast<ColorValue>((static_cast<std::uint32_t>(x) & 0xFFF) |
                                   (static_cast<std::uint32_t>(y) & 0xFFF) << 12);
}
