#include "scaled_layout.h"

#include <algorithm>

namespace {

// Products of a logical position, a pixel position and two sizes: past 64 bits
// for coordinates near the ends of their range.
__extension__ using Wide = __int128;

// Where one axis of a pixel crosses onto another monitor. A monitor's pixel p
// covers logical [origin + p / scale, origin + (p + 1) / scale). Of the pixels
// of the other monitor that overlap it, the one nearest the cursor is taken: the
// first for a neighbour after the cursor, the last for one before it, and for
// one in the cursor's own column (or row) the one under its middle. So a step
// across an edge reads the physical pixel right beside the edge, whichever side
// is scaled (a scale-1 pixel next to a scale-2 monitor overlaps two of its pixels).
struct Axis {
    std::int32_t origin;   // the monitor's, logical
    std::int32_t logical;  // its logical size
    std::int32_t pixels;   // its size in its own pixels
};

// The logical point that stands for pixel p, in units of 1 / (2 * from.pixels),
// as a numerator; `side` is -1, 0 or 1 for a neighbour before, in line with, or
// after the cursor.
Wide pointFor(const Axis& from, std::int32_t p, int side) {
    const Wide start = Wide{2} * (Wide{from.origin} * from.pixels + Wide{p} * from.logical);
    return side > 0 ? start : side < 0 ? start + 2 * Wide{from.logical} : start + from.logical;
}

// The pixel of `to` at that point, or -1 where the point is not on it. A point
// taken at a pixel's far end belongs to the pixel before it.
std::int32_t pixelAt(Wide point, Wide unit, const Axis& to, int side) {
    const Wide offset = point - Wide{to.origin} * unit;  // on `to`, in 1 / unit
    const Wide end = Wide{to.logical} * unit;
    if (side < 0 ? offset <= 0 || offset > end : offset < 0 || offset >= end) {
        return -1;
    }
    const Wide scaled = offset * to.pixels;
    const Wide span = unit * to.logical;
    return std::int32_t(side < 0 ? (scaled + span - 1) / span - 1 : scaled / span);
}

int sideOf(std::int32_t p, std::int32_t cursor) {
    return p < cursor ? -1 : p > cursor ? 1 : 0;
}

}  // namespace

std::optional<MonitorPixel> locatePixel(const std::vector<ScaledMonitor>& monitors,
                                        const MonitorPixel& cursor, std::int32_t x,
                                        std::int32_t y) {
    if (cursor.monitor >= monitors.size()) {
        return std::nullopt;
    }
    const ScaledMonitor& from = monitors[cursor.monitor];
    if (from.width <= 0 || from.height <= 0) {
        return std::nullopt;
    }
    if (x >= 0 && y >= 0 && x < from.width && y < from.height) {
        return MonitorPixel{cursor.monitor, x, y};
    }
    const int sideX = sideOf(x, cursor.x), sideY = sideOf(y, cursor.y);
    const Wide pointX = pointFor({from.place.x, from.place.width, from.width}, x, sideX);
    const Wide pointY = pointFor({from.place.y, from.place.height, from.height}, y, sideY);
    const Wide unitX = 2 * Wide{from.width}, unitY = 2 * Wide{from.height};
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const ScaledMonitor& to = monitors[i];
        if (i == cursor.monitor || to.width <= 0 || to.height <= 0) {
            continue;
        }
        const std::int32_t tx =
            pixelAt(pointX, unitX, {to.place.x, to.place.width, to.width}, sideX);
        const std::int32_t ty =
            pixelAt(pointY, unitY, {to.place.y, to.place.height, to.height}, sideY);
        if (tx >= 0 && ty >= 0) {
            return MonitorPixel{i, tx, ty};
        }
    }
    return std::nullopt;
}

std::optional<MonitorPixel> pixelUnder(const std::vector<ScaledMonitor>& monitors,
                                       std::size_t monitor, std::int32_t x256, std::int32_t y256) {
    if (monitor >= monitors.size()) {
        return std::nullopt;
    }
    const ScaledMonitor& m = monitors[monitor];
    if (x256 < 0 || y256 < 0 || x256 >= std::int64_t{m.place.width} * 256 ||
        y256 >= std::int64_t{m.place.height} * 256 || m.width <= 0 || m.height <= 0) {
        return std::nullopt;
    }
    // Pixels a logical unit, as a fraction: per axis, the sizes' ratio.
    std::int64_t perUnitX[] = {m.width, m.place.width}, perUnitY[] = {m.height, m.place.height};
    // A logical side L of P pixels at scale s = n / d came from P / s cut
    // (L <= P / s < L + 1) or rounded (L - 1/2 <= P / s < L + 1/2). Compositors
    // keep scales in 120ths at the finest.
    const auto fits = [](std::int64_t n, std::int64_t d, std::int64_t pixels,
                         std::int64_t logical) {
        return pixels * d < (logical + 1) * n && (2 * logical - 1) * n <= 2 * pixels * d;
    };
    for (std::int64_t d = 1; d <= 120; ++d) {
        const std::int64_t n = m.width * d / (std::int64_t{m.place.width} + 1) + 1;
        if (fits(n, d, m.width, m.place.width) && fits(n, d, m.height, m.place.height)) {
            perUnitX[0] = perUnitY[0] = n, perUnitX[1] = perUnitY[1] = d;
            break;
        }
    }
    const auto under = [](std::int64_t at256, const std::int64_t(&perUnit)[2],
                          std::int32_t pixels) {
        return std::int32_t(
            std::min<std::int64_t>(at256 * perUnit[0] / (256 * perUnit[1]), pixels - 1));
    };
    return MonitorPixel{monitor, under(x256, perUnitX, m.width), under(y256, perUnitY, m.height)};
}
