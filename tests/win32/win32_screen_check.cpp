// Checks the Windows build where it runs: the screen reader against known
// colours, the cursor, a whole tick, and the executable's own resources.
//   win32_screen_check pixels W H | cursor X Y | tick X Y | resources

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pattern.h"
#include "sampler/offsets.h"
#include "sampler/screen.h"
#include "sampler/tick.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::printf("%s ", ok ? "ok  " : "FAIL");
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    ++(ok ? passed : failed);
}

void checkPixel(ScreenLease& lease, int x, int y, ColorValue expected) {
    const ColorValue got = lease.pixel(x, y);
    check(got == expected, "pixel (%d, %d) = %d (0x%06X), expected %d (0x%06X)", x, y, got,
          static_cast<unsigned>(got), expected, static_cast<unsigned>(expected));
}

void pixels(int w, int h) {
    check(GetSystemMetrics(SM_CXSCREEN) == w && GetSystemMetrics(SM_CYSCREEN) == h,
          "screen is %d x %d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    auto screen = openSystemScreen();
    ScreenLease lease(*screen);
    const int xs[] = {0, 1, w / 2, w - 2, w - 1};
    const int ys[] = {0, 1, h / 2, h - 2, h - 1};
    for (int y : ys) {
        for (int x : xs) {
            checkPixel(lease, x, y, patternColour(x, y));
        }
    }
    // Just outside on every side, and the far corners.
    for (auto [x, y] : {std::pair{-1, h / 2},
                        {w, h / 2},
                        {w / 2, -1},
                        {w / 2, h},
                        {-1, -1},
                        {w, h},
                        {w, -1},
                        {-1, h}}) {
        checkPixel(lease, x, y, kInvalidColour);
    }
}

void handlesAreGivenBack() {
    auto screen = openSystemScreen();
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 2000; ++i) {
        ScreenLease lease(*screen);
        lease.pixel(0, 0);
    }
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before == 0 && after == 0) {
        std::printf(
            "note GDI object counts are not reported here (wine); handle release unchecked\n");
        return;
    }
    check(after <= before + 4, "GDI objects before %lu, after 2000 screen handles %lu",
          static_cast<unsigned long>(before), static_cast<unsigned long>(after));
}

void cursor(int x, int y) {
    auto screen = openSystemScreen();
    ScreenPoint p;
    screen->cursorPosition(p);
    check(p.x == x && p.y == y, "cursor at (%d, %d), expected (%d, %d)", p.x, p.y, x, y);
}

// The controls of a console: what the tick writes, kept for inspection.
class ConsoleControls final : public SampleControls {
public:
    ColorValue swatchFillColour(int index) const override { return swatches[index]; }
    void setSwatchFillColour(int index, ColorValue colour) override {
        requireColour(colour);
        swatches[index] = colour;
    }
    void appendListLine(const std::string& line) override { lines.push_back(line); }
    void disarmTimer() override { armed = false; }
    void setLabelBackColour(ColorValue colour) override {
        requireColour(colour);
        back = colour;
    }
    void setLabelCaption(const std::string& text) override { caption = text; }

    ColorValue swatches[kSwatchCount] = {8421631, 8421631, 8421631, 8421631, 8421631,
                                         8421631, 8421631, 8421631, 8421631};
    std::vector<std::string> lines;
    bool armed = true;
    ColorValue back = 8388608;
    std::string caption = "RGB medeltal";
};

void tick(int x, int y) {
    auto screen = openSystemScreen();
    ConsoleControls controls;
    runTick(*screen, controls);
    check(controls.lines.size() == 9, "%zu lines", controls.lines.size());
    long long sum = 0;
    for (int k = 0; k < kSwatchCount && k < static_cast<int>(controls.lines.size()); ++k) {
        const ColorValue expected =
            patternColour(x + kSampleOffsets[k].dx, y + kSampleOffsets[k].dy);
        const std::string line = "RGB  " + decimal(expected);
        check(controls.lines[k] == line, "line %d \"%s\", expected \"%s\"", k,
              controls.lines[k].c_str(), line.c_str());
        sum += expected;
    }
    check(!controls.armed, "timer disarmed");
    check(controls.back == sum / 9, "mean %d, expected %lld", controls.back, sum / 9);
    check(controls.caption == "RGB medeltal\r\n\r\n" + decimal(static_cast<int>(sum / 9)),
          "caption ends in %s", controls.caption.substr(16).c_str());
}

std::wstring versionString(const std::vector<char>& info, const wchar_t* name) {
    std::wstring path = L"\\StringFileInfo\\040904B0\\";
    path += name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) {
        return L"";
    }
    return static_cast<const wchar_t*>(value);
}

void resources() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &ignored);
    check(size > 0, "version record present (%lu bytes)", static_cast<unsigned long>(size));
    if (size == 0) {
        return;
    }
    std::vector<char> info(size);
    GetFileVersionInfoW(self, 0, size, info.data());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
    check(fixed && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
              fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
          "file and product version 1.0.0.0");
    check(versionString(info, L"FileVersion") == L"1.00", "FileVersion \"1.00\"");
    check(versionString(info, L"ProductVersion") == L"1.00", "ProductVersion \"1.00\"");

    // The icon group: exactly 32 x 32 in 2 colours, 32 x 32 and 16 x 16 in 16.
    HRSRC found =
        FindResourceW(nullptr, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    const BYTE* group =
        found ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))) : nullptr;
    check(group != nullptr, "icon group present");
    if (!group) {
        return;
    }
    WORD count = 0;
    std::memcpy(&count, group + 4, sizeof count);
    check(count == 3, "%u images in the icon", count);
    const int expected[3][3] = {{32, 2, 1}, {32, 16, 4}, {16, 16, 4}};
    for (int i = 0; i < count && i < 3; ++i) {
        const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, sizeof bits);
        check(entry[0] == expected[i][0] && entry[1] == expected[i][0] &&
                  entry[2] == expected[i][1] && bits == expected[i][2],
              "image %d: %d x %d, %d colours, %d bits", i, entry[0], entry[1], entry[2], bits);
    }
    check(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)) != nullptr, "icon loads");
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string what = argc > 1 ? argv[1] : "";
    const int a = argc > 2 ? std::atoi(argv[2]) : 0;
    const int b = argc > 3 ? std::atoi(argv[3]) : 0;
    if (what == "pixels") {
        pixels(a, b);
        handlesAreGivenBack();
    } else if (what == "cursor") {
        cursor(a, b);
    } else if (what == "tick") {
        tick(a, b);
    } else if (what == "resources") {
        resources();
    } else {
        std::printf("usage: %s pixels W H | cursor X Y | tick X Y | resources\n", argv[0]);
        return 2;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
