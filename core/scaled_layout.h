#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "monitor_layout.h"

// Monitors as a Wayland desktop places them: each at a rectangle of the
// desktop's logical coordinates, each with pixels of its own, which on a scaled
// monitor are smaller (logical size x scale, fractional scales too). A sample
// reads physical pixels one apart, so it works in the pixels of the monitor the
// cursor is on and goes through logical coordinates only to cross onto another.
// Both Wayland readers (the screen cast's streams, the compositor's own copies)
// place their pixels through this.
struct ScaledMonitor {
    MonitorRect place;       // logical
    std::int32_t width = 0;  // in its own pixels; 0 where nothing can be read there
    std::int32_t height = 0;
};

// A pixel of one monitor, in that monitor's own pixels.
struct MonitorPixel {
    std::size_t monitor = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Where (x, y), given in the pixels of the cursor's monitor a pixel or two from
// the cursor, lies: on that monitor, or past its edge on the monitor that lies
// there. None where no monitor has it.
std::optional<MonitorPixel> locatePixel(const std::vector<ScaledMonitor>& monitors,
                                        const MonitorPixel& cursor, std::int32_t x, std::int32_t y);

// The pixel under a point given in a monitor's logical coordinates from its
// top-left corner, in 1/256 of a unit as Wayland's fixed-point numbers carry
// them, as the compositor draws the cursor's hotspot: the offset times the
// monitor's scale, cut to a whole pixel. A fractional scale's logical size was
// cut or rounded to whole units (2560 pixels at 1.5 are 1706 wide, not 1706.67),
// so the scale is the simplest one that gives both sides, and only where none
// fits the sizes' own ratio. None where the point is not on the monitor.
std::optional<MonitorPixel> pixelUnder(const std::vector<ScaledMonitor>& monitors,
                                       std::size_t monitor, std::int32_t x256, std::int32_t y256);
