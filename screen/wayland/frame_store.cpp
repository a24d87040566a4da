#include "frame_store.h"

namespace {

ColorValue read(const FrameStore::Frame& f, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = f.pixels + std::int64_t{y} * f.stride + std::int64_t{x} * 4;
    return f.order == FrameStore::Order::BGRx ? packColour(p[2], p[1], p[0])
                                              : packColour(p[0], p[1], p[2]);
}

}  // namespace

FrameStore::FrameStore(std::vector<MonitorRect> monitors) {
    for (const MonitorRect& m : monitors) {
        streams_.push_back({m, {}, 0, 0, std::nullopt, 0, 0});
    }
}

bool FrameStore::frameArrived(std::size_t stream, const Frame& frame) {
    if (stream >= streams_.size() || !frame.pixels || frame.width <= 0 || frame.height <= 0 ||
        frame.stride / 4 < frame.width) {
        return false;
    }
    Stream& s = streams_[stream];
    s.frame = frame;
    s.width = frame.width;
    s.height = frame.height;
    return true;
}

void FrameStore::frameGone(std::size_t stream) {
    if (stream < streams_.size()) {
        streams_[stream].frame = {};
    }
}

void FrameStore::cursorSeen(std::size_t stream, std::optional<StreamPoint> at, std::uint64_t time) {
    if (stream >= streams_.size()) {
        return;
    }
    Stream& s = streams_[stream];
    s.cursor = at;
    if (at) {
        s.cursor->stream = stream;
    }
    s.cursorTime = time;
    s.cursorSerial = ++serial_;
}

void FrameStore::woken() {
    for (Stream& s : streams_) {
        s.cursor.reset();
        s.cursorTime = 0;
    }
}

std::optional<FrameStore::StreamPoint> FrameStore::cursor() const {
    // A stream goes on giving a position while any of the cursor's picture
    // overlaps its monitor: past its edge (or at its width) the pointer is on
    // another monitor, whose stream has it on a pixel.
    const auto onPixel = [](const Stream& s) {
        return s.cursor && s.cursor->x >= 0 && s.cursor->y >= 0 && s.cursor->x < s.width &&
               s.cursor->y < s.height;
    };
    const Stream* newest = nullptr;
    for (const Stream& s : streams_) {
        if (onPixel(s) &&
            (!newest || s.cursorTime > newest->cursorTime ||
             (s.cursorTime == newest->cursorTime && s.cursorSerial > newest->cursorSerial))) {
            newest = &s;
        }
    }
    return newest ? newest->cursor : std::nullopt;
}

ColorValue FrameStore::pixel(const std::optional<StreamPoint>& cursor, std::int32_t x,
                             std::int32_t y) const {
    if (!cursor || cursor->stream >= streams_.size()) {
        return kInvalidColour;  // no sample around a point the cursor is not known at
    }
    // A monitor whose frame is gone has nothing to cross onto; the cursor's own
    // keeps its size, so that a read inside it is -1 and not another monitor's.
    std::vector<ScaledMonitor> monitors;
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        const Stream& s = streams_[i];
        const bool placed = s.frame.pixels || i == cursor->stream;
        monitors.push_back({s.place, placed ? s.width : 0, placed ? s.height : 0});
    }
    const std::optional<MonitorPixel> there =
        locatePixel(monitors, {cursor->stream, cursor->x, cursor->y}, x, y);
    if (!there || !streams_[there->monitor].frame.pixels) {
        return kInvalidColour;
    }
    return read(streams_[there->monitor].frame, there->x, there->y);
}
