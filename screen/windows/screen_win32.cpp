// The Windows desktop through user32 and gdi32. The executable's manifest makes
// the process per-monitor DPI aware (v2), so the cursor and the screen share one
// set of physical coordinates on scaled displays.
//
// A tick is one moment of the screen: its first read copies the 3 x 3 block
// around it with one BitBlt (one read back from the desktop compositor, where
// nine GetPixel calls were nine), and the other reads come from that copy.

#include <windows.h>

#include <algorithm>
#include <array>

#include "sampler/screen.h"

namespace {

// One tick's hold on the screen: its DC, and the block once it is copied.
struct Tick {
    HDC screen = nullptr;
    bool blockTried = false;
    LONG left = 0, top = 0;
    std::array<ColorValue, 9> block;  // row by row; -1 where nothing was copied
};

bool onAMonitor(std::int32_t x, std::int32_t y) {
    return MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONULL) != nullptr;
}

// The 3 x 3 block around (x, y), clipped to the desktop's bounds, into a small
// DIB section; CAPTUREBLT takes layered windows in as they are seen. Every
// object made here is given back on every path.
void copyBlockAround(Tick& tick, std::int32_t x, std::int32_t y) {
    tick.block.fill(kInvalidColour);
    tick.left = x - 1;
    tick.top = y - 1;
    const LONG deskLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const LONG deskTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const LONG left = std::max<LONG>(tick.left, deskLeft);
    const LONG top = std::max<LONG>(tick.top, deskTop);
    const LONG right = std::min<LONG>(x + 1, deskLeft + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    const LONG bottom = std::min<LONG>(y + 1, deskTop + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    if (left > right || top > bottom) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -3;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(tick.screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = bitmap ? CreateCompatibleDC(tick.screen) : nullptr;
    if (memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        const LONG dx = left - tick.left, dy = top - tick.top;
        if (BitBlt(memory, dx, dy, right - left + 1, bottom - top + 1, tick.screen, left, top,
                   SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            const auto* pixels = static_cast<const std::uint8_t*>(bits);  // B, G, R, unused
            for (LONG row = dy; row <= dy + bottom - top; ++row) {
                for (LONG column = dx; column <= dx + right - left; ++column) {
                    const std::uint8_t* p = pixels + (row * 3 + column) * 4;
                    tick.block[row * 3 + column] = packColour(p[2], p[1], p[0]);
                }
            }
        }
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
}

class Win32Screen final : public Screen {
public:
    void cursorPosition(ScreenPoint& point) override {
        POINT p{point.x, point.y};
        GetCursorPos(&p);  // not examined: a failed read leaves the point where it was
        point = {p.x, p.y};
    }

    ScreenHandle acquire() override {
        HDC screen = GetDC(nullptr);
        return screen ? new Tick{screen, false, 0, 0, {}} : nullptr;
    }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        Tick* tick = static_cast<Tick*>(handle);
        // Between monitors, or off the desktop, there is no pixel to read.
        if (!tick || !onAMonitor(x, y)) {
            return kInvalidColour;
        }
        if (!tick->blockTried) {
            tick->blockTried = true;
            copyBlockAround(*tick, x, y);
        }
        const std::int64_t column = std::int64_t{x} - tick->left, row = std::int64_t{y} - tick->top;
        if (column >= 0 && column < 3 && row >= 0 && row < 3 &&
            tick->block[row * 3 + column] != kInvalidColour) {
            return tick->block[row * 3 + column];
        }
        // Outside the copy, or not copied: read on its own. COLORREF has red in
        // the low byte; CLR_INVALID is all ones.
        const COLORREF colour = GetPixel(tick->screen, x, y);
        return colour == CLR_INVALID ? kInvalidColour : static_cast<ColorValue>(colour);
    }

    void release(ScreenHandle handle) override {
        if (Tick* tick = static_cast<Tick*>(handle)) {
            ReleaseDC(nullptr, tick->screen);
            delete tick;
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
