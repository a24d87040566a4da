#pragma once

#include <cstdint>
#include <vector>

struct MonitorRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// Where the screen has pixels. Monitors of different sizes leave gaps inside
// the bounding box, and a point in a gap has no colour to read.
class MonitorLayout {
public:
    MonitorLayout() = default;
    explicit MonitorLayout(std::vector<MonitorRect> monitors) : monitors_(std::move(monitors)) {}

    bool contains(std::int32_t x, std::int32_t y) const;
    bool empty() const { return monitors_.empty(); }
    const std::vector<MonitorRect>& monitors() const { return monitors_; }

private:
    std::vector<MonitorRect> monitors_;
};
