#include "output_capture.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "connection.h"
#include "output_copy.h"
#include "shared_buffer.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace {
// A compositor answers within a frame (17 ms at 60 Hz): a limit only for one
// that never does.
constexpr int kCopyLimitMs = 1000;
}  // namespace

// One output's copy; what the compositor offers is said afresh for each.
struct OutputCapture::Frame {
    enum class State { Pending, Ready, Failed };
    OutputCapture& capture;
    zwlr_screencopy_frame_v1* frame;
    State state = State::Pending;
    bool offered = false;  // a wl_shm buffer, of this layout and size
    OutputCopy layout;
    std::unique_ptr<SharedBuffer> pixels;

    Frame(OutputCapture& capture, const Wanted& wanted)
        : capture(capture),
          frame(zwlr_screencopy_manager_v1_capture_output(capture.manager_, 0, wanted.output)) {
        layout.transform = wanted.transform;
        zwlr_screencopy_frame_v1_add_listener(frame, &kListener, this);
    }
    ~Frame() { zwlr_screencopy_frame_v1_destroy(frame); }

    // Every kind of buffer has been offered: one of ours in shared memory, if
    // the compositor offered one in a layout the reader knows.
    void buffersOffered() {
        if (offered && !knownCopyFormat(layout.format)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08x", unsigned(layout.format));
            capture.say_(std::string("the desktop copies the screen in a pixel layout this program "
                                     "does not read (wl_shm format ") +
                         code + "): the swatches there keep their colours");
        } else if (offered) {
            pixels = std::make_unique<SharedBuffer>(capture.shm_, layout.width, layout.height,
                                                    layout.stride, layout.format, true);
        }
        if (!pixels || !pixels->buffer) {
            state = State::Failed;
            return;
        }
        layout.bytes = static_cast<const std::uint8_t*>(pixels->data);
        zwlr_screencopy_frame_v1_copy(frame, pixels->buffer);
    }

    static inline const zwlr_screencopy_frame_v1_listener kListener{
        [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t format, std::uint32_t width,
           std::uint32_t height, std::uint32_t stride) {
            auto* f = static_cast<Frame*>(data);
            f->offered = true;
            f->layout.format = format, f->layout.width = std::int32_t(width);
            f->layout.height = std::int32_t(height), f->layout.stride = std::int32_t(stride);
            if (f->capture.version_ < 3) {
                f->buffersOffered();  // else once every kind of buffer is offered
            }
        },
        [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
            static_cast<Frame*>(data)->layout.yInverted =
                flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        },
        [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
            auto* f = static_cast<Frame*>(data);
            f->state = f->state == State::Pending ? State::Ready : f->state;
        },
        [](void* data, zwlr_screencopy_frame_v1*) {
            static_cast<Frame*>(data)->state = State::Failed;
        },
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
           std::uint32_t) {},
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void* data, zwlr_screencopy_frame_v1*) {
            auto* f = static_cast<Frame*>(data);
            if (f->state == State::Pending) {
                f->buffersOffered();
            }
        }};
};

OutputCapture::OutputCapture(Connection& connection, wl_shm* shm,
                             zwlr_screencopy_manager_v1* manager, std::uint32_t version,
                             std::function<void(const std::string&)> say)
    : connection_(connection),
      shm_(shm),
      manager_(manager),
      version_(version),
      say_(std::move(say)) {}

std::vector<std::vector<ColorValue>> OutputCapture::copy(const std::vector<Wanted>& wanted) {
    std::vector<std::unique_ptr<Frame>> frames;
    for (const Wanted& w : wanted) {
        frames.push_back(std::make_unique<Frame>(*this, w));
    }
    connection_.waitFor(
        [&frames] {
            return std::none_of(frames.begin(), frames.end(),
                                [](const auto& f) { return f->state == Frame::State::Pending; });
        },
        kCopyLimitMs);
    std::vector<std::vector<ColorValue>> colours;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        auto& shown = colours.emplace_back();
        for (const auto& [x, y] : wanted[i].pixels) {
            shown.push_back(frames[i]->state == Frame::State::Ready
                                ? shownPixel(frames[i]->layout, x, y)
                                : kInvalidColour);
        }
    }
    return colours;
}
