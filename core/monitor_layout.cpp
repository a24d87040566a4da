#include "monitor_layout.h"

#include <algorithm>

bool MonitorLayout::contains(std::int32_t x, std::int32_t y) const {
    // 64-bit ends: a monitor at the far edge of the coordinate range must not wrap.
    return std::any_of(monitors_.begin(), monitors_.end(), [x, y](const MonitorRect& m) {
        return x >= m.x && y >= m.y && std::int64_t{x} < std::int64_t{m.x} + m.width &&
               std::int64_t{y} < std::int64_t{m.y} + m.height;
    });
}
