// The Windows desktop through user32 and gdi32. The executable's manifest makes
// the process per-monitor DPI aware (v2), so the cursor and GetPixel share one
// set of physical coordinates on scaled displays.

#include <windows.h>

#include "sampler/screen.h"

namespace {

class Win32Screen final : public Screen {
public:
    void cursorPosition(ScreenPoint& point) override {
        POINT p{point.x, point.y};
        GetCursorPos(&p);  // not examined: a failed read leaves the point where it was
        point = {p.x, p.y};
    }

    ScreenHandle acquire() override { return GetDC(nullptr); }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        const COLORREF colour = GetPixel(static_cast<HDC>(handle), x, y);
        // COLORREF already has red in the low byte; CLR_INVALID is all ones.
        return colour == CLR_INVALID ? kInvalidColour : static_cast<ColorValue>(colour);
    }

    void release(ScreenHandle handle) override {
        if (handle != nullptr) {
            ReleaseDC(nullptr, static_cast<HDC>(handle));
        }
    }
};

}  // namespace

std::unique_ptr<Screen> openSystemScreen() {
    return std::make_unique<Win32Screen>();
}

std::string prepareWindowPlatform() {
    return {};
}
