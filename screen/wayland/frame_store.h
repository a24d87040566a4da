#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/colour.h"
#include "core/scaled_layout.h"

// The newest frame and cursor position of each monitor's stream, as a screen
// cast delivers them, and what a tick reads from them. Nothing is copied: a
// frame is the stream's own buffer, kept until a newer one replaces it. The
// caller serialises access (the stream thread writes, the tick reads).
//
// The desktop places each monitor in its logical coordinates; a stream's frames
// and cursor are in that stream's own pixels (scaled_layout.h).
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
    // A point in one stream's own pixels.
    struct StreamPoint {
        std::size_t stream = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    // One monitor each, placed on the desktop in logical coordinates, as the
    // screen cast's portal says.
    explicit FrameStore(std::vector<MonitorRect> monitors);

    // A buffer's pixels: true where the store took them (the buffer is then kept
    // until the next one that has pixels); a buffer with the cursor only (no
    // pixels) leaves the frame as it was.
    bool frameArrived(std::size_t stream, const Frame& frame);
    // The kept buffer is being taken back (the stream stopped or changed its
    // format): its pixels are gone until the next frame.
    void frameGone(std::size_t stream);
    // What a buffer's cursor metadata said, at the buffer's time (its
    // presentation time: buffers of different streams compare by it). No
    // position: the pointer is not on this stream's monitor.
    void cursorSeen(std::size_t stream, std::optional<StreamPoint> at, std::uint64_t time);
    // The streams woke from a rest: where they said the pointer was before it is
    // not where it is now, so it is unknown until a buffer that comes after the
    // wake says. The frames stay: the desktop sends a monitor's pixels only when
    // they change (a moving pointer comes as buffers with the cursor alone), so a
    // kept frame is what that monitor shows.
    void woken();

    // Where the pointer is, in the pixels of the stream that last had it on one
    // of its pixels; none while no stream has it there.
    std::optional<StreamPoint> cursor() const;
    // The colour at (x, y) in the pixels of the cursor's stream, a pixel or two
    // from the cursor, which may lie past that stream's edges on a neighbouring
    // monitor; -1 where no monitor's frame has it, and while no cursor is known.
    ColorValue pixel(const std::optional<StreamPoint>& cursor, std::int32_t x,
                     std::int32_t y) const;

private:
    struct Stream {
        MonitorRect place;  // logical
        Frame frame;
        std::int32_t width = 0;  // the stream's size in its own pixels, from its frames
        std::int32_t height = 0;
        std::optional<StreamPoint> cursor;
        std::uint64_t cursorTime = 0;
        std::uint64_t cursorSerial = 0;  // arrival order, where the times are equal
    };
    std::vector<Stream> streams_;
    std::uint64_t serial_ = 0;
};
