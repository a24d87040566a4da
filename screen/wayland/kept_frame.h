#pragma once

#include <spa/buffer/buffer.h>
#include <spa/param/video/raw.h>

#include <cstddef>

#include "frame_store.h"

// One monitor's stream as its buffers come and go, apart from PipeWire itself:
// each buffer's cursor and pixels go into the store; the newest buffer with
// pixels is kept out of the stream's queue for the tick to read, and the one
// it replaces goes back. Called on the stream's thread.
class KeptFrame {
public:
    KeptFrame(FrameStore& store, std::size_t stream) : store_(store), stream_(stream) {}

    // A buffer taken from the stream, `handle` standing for it there. Returns
    // the handle to give back now: this one (it brought the cursor alone), the
    // one kept until now, or none (the first frame is kept).
    void* arrived(void* handle, const spa_buffer& buffer, const spa_video_info_raw& format);
    // The stream takes a buffer back (it stops or changes its format): if it
    // is the kept one, its pixels are gone until the next frame.
    void takenBack(void* handle);
    bool holding() const { return held_ != nullptr; }

private:
    FrameStore& store_;
    std::size_t stream_;
    void* held_ = nullptr;
};
