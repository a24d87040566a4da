// A wlroots desktop read at the tick, in one moment, on a Wayland connection of
// the reader's own. Nothing of the reader's is on the screen between ticks: an
// overlay up during the two seconds would take the user's hovering and clicks.
//
// The tick: a fully transparent overlay (layer shell, above everything, taking
// no keyboard) goes up on every output; the compositor tells the overlay under
// the pointer where the pointer is (wl_pointer.enter) as soon as it is mapped,
// no motion needed; the cursor's picture is hidden (a compositor that draws the
// cursor in software copies it into the pixels otherwise); each output that the
// 3 x 3 block touches is copied whole (wlr-screencopy, cursor left out) into
// shared memory of the reader's; and the overlays come down again, the one
// under the pointer first (else the pointer stays hidden until it moves).
// Whole outputs, not the block's region: a region of a turned output comes from
// the wrong place on some wlroots versions, and at a fractional scale each
// rounds the region's edges its own way; an output's own buffer is exact on all.
// Outputs are placed in logical coordinates (xdg-output) and read in their own
// pixels, as shown (output_copy.h), through scaled_layout.h as the screen cast is.

#include "screen_wlroots.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "connection.h"
#include "core/scaled_layout.h"
#include "output_copy.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace {

// A compositor answers within a frame (17 ms at 60 Hz): a limit only for one
// that never does.
constexpr int kStepLimitMs = 1000;
// An enter that has not come by then is withheld: another client's overlay that
// takes input (a launcher, a screen locker) is under the pointer.
constexpr int kEnterLimitMs = 250;
constexpr std::uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

// A buffer in shared memory of the reader's; an overlay's is never written, and
// its zero bytes are fully transparent.
struct SharedBuffer {
    wl_buffer* buffer = nullptr;
    void* data = MAP_FAILED;
    std::size_t size = 0;

    SharedBuffer(wl_shm* shm, std::int32_t width, std::int32_t height, std::int32_t stride,
                 std::uint32_t format, bool readBack)
        : size(std::size_t(stride) * std::size_t(height)) {
        const int fd = width > 0 && height > 0 && stride >= width * 4
                           ? memfd_create("pixel-sampler", MFD_CLOEXEC)
                           : -1;
        if (fd < 0 || ftruncate(fd, off_t(size)) < 0 ||
            (readBack &&
             (data = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0)) == MAP_FAILED)) {
            if (fd >= 0) {
                close(fd);
            }
            return;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, std::int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    ~SharedBuffer() {
        if (buffer) {
            wl_buffer_destroy(buffer);
        }
        if (data != MAP_FAILED) {
            munmap(data, size);
        }
    }
    SharedBuffer(const SharedBuffer&) = delete;
    SharedBuffer& operator=(const SharedBuffer&) = delete;
};

struct Output {
    std::uint32_t name = 0;  // the global's
    wl_output* output = nullptr;
    std::uint32_t version = 0;
    zxdg_output_v1* xdg = nullptr;
    MonitorRect logical{0, 0, 0, 0};
    std::int32_t modeWidth = 0, modeHeight = 0;  // the buffer's, before any turn
    int transform = 0;
    bool gone = false;  // removed by the compositor; dropped when no tick runs

    // An overlay, while a tick has it up.
    wl_shm* shm = nullptr;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* overlay = nullptr;
    std::unique_ptr<SharedBuffer> transparent;
    bool configured = false;

    // A tick's copy of the whole output; what the compositor offers is said
    // afresh for each copy.
    enum class Copy { None, Pending, Ready, Failed };
    Copy copy = Copy::None;
    zwlr_screencopy_frame_v1* frame = nullptr;
    bool offered = false;  // a wl_shm buffer, of this format and size
    OutputCopy layout;
    std::unique_ptr<SharedBuffer> pixels;

    ScaledMonitor monitor() const {
        const ShownSize shown = shownSize(modeWidth, modeHeight, transform);
        return {logical, gone ? 0 : shown.width, gone ? 0 : shown.height};
    }
    void takeDown() {
        if (overlay) {
            zwlr_layer_surface_v1_destroy(overlay);
            wl_surface_destroy(surface);
        }
        overlay = nullptr, surface = nullptr, configured = false;
        transparent.reset();
    }
    void forgetCopy() {
        if (frame) {
            zwlr_screencopy_frame_v1_destroy(frame);
        }
        frame = nullptr, copy = Copy::None, offered = false, layout = {}, pixels.reset();
    }
    ~Output() {
        takeDown();
        forgetCopy();
        if (xdg) {
            zxdg_output_v1_destroy(xdg);
        }
        if (version >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(output);
        } else {
            wl_output_destroy(output);
        }
    }
};

class WlrootsScreen final : public Screen {
public:
    explicit WlrootsScreen(wl_display* display) : connection_(display) {
        registry_ = wl_display_get_registry(display);
        wl_registry_add_listener(registry_, &kRegistryListener, this);
        // The globals, then what the outputs say of themselves.
        connection_.settle(kStepLimitMs);
        connection_.settle(kStepLimitMs);
    }
    ~WlrootsScreen() override {
        outputs_.clear();
        if (pointer_) {
            releasePointer();
        }
        for (wl_proxy* global :
             {(wl_proxy*)seat_, (wl_proxy*)shm_, (wl_proxy*)compositor_, (wl_proxy*)layerShell_,
              (wl_proxy*)screencopy_, (wl_proxy*)xdgOutputs_, (wl_proxy*)registry_}) {
            if (global) {
                wl_proxy_destroy(global);
            }
        }
    }

    bool usable() const { return compositor_ && shm_ && layerShell_ && screencopy_ && xdgOutputs_; }

    void expectSample(int) override { said_.clear(); }

    // The whole read is here, so that the overlays are down again on every path
    // before the tick goes on; the tick's reads look at the copies.
    void cursorPosition(ScreenPoint& point) override {
        cursor_.reset();
        if (!connection_.catchUp()) {
            return lost();
        }
        // Outputs keep their places for the whole tick: one that goes meanwhile is
        // only marked, and dropped here.
        std::erase_if(outputs_, [](const auto& o) { return o->gone; });
        monitors_.clear();
        for (const auto& o : outputs_) {
            monitors_.push_back(o->monitor());
        }
        raiseOverlays();
        if (entered_) {
            cursor_ = pixelUnder(monitors_, enteredOutput_, enteredX_, enteredY_);
            wl_pointer_set_cursor(pointer_, enterSerial_, nullptr, 0, 0);
        }
        if (cursor_) {
            point = {cursor_->x, cursor_->y};
            copyAround(*cursor_);
        } else if (!connection_.lost()) {
            say("the desktop did not say where the pointer is (another program's overlay may "
                "hold it): nothing was sampled");
        }
        lowerOverlays();
        if (connection_.lost()) {
            lost();
        }
    }

    ScreenHandle acquire() override { return this; }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        const std::optional<MonitorPixel> at =
            handle == this && cursor_ ? locatePixel(monitors_, *cursor_, x, y) : std::nullopt;
        if (!at) {
            return kInvalidColour;
        }
        const Output& o = *outputs_[at->monitor];
        return o.copy == Output::Copy::Ready ? shownPixel(o.layout, at->x, at->y) : kInvalidColour;
    }

    void release(ScreenHandle) override {
        for (const auto& o : outputs_) {
            o->forgetCopy();
        }
        cursor_.reset();
        // Said once the tick is done with the controls.
        if (!problem_.reason.empty() && problemFound) {
            problemFound();
        }
    }

    Unreadable whyUnreadable() override { return problem_; }
    Traffic traffic() const override { return {0, connection_.waits()}; }

private:
    // Once a press, on standard error.
    void say(const std::string& what) {
        if (said_.insert(what).second) {
            std::fprintf(stderr, "pixel-sampler: %s\n", what.c_str());
        }
    }

    void raiseOverlays() {
        entered_ = false;
        if (!pointer_) {
            return;  // a seat with no pointer: nothing to learn
        }
        for (const auto& o : outputs_) {
            o->shm = shm_;
            o->surface = wl_compositor_create_surface(compositor_);
            o->overlay = zwlr_layer_shell_v1_get_layer_surface(layerShell_, o->surface, o->output,
                                                               ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                               "pixel-sampler");
            zwlr_layer_surface_v1_add_listener(o->overlay, &kOverlayListener, o.get());
            zwlr_layer_surface_v1_set_anchor(o->overlay, kAllEdges);
            zwlr_layer_surface_v1_set_exclusive_zone(o->overlay, -1);
            zwlr_layer_surface_v1_set_keyboard_interactivity(o->overlay, 0);
            wl_surface_commit(o->surface);
        }
        // Each overlay is mapped as its size comes; the enter follows the map,
        // once the compositor has handled it (a large output's first frame can
        // hold it up longer than the enter's own limit).
        connection_.waitFor(
            [this] {
                return std::none_of(outputs_.begin(), outputs_.end(),
                                    [](const auto& o) { return o->overlay && !o->configured; });
            },
            kStepLimitMs);
        connection_.settle(kStepLimitMs);
        connection_.waitFor([this] { return entered_; }, kEnterLimitMs);
    }

    void lowerOverlays() {
        if (!pointer_) {
            return;
        }
        if (entered_) {
            outputs_[enteredOutput_]->takeDown();
        }
        for (const auto& o : outputs_) {
            o->takeDown();
        }
        connection_.settle(kStepLimitMs);
    }

    // A copy of each output that the 3 x 3 block around the cursor touches.
    void copyAround(const MonitorPixel& cursor) {
        std::set<std::size_t> touched;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (const auto at = locatePixel(monitors_, cursor, cursor.x + dx, cursor.y + dy)) {
                    touched.insert(at->monitor);
                }
            }
        }
        for (std::size_t monitor : touched) {
            Output& o = *outputs_[monitor];
            o.copy = Output::Copy::Pending;
            o.frame = zwlr_screencopy_manager_v1_capture_output(screencopy_, 0, o.output);
            zwlr_screencopy_frame_v1_add_listener(o.frame, &kFrameListener, this);
        }
        connection_.waitFor(
            [this] {
                return std::none_of(outputs_.begin(), outputs_.end(),
                                    [](const auto& o) { return o->copy == Output::Copy::Pending; });
            },
            kStepLimitMs);
    }

    Output* outputOf(zwlr_screencopy_frame_v1* frame) {
        for (const auto& o : outputs_) {
            if (o->frame == frame) {
                return o.get();
            }
        }
        return nullptr;
    }

    // Every kind of buffer has been offered: one of ours in shared memory, if
    // the compositor offered one in a layout the reader knows.
    void buffersOffered(Output& o) {
        OutputCopy& l = o.layout;
        if (o.offered && !knownCopyFormat(l.format)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08x", unsigned(l.format));
            say(std::string("the desktop copies the screen in a pixel layout this program does not "
                            "read (wl_shm format ") +
                code + "): the swatches there keep their colours");
        }
        if (o.offered && knownCopyFormat(l.format)) {
            o.pixels =
                std::make_unique<SharedBuffer>(shm_, l.width, l.height, l.stride, l.format, true);
        }
        if (!o.pixels || !o.pixels->buffer) {
            o.copy = Output::Copy::Failed;
            return;
        }
        l.bytes = static_cast<const std::uint8_t*>(o.pixels->data);
        l.transform = o.transform;
        zwlr_screencopy_frame_v1_copy(o.frame, o.pixels->buffer);
    }

    void lost() {
        problem_ = {"the connection to the Wayland compositor was lost",
                    "Förbindelsen med skrivbordet bröts, så rutorna behåller sina färger."};
    }

    void releasePointer() {
        if (pointerVersion_ >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(pointer_);
        } else {
            wl_pointer_destroy(pointer_);
        }
        pointer_ = nullptr;
    }

    void addOutput(std::uint32_t name, std::uint32_t version) {
        auto o = std::make_unique<Output>();
        o->name = name;
        o->version = std::min(version, 3u);
        o->output = bind<wl_output>(name, wl_output_interface, o->version);
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        outputs_.push_back(std::move(o));
        describeOutputs();
    }
    void describeOutputs() {
        for (const auto& o : outputs_) {
            if (xdgOutputs_ && !o->xdg) {
                o->xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, o->output);
                zxdg_output_v1_add_listener(o->xdg, &kXdgOutputListener, o.get());
            }
        }
    }

    template <typename T>
    T* bind(std::uint32_t name, const wl_interface& interface, std::uint32_t version) {
        return static_cast<T*>(wl_registry_bind(registry_, name, &interface, version));
    }

    static void global(void* data, wl_registry*, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* self = static_cast<WlrootsScreen*>(data);
        const std::string is = interface;
        if (is == wl_compositor_interface.name) {
            self->compositor_ = self->bind<wl_compositor>(name, wl_compositor_interface, 1);
        } else if (is == wl_shm_interface.name) {
            self->shm_ = self->bind<wl_shm>(name, wl_shm_interface, 1);
        } else if (is == wl_seat_interface.name && !self->seat_) {
            self->seatVersion_ = std::min(version, 5u);
            self->seat_ = self->bind<wl_seat>(name, wl_seat_interface, self->seatVersion_);
            wl_seat_add_listener(self->seat_, &kSeatListener, self);
        } else if (is == wl_output_interface.name) {
            self->addOutput(name, version);
        } else if (is == zwlr_layer_shell_v1_interface.name) {
            self->layerShell_ =
                self->bind<zwlr_layer_shell_v1>(name, zwlr_layer_shell_v1_interface, 1);
        } else if (is == zwlr_screencopy_manager_v1_interface.name) {
            self->screencopy_ = self->bind<zwlr_screencopy_manager_v1>(
                name, zwlr_screencopy_manager_v1_interface, std::min(version, 3u));
            self->screencopyVersion_ = std::min(version, 3u);
        } else if (is == zxdg_output_manager_v1_interface.name) {
            self->xdgOutputs_ = self->bind<zxdg_output_manager_v1>(
                name, zxdg_output_manager_v1_interface, std::min(version, 3u));
            self->describeOutputs();
        }
    }
    static void globalRemoved(void* data, wl_registry*, std::uint32_t name) {
        for (const auto& o : static_cast<WlrootsScreen*>(data)->outputs_) {
            o->gone = o->gone || o->name == name;
        }
    }

    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps) {
        auto* self = static_cast<WlrootsScreen*>(data);
        const bool pointer = caps & WL_SEAT_CAPABILITY_POINTER;
        if (pointer && !self->pointer_) {
            self->pointer_ = wl_seat_get_pointer(seat);
            self->pointerVersion_ = self->seatVersion_;
            wl_pointer_add_listener(self->pointer_, &kPointerListener, self);
        } else if (!pointer && self->pointer_) {
            self->releasePointer();
        }
    }
    static void enter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                      wl_fixed_t x, wl_fixed_t y) {
        auto* self = static_cast<WlrootsScreen*>(data);
        for (std::size_t i = 0; i < self->outputs_.size(); ++i) {
            if (surface && self->outputs_[i]->surface == surface) {
                self->entered_ = true;
                self->enterSerial_ = serial;
                self->enteredOutput_ = i;
                self->enteredX_ = x, self->enteredY_ = y;  // 1/256 of a logical unit
            }
        }
    }

    Connection connection_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatVersion_ = 0;
    wl_pointer* pointer_ = nullptr;
    std::uint32_t pointerVersion_ = 0;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zwlr_screencopy_manager_v1* screencopy_ = nullptr;
    std::uint32_t screencopyVersion_ = 0;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;

    // One tick's.
    std::vector<ScaledMonitor> monitors_;
    std::optional<MonitorPixel> cursor_;
    bool entered_ = false;
    std::uint32_t enterSerial_ = 0;
    std::size_t enteredOutput_ = 0;
    wl_fixed_t enteredX_ = 0, enteredY_ = 0;

    std::set<std::string> said_;
    Unreadable problem_;

    static inline const wl_registry_listener kRegistryListener{global, globalRemoved};
    static inline const wl_seat_listener kSeatListener{capabilities,
                                                       [](void*, wl_seat*, const char*) {}};
    static inline const wl_pointer_listener kPointerListener{
        enter,
        [](void*, wl_pointer*, std::uint32_t, wl_surface*) {},
        [](void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {},
        [](void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
        [](void*, wl_pointer*) {},
        [](void*, wl_pointer*, std::uint32_t) {},
        [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
        [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
        [](void*, wl_pointer*, std::uint32_t, std::int32_t) {}};
    static inline const wl_output_listener kOutputListener{
        [](void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
           std::int32_t, const char*, const char*,
           std::int32_t transform) { static_cast<Output*>(data)->transform = transform & 7; },
        [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
           std::int32_t) {
            if (flags & WL_OUTPUT_MODE_CURRENT) {
                static_cast<Output*>(data)->modeWidth = width;
                static_cast<Output*>(data)->modeHeight = height;
            }
        },
        [](void*, wl_output*) {},
        [](void*, wl_output*, std::int32_t) {},
        [](void*, wl_output*, const char*) {},
        [](void*, wl_output*, const char*) {}};
    static inline const zxdg_output_v1_listener kXdgOutputListener{
        [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
            static_cast<Output*>(data)->logical.x = x;
            static_cast<Output*>(data)->logical.y = y;
        },
        [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
            static_cast<Output*>(data)->logical.width = width;
            static_cast<Output*>(data)->logical.height = height;
        },
        [](void*, zxdg_output_v1*) {}, [](void*, zxdg_output_v1*, const char*) {},
        [](void*, zxdg_output_v1*, const char*) {}};
    static inline const zwlr_layer_surface_v1_listener kOverlayListener{
        [](void* data, zwlr_layer_surface_v1* overlay, std::uint32_t serial, std::uint32_t width,
           std::uint32_t height) {
            auto* o = static_cast<Output*>(data);
            zwlr_layer_surface_v1_ack_configure(overlay, serial);
            if (!o->configured) {
                o->configured = true;
                o->transparent = std::make_unique<SharedBuffer>(
                    o->shm, std::int32_t(width), std::int32_t(height), std::int32_t(width) * 4,
                    WL_SHM_FORMAT_ARGB8888, false);
                wl_surface_attach(o->surface, o->transparent->buffer, 0, 0);
                wl_surface_commit(o->surface);
            }
        },
        [](void* data, zwlr_layer_surface_v1*) {
            static_cast<Output*>(data)->configured = true;  // closed: nothing to wait for
        }};
    static inline const zwlr_screencopy_frame_v1_listener kFrameListener{
        [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format, std::uint32_t width,
           std::uint32_t height, std::uint32_t stride) {
            auto* self = static_cast<WlrootsScreen*>(data);
            if (Output* o = self->outputOf(frame)) {
                o->offered = true;
                o->layout.format = format, o->layout.width = std::int32_t(width);
                o->layout.height = std::int32_t(height), o->layout.stride = std::int32_t(stride);
                if (self->screencopyVersion_ < 3) {
                    self->buffersOffered(*o);  // else once every kind of buffer is offered
                }
            }
        },
        [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t flags) {
            if (Output* o = static_cast<WlrootsScreen*>(data)->outputOf(frame)) {
                o->layout.yInverted = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
            }
        },
        [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t, std::uint32_t,
           std::uint32_t) {
            if (Output* o = static_cast<WlrootsScreen*>(data)->outputOf(frame)) {
                o->copy = o->copy == Output::Copy::Pending ? Output::Copy::Ready : o->copy;
            }
        },
        [](void* data, zwlr_screencopy_frame_v1* frame) {
            if (Output* o = static_cast<WlrootsScreen*>(data)->outputOf(frame)) {
                o->copy = Output::Copy::Failed;
            }
        },
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
           std::uint32_t) {},
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void* data, zwlr_screencopy_frame_v1* frame) {
            auto* self = static_cast<WlrootsScreen*>(data);
            if (Output* o = self->outputOf(frame); o && o->copy == Output::Copy::Pending) {
                self->buffersOffered(*o);
            }
        }};
};

}  // namespace

std::unique_ptr<Screen> openWlrootsScreen() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return nullptr;
    }
    auto screen = std::make_unique<WlrootsScreen>(display);  // owns the connection now
    if (!screen->usable()) {
        return nullptr;
    }
    return screen;
}
