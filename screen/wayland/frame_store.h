#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/colour.h"
#include "core/monitor_layout.h"
#include "sampler/screen.h"

// The newest frame and cursor position of each monitor's stream, as a screen
// cast delivers them, and what a tick reads from them. Nothing is copied: a
// frame is the stream's own buffer, kept until a newer one replaces it. The
// caller serialises access (the stream thread writes, the tick reads).
class FrameStore {
public:
    // How a frame's pixels are laid out: four bytes each, the fourth unused.
    enum class Order { BGRx, RGBx };
    struct Frame {
        const std::uint8_t* pixels = nullptr;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t stride = 0;  // bytes from one row to the next
        Order order = Order::BGRx;
    };

    // One monitor each, placed on the desktop as the screen cast says.
    explicit FrameStore(std::vector<MonitorRect> monitors);

    // A buffer's pixels: true where the store took them (the buffer is then kept
    // until the next one that has pixels); a buffer with the cursor only (no
    // pixels) leaves the frame as it was.
    bool frameArrived(std::size_t stream, const Frame& frame);
    // The kept buffer is being taken back (the stream stopped or changed its
    // format): its pixels are gone until the next frame.
    void frameGone(std::size_t stream);
    // The cursor moved, in the stream's own coordinates.
    void cursorMoved(std::size_t stream, std::int32_t x, std::int32_t y);

    // Where the cursor last was on the desktop, while it is known to be on a monitor.
    std::optional<ScreenPoint> cursor() const;
    // The colour at (x, y) on the desktop; -1 where no monitor's frame has it.
    ColorValue pixel(std::int32_t x, std::int32_t y) const;

private:
    struct Stream {
        MonitorRect place;
        Frame frame;
        std::optional<ScreenPoint> cursor;  // on the desktop
        std::uint64_t cursorSerial = 0;
    };
    std::vector<Stream> streams_;
    std::uint64_t serial_ = 0;
};
