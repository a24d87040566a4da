// PipeWire's C API, as the screen cast portal hands it out: shared-memory
// buffers, mapped for us, with the cursor as metadata beside the pixels.

#include "pipewire_streams.h"

#include <fcntl.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "frame_store.h"
#include "kept_frame.h"

namespace {

// A tick reads one frame: a few a second keep it fresh; the cursor still comes
// between frames, in buffers of its own.
const spa_fraction kMaxRate = SPA_FRACTION(5, 1);

// mutter offers cursor bitmaps larger than 256 x 256: a range that stops there
// gets no cursor metadata at all.
constexpr std::size_t cursorMetaSize(int side) {
    return sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + std::size_t(side) * side * 4;
}

struct Stream {
    Stream(PipeWireStreams::Impl* o, FrameStore& store, std::size_t i) : owner(o), kept(store, i) {}
    PipeWireStreams::Impl* owner;
    KeptFrame kept;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    spa_video_info_raw format{};
    bool framed = false;  // has given its first frame: counted once, whatever follows
};

}  // namespace

struct PipeWireStreams::Impl {
    Failed failed;
    bool said = false;
    std::string problem;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    spa_hook coreListener{};
    std::vector<std::unique_ptr<Stream>> streams;

    std::function<void()> framed;
    std::size_t framedStreams = 0;
    FrameStore& store;

    Impl(Failed f, std::function<void()> fr, FrameStore& st)
        : failed(std::move(f)), framed(std::move(fr)), store(st) {}

    void fail(const std::string& why) {
        if (!said) {
            said = true;
            failed(why);
        }
    }
};

namespace {

void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* s = static_cast<Stream*>(data);
    if (id == SPA_PARAM_Format && !param) {
        s->format = {};  // cleared: no format until the next one
    }
    if (!param || id != SPA_PARAM_Format || spa_format_video_raw_parse(param, &s->format) < 0) {
        return;
    }
    std::uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[3];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        // Fewer buffers than mutter offers (memory), enough that one kept for the
        // tick leaves it a free one for every cursor move (else the move is lost).
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_CHOICE_RANGE_Int(8, 2, 16), SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(int(cursorMetaSize(64)), int(cursorMetaSize(1)),
                                 int(cursorMetaSize(1024)))));
    pw_stream_update_params(s->stream, params, 3);
}

// A stream that fails, or that the producer ends (its node gone), takes the
// screen with it; so does one whose format could not be agreed.
void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
    auto* s = static_cast<Stream*>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        s->owner->fail(error ? error : "stream error");
    } else if (state == PW_STREAM_STATE_UNCONNECTED) {
        s->owner->fail("the stream ended");
    }
}

void onCoreError(void* data, std::uint32_t id, int, int result, const char* message) {
    auto* impl = static_cast<PipeWireStreams::Impl*>(data);
    if (id == PW_ID_CORE) {
        impl->fail(std::string(message ? message : "") + " (" + spa_strerror(result) + ")");
    }
}

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = onCoreError;
    return events;
}();

void onProcess(void* data) {
    auto* s = static_cast<Stream*>(data);
    while (pw_buffer* b = pw_stream_dequeue_buffer(s->stream)) {
        if (void* back = s->kept.arrived(b, *b->buffer, s->format)) {
            pw_stream_queue_buffer(s->stream, static_cast<pw_buffer*>(back));
        }
        if (!s->framed && s->kept.holding()) {
            s->framed = true;
            if (++s->owner->framedStreams == s->owner->streams.size()) {
                s->owner->framed();
            }
        }
    }
}

// The stream takes its buffers back when it stops or renegotiates.
void onRemoveBuffer(void* data, pw_buffer* buffer) {
    static_cast<Stream*>(data)->kept.takenBack(buffer);
}

const pw_stream_events kStreamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    events.remove_buffer = onRemoveBuffer;
    return events;
}();

}  // namespace

PipeWireStreams::PipeWireStreams(int fd, const std::vector<std::uint32_t>& nodes, FrameStore& store,
                                 Failed failed, std::function<void()> framed)
    : impl_(std::make_unique<Impl>(std::move(failed), std::move(framed), store)) {
    pw_init(nullptr, nullptr);
    impl_->loop = pw_thread_loop_new("pixel-sampler", nullptr);
    impl_->context = impl_->loop
                         ? pw_context_new(pw_thread_loop_get_loop(impl_->loop),
                                          pw_properties_new("mem.allow-mlock", "false", nullptr), 0)
                         : nullptr;
    if (!impl_->context || pw_thread_loop_start(impl_->loop) < 0) {
        close(fd);
        impl_->problem = "cannot start PipeWire";
        return;
    }
    pw_thread_loop_lock(impl_->loop);
    impl_->core = pw_context_connect_fd(impl_->context, fd, nullptr, 0);  // takes the fd
    if (!impl_->core) {
        impl_->problem = std::string("cannot reach the screen cast's PipeWire: ") + strerror(errno);
    } else {
        pw_core_add_listener(impl_->core, &impl_->coreListener, &kCoreEvents, impl_.get());
    }
    for (std::size_t i = 0; impl_->core && impl_->problem.empty() && i < nodes.size(); ++i) {
        auto s = std::make_unique<Stream>(impl_.get(), store, i);
        s->stream =
            pw_stream_new(impl_->core, "pixel-sampler",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
        if (!s->stream) {
            impl_->problem = std::string("cannot make a PipeWire stream: ") + strerror(errno);
            break;
        }
        pw_stream_add_listener(s->stream, &s->listener, &kStreamEvents, s.get());
        std::uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_rectangle least = SPA_RECTANGLE(1, 1), most = SPA_RECTANGLE(16384, 16384);
        const spa_fraction none = SPA_FRACTION(0, 1), fastest = SPA_FRACTION(1000, 1),
                           slowest = SPA_FRACTION(2, 1);
        const spa_pod* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_BGRA,
                                   SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&most, &least, &most),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&none, &none, &fastest),
            SPA_FORMAT_VIDEO_maxFramerate,
            SPA_POD_CHOICE_RANGE_Fraction(&kMaxRate, &slowest, &kMaxRate)));
        const int connected = pw_stream_connect(
            s->stream, PW_DIRECTION_INPUT, nodes[i],
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
            &format, 1);
        impl_->streams.push_back(std::move(s));
        if (connected < 0) {
            impl_->problem = std::string("cannot connect to the screen cast's stream: ") +
                             spa_strerror(connected);
        }
    }
    pw_thread_loop_unlock(impl_->loop);
}

PipeWireStreams::~PipeWireStreams() {
    if (impl_->loop) {
        pw_thread_loop_stop(impl_->loop);
    }
    for (auto& s : impl_->streams) {
        spa_hook_remove(&s->listener);  // no word of a stream ended on purpose
        pw_stream_destroy(s->stream);   // held buffers go with it
    }
    if (impl_->core) {
        spa_hook_remove(&impl_->coreListener);
        pw_core_disconnect(impl_->core);
    }
    if (impl_->context) {
        pw_context_destroy(impl_->context);
    }
    if (impl_->loop) {
        pw_thread_loop_destroy(impl_->loop);
    }
}

std::string PipeWireStreams::problem() const {
    return impl_->problem;
}

bool PipeWireStreams::formatsAgreed() {
    pw_thread_loop_lock(impl_->loop);
    const bool agreed = std::all_of(impl_->streams.begin(), impl_->streams.end(),
                                    [](const auto& s) { return s->format.size.width > 0; });
    pw_thread_loop_unlock(impl_->loop);
    return agreed;
}

void PipeWireStreams::lock() {
    pw_thread_loop_lock(impl_->loop);
}

void PipeWireStreams::unlock() {
    pw_thread_loop_unlock(impl_->loop);
}

void PipeWireStreams::setActive(bool active) {
    pw_thread_loop_lock(impl_->loop);
    for (auto& s : impl_->streams) {
        pw_stream_set_active(s->stream, active);
    }
    if (active) {
        impl_->store.woken();
    }
    pw_thread_loop_unlock(impl_->loop);
}
