#include "frame_store.h"

namespace {

// Products of a logical position, a pixel position and two sizes: past 64 bits
// for coordinates near the ends of their range.
__extension__ using Wide = __int128;

// Where one axis of a pixel crosses onto another monitor. A stream's pixel p
// covers logical [origin + p / scale, origin + (p + 1) / scale). Of the pixels
// of the other monitor that overlap it, the one nearest the cursor is taken: the
// first for a neighbour after the cursor, the last for one before it, and for
// one in the cursor's own column (or row) the one under its middle. So a step
// across an edge reads the physical pixel right beside the edge, whichever side
// is scaled (a scale-1 pixel next to a scale-2 monitor overlaps two of its pixels).
struct Axis {
    std::int32_t origin;   // the monitor's, logical
    std::int32_t logical;  // its logical size
    std::int32_t pixels;   // its size in the stream's pixels
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
    const Stream& from = streams_[cursor->stream];
    if (x >= 0 && y >= 0 && x < from.width && y < from.height) {
        return from.frame.pixels ? read(from.frame, x, y) : kInvalidColour;
    }
    if (const std::optional<StreamPoint> there = crossTo(*cursor, x, y)) {
        return read(streams_[there->stream].frame, there->x, there->y);
    }
    return kInvalidColour;
}

std::optional<FrameStore::StreamPoint> FrameStore::crossTo(const StreamPoint& cursor,
                                                           std::int32_t x, std::int32_t y) const {
    const Stream& from = streams_[cursor.stream];
    if (from.width <= 0 || from.height <= 0) {
        return std::nullopt;
    }
    const int sideX = sideOf(x, cursor.x), sideY = sideOf(y, cursor.y);
    const Axis fromX{from.place.x, from.place.width, from.width};
    const Axis fromY{from.place.y, from.place.height, from.height};
    const Wide pointX = pointFor(fromX, x, sideX), unitX = 2 * Wide{from.width};
    const Wide pointY = pointFor(fromY, y, sideY), unitY = 2 * Wide{from.height};
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        const Stream& to = streams_[i];
        if (&to == &from || !to.frame.pixels) {
            continue;
        }
        const std::int32_t tx =
            pixelAt(pointX, unitX, {to.place.x, to.place.width, to.width}, sideX);
        const std::int32_t ty =
            pixelAt(pointY, unitY, {to.place.y, to.place.height, to.height}, sideY);
        if (tx >= 0 && ty >= 0) {
            return StreamPoint{i, tx, ty};
        }
    }
    return std::nullopt;
}
