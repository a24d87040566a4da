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
// them; none where the point is not on the monitor.
std::optional<MonitorPixel> pixelUnder(const std::vector<ScaledMonitor>& monitors,
                                       std::size_t monitor, std::int32_t x256, std::int32_t y256);

// The smallest logical rectangle of a monitor, from its top-left corner, that
// holds its pixels [first, last] on both axes, a logical unit wider on every
// side (desktops round a region's pixel edges their own way), starting on a
// pixel edge, clipped to the monitor; and the pixel at its top-left corner.
struct LogicalRegion {
    MonitorRect logical;
    std::int32_t pixelX = 0;
    std::int32_t pixelY = 0;
};
LogicalRegion logicalRegion(const ScaledMonitor& monitor, std::int32_t firstX, std::int32_t firstY,
                            std::int32_t lastX, std::int32_t lastY);
