#include "kept_frame.h"

#include <spa/buffer/meta.h>

#include <utility>

void* KeptFrame::arrived(void* handle, const spa_buffer& buffer, const spa_video_info_raw& format) {
    // The cursor in this stream's pixels; an invalid one (id 0) says the
    // pointer is on no pixel of this monitor (its position is then stale).
    // Streams' buffers are ordered by their presentation times.
    if (const auto* cursor = static_cast<const spa_meta_cursor*>(
            spa_buffer_find_meta_data(&buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)))) {
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
        const std::uint64_t time = header && header->pts > 0 ? std::uint64_t(header->pts) : 0;
        store_.cursorSeen(stream_,
                          spa_meta_cursor_is_valid(cursor)
                              ? std::optional<FrameStore::StreamPoint>(
                                    {stream_, cursor->position.x, cursor->position.y})
                              : std::nullopt,
                          time);
    }
    // Pixels only where the buffer holds every row the format says it has.
    static const spa_data kNone{};
    const spa_data& d = buffer.n_datas > 0 ? buffer.datas[0] : kNone;
    const bool pixels =
        d.data && d.chunk && d.chunk->size > 0 && d.chunk->stride > 0 &&
        !(d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) &&
        std::uint64_t(d.chunk->offset) + std::uint64_t(d.chunk->stride) * format.size.height <=
            d.maxsize;
    const bool rgb =
        format.format == SPA_VIDEO_FORMAT_RGBx || format.format == SPA_VIDEO_FORMAT_RGBA;
    const FrameStore::Frame frame{
        pixels ? static_cast<const std::uint8_t*>(d.data) + d.chunk->offset : nullptr,
        std::int32_t(format.size.width), std::int32_t(format.size.height),
        pixels ? d.chunk->stride : 0, rgb ? FrameStore::Order::RGBx : FrameStore::Order::BGRx};
    if (!store_.frameArrived(stream_, frame)) {
        return handle;  // the cursor alone: the pixels kept stay
    }
    return std::exchange(held_, handle);
}

void KeptFrame::takenBack(void* handle) {
    if (held_ == handle) {
        held_ = nullptr;
        store_.frameGone(stream_);
    }
}
