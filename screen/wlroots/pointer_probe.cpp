#include "pointer_probe.h"

#include <algorithm>

#include "connection.h"
#include "shared_buffer.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

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

}  // namespace

struct PointerProbe::Overlay {
    wl_shm* shm;
    wl_surface* surface;
    zwlr_layer_surface_v1* layer = nullptr;
    std::unique_ptr<SharedBuffer> transparent;
    bool configured = false;

    Overlay(wl_compositor* compositor, wl_shm* shm, zwlr_layer_shell_v1* shell, wl_output* output)
        : shm(shm), surface(wl_compositor_create_surface(compositor)) {
        layer = zwlr_layer_shell_v1_get_layer_surface(
            shell, surface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "pixel-sampler");
        zwlr_layer_surface_v1_add_listener(layer, &kListener, this);
        zwlr_layer_surface_v1_set_anchor(layer, kAllEdges);
        zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer, 0);
        wl_surface_commit(surface);
    }
    ~Overlay() {
        zwlr_layer_surface_v1_destroy(layer);
        wl_surface_destroy(surface);
    }

    static inline const zwlr_layer_surface_v1_listener kListener{
        [](void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
           std::uint32_t height) {
            auto* o = static_cast<Overlay*>(data);
            zwlr_layer_surface_v1_ack_configure(layer, serial);
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
            static_cast<Overlay*>(data)->configured = true;  // closed: nothing to wait for
        }};
};

PointerProbe::PointerProbe(Connection& connection, wl_compositor* compositor, wl_shm* shm,
                           zwlr_layer_shell_v1* layerShell)
    : connection_(connection), compositor_(compositor), shm_(shm), layerShell_(layerShell) {}

PointerProbe::~PointerProbe() {
    overlays_.clear();
    if (pointer_) {
        releasePointer();
    }
}

void PointerProbe::seatCapabilities(wl_seat* seat, std::uint32_t capabilities,
                                    std::uint32_t version) {
    static const wl_pointer_listener kPointerListener{
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
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (hasPointer && !pointer_) {
        pointer_ = wl_seat_get_pointer(seat);
        pointerVersion_ = version;
        wl_pointer_add_listener(pointer_, &kPointerListener, this);
    } else if (!hasPointer && pointer_) {
        releasePointer();
    }
}

void PointerProbe::releasePointer() {
    if (pointerVersion_ >= WL_POINTER_RELEASE_SINCE_VERSION) {
        wl_pointer_release(pointer_);
    } else {
        wl_pointer_destroy(pointer_);
    }
    pointer_ = nullptr;
}

std::optional<PointerProbe::Found> PointerProbe::raise(const std::vector<wl_output*>& outputs) {
    found_.reset();
    if (!pointer_) {
        return std::nullopt;  // a seat with no pointer: nothing to learn
    }
    for (wl_output* output : outputs) {
        overlays_.push_back(std::make_unique<Overlay>(compositor_, shm_, layerShell_, output));
    }
    // Each overlay is mapped as its size comes; the enter follows the map, once
    // the compositor has handled it (a large output's first frame can hold it
    // up longer than the enter's own limit).
    connection_.waitFor(
        [this] {
            return std::all_of(overlays_.begin(), overlays_.end(),
                               [](const auto& o) { return o->configured; });
        },
        kStepLimitMs);
    connection_.settle(kStepLimitMs);
    connection_.waitFor([this] { return found_.has_value(); }, kEnterLimitMs);
    return found_;
}

void PointerProbe::enter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                         wl_fixed_t x, wl_fixed_t y) {
    auto* self = static_cast<PointerProbe*>(data);
    for (std::size_t i = 0; i < self->overlays_.size(); ++i) {
        if (surface && self->overlays_[i]->surface == surface) {
            self->found_ = Found{i, x, y};
            wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
        }
    }
}

void PointerProbe::lower() {
    if (overlays_.empty()) {
        return;
    }
    if (found_) {
        overlays_[found_->output].reset();
    }
    overlays_.clear();
    connection_.settle(kStepLimitMs);
}
