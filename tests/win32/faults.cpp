// The Windows program with a fault put in, for the runs under wine:
//   pixel-sampler-test.exe raise    the first tick's cursor read raises: the report, then status 1
//   pixel-sampler-test.exe dpi N    once the window is up, it is told it moved to an N dpi monitor
// (wine never sends WM_DPICHANGED itself).

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "sampler/screen.h"
#include "win32/form1_window.h"

namespace {

struct RaisingScreen final : Screen {
    void cursorPosition(ScreenPoint&) override { throw RuntimeError(6, "Overflow"); }
    ScreenHandle acquire() override { return nullptr; }
    ColorValue pixel(ScreenHandle, std::int32_t, std::int32_t) override { return kInvalidColour; }
    void release(ScreenHandle) override {}
};

int newDpi = 0;

// What Windows suggests: the frame at its place, sized for the new density.
void CALLBACK moveToNewDpi(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND window = FindWindowW(L"PixelSamplerForm1", nullptr);
    RECT frame{0, 0, twipsToPixels(design::kClientWidth, newDpi),
               twipsToPixels(design::kClientHeight, newDpi)},
        now;
    AdjustWindowRectExForDpi(&frame, GetWindowLongW(window, GWL_STYLE), FALSE, 0, newDpi);
    GetWindowRect(window, &now);
    OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                 reinterpret_cast<LPARAM>(&frame));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    const bool raise = __argc > 1 && std::strcmp(__argv[1], "raise") == 0;
    if (__argc > 2 && std::strcmp(__argv[1], "dpi") == 0) {
        newDpi = std::atoi(__argv[2]);
        SetTimer(nullptr, 0, 500, moveToNewDpi);
    }
    Form1Window window(raise ? std::make_unique<RaisingScreen>() : openSystemScreen());
    return window.run(instance, show);
}
