#include "frame_store.h"

FrameStore::FrameStore(std::vector<MonitorRect> monitors) {
    for (const MonitorRect& m : monitors) {
        streams_.push_back({m, {}, std::nullopt, 0});
    }
}

bool FrameStore::frameArrived(std::size_t stream, const Frame& frame) {
    if (stream >= streams_.size() || !frame.pixels || frame.stride < frame.width * 4) {
        return false;
    }
    streams_[stream].frame = frame;
    return true;
}

void FrameStore::frameGone(std::size_t stream) {
    if (stream < streams_.size()) {
        streams_[stream].frame = {};
    }
}

void FrameStore::cursorMoved(std::size_t stream, std::int32_t x, std::int32_t y) {
    if (stream >= streams_.size()) {
        return;
    }
    Stream& s = streams_[stream];
    // A position off this monitor says only that the cursor is on another one.
    const bool onIt = x >= 0 && y >= 0 && x < s.place.width && y < s.place.height;
    s.cursor = onIt ? std::optional<ScreenPoint>({s.place.x + x, s.place.y + y}) : std::nullopt;
    s.cursorSerial = ++serial_;
}

std::optional<ScreenPoint> FrameStore::cursor() const {
    const Stream* newest = nullptr;
    for (const Stream& s : streams_) {
        if (s.cursor && (!newest || s.cursorSerial > newest->cursorSerial)) {
            newest = &s;
        }
    }
    return newest ? newest->cursor : std::nullopt;
}

ColorValue FrameStore::pixel(std::int32_t x, std::int32_t y) const {
    for (const Stream& s : streams_) {
        const Frame& f = s.frame;
        // 64-bit offsets: a point far off must not wrap onto a monitor.
        const std::int64_t column = std::int64_t{x} - s.place.x;
        const std::int64_t row = std::int64_t{y} - s.place.y;
        if (!f.pixels || column < 0 || row < 0 || column >= f.width || row >= f.height) {
            continue;
        }
        const std::uint8_t* p = f.pixels + row * f.stride + column * 4;
        return f.order == Order::BGRx ? packColour(p[2], p[1], p[0]) : packColour(p[0], p[1], p[2]);
    }
    return kInvalidColour;
}
