// A wlroots desktop read at the tick, in one moment, on a Wayland connection of
// the reader's own (connection.h). Nothing of the reader's is on the screen
// between ticks: an overlay up during the two seconds would take the user's
// hovering and clicks. At the tick the pointer probe (pointer_probe.h) learns
// where the pointer is and hides its picture, the outputs that the 3 x 3 block
// touches are copied while it is hidden (output_capture.h), and the probe's
// overlays come down. Outputs are placed in logical coordinates (xdg-output)
// and read in their own pixels as shown, through scaled_layout.h as the screen
// cast is.

#include "screen_wlroots.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "connection.h"
#include "core/scaled_layout.h"
#include "output_capture.h"
#include "output_copy.h"
#include "pointer_probe.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace {

// The compositor's answers to what the reader binds: within a frame, a limit
// only for one that never answers.
constexpr int kSettleLimitMs = 1000;

struct Output {
    std::uint32_t name = 0;  // the global's
    wl_output* output = nullptr;
    std::uint32_t version = 0;
    zxdg_output_v1* xdg = nullptr;
    MonitorRect logical{0, 0, 0, 0};
    std::int32_t modeWidth = 0, modeHeight = 0;  // the buffer's, before any turn
    int transform = 0;
    bool gone = false;  // removed by the compositor; dropped when no tick runs

    ScaledMonitor monitor() const {
        const ShownSize shown = shownSize(modeWidth, modeHeight, transform);
        return {logical, gone ? 0 : shown.width, gone ? 0 : shown.height};
    }
    ~Output() {
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
        // The globals, then what the outputs and the seat say of themselves.
        connection_.settle(kSettleLimitMs);
        connection_.settle(kSettleLimitMs);
        if (usable()) {
            probe_ = std::make_unique<PointerProbe>(connection_, compositor_, shm_, layerShell_);
            capture_ =
                std::make_unique<OutputCapture>(connection_, shm_, screencopy_, screencopyVersion_,
                                                [this](const std::string& what) { say(what); });
            if (seat_) {
                probe_->seatCapabilities(seat_, seatCapabilities_, seatVersion_);
            }
        }
    }
    ~WlrootsScreen() override {
        outputs_.clear();
        probe_.reset();
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
    // before the tick goes on; the tick's reads look up what was copied.
    void cursorPosition(ScreenPoint& point) override {
        cursor_.reset();
        if (!connection_.catchUp()) {
            return lost();
        }
        // Outputs keep their places for the whole tick: one that goes meanwhile is
        // only marked, and dropped here.
        std::erase_if(outputs_, [](const auto& o) { return o->gone; });
        monitors_.clear();
        std::vector<wl_output*> outputs;
        for (const auto& o : outputs_) {
            monitors_.push_back(o->monitor());
            outputs.push_back(o->output);
        }
        if (const auto found = probe_->raise(outputs)) {
            cursor_ = pixelUnder(monitors_, found->output, found->x, found->y);
        }
        if (cursor_) {
            point = {cursor_->x, cursor_->y};
            copyAround(*cursor_);
        } else if (!connection_.lost()) {
            say("the desktop did not say where the pointer is (another program's overlay may "
                "hold it): nothing was sampled");
        }
        probe_->lower();
        if (connection_.lost()) {
            lost();
        }
    }

    ScreenHandle acquire() override { return this; }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        const std::optional<MonitorPixel> at =
            handle == this && cursor_ ? locatePixel(monitors_, *cursor_, x, y) : std::nullopt;
        const auto read = at ? copied_.find({at->monitor, at->x, at->y}) : copied_.end();
        return read == copied_.end() ? kInvalidColour : read->second;
    }

    void release(ScreenHandle) override {
        copied_.clear();
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

    // The block's pixels, output by output, copied.
    void copyAround(const MonitorPixel& cursor) {
        std::vector<OutputCapture::Wanted> wanted;
        std::vector<std::size_t> monitorOf;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const auto at = locatePixel(monitors_, cursor, cursor.x + dx, cursor.y + dy);
                if (!at) {
                    continue;
                }
                const auto i = std::size_t(
                    std::find(monitorOf.begin(), monitorOf.end(), at->monitor) - monitorOf.begin());
                if (i == monitorOf.size()) {
                    const Output& o = *outputs_[at->monitor];
                    monitorOf.push_back(at->monitor);
                    wanted.push_back({o.output, o.transform, {}});
                }
                wanted[i].pixels.emplace_back(at->x, at->y);
            }
        }
        const auto colours = capture_->copy(wanted);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            for (std::size_t j = 0; j < wanted[i].pixels.size(); ++j) {
                const auto [x, y] = wanted[i].pixels[j];
                copied_[{monitorOf[i], x, y}] = colours[i][j];
            }
        }
    }

    void lost() {
        problem_ = {"the connection to the Wayland compositor was lost",
                    "Förbindelsen med skrivbordet bröts, så rutorna behåller sina färger."};
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
        self->seatCapabilities_ = caps;
        if (self->probe_) {
            self->probe_->seatCapabilities(seat, caps, self->seatVersion_);
        }
    }

    Connection connection_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatVersion_ = 0;
    std::uint32_t seatCapabilities_ = 0;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zwlr_screencopy_manager_v1* screencopy_ = nullptr;
    std::uint32_t screencopyVersion_ = 0;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::unique_ptr<PointerProbe> probe_;
    std::unique_ptr<OutputCapture> capture_;

    // One tick's: the monitors as they were, the pixel under the pointer, and
    // the colours copied, by monitor and pixel.
    std::vector<ScaledMonitor> monitors_;
    std::optional<MonitorPixel> cursor_;
    std::map<std::tuple<std::size_t, std::int32_t, std::int32_t>, ColorValue> copied_;

    std::set<std::string> said_;
    Unreadable problem_;

    static inline const wl_registry_listener kRegistryListener{global, globalRemoved};
    static inline const wl_seat_listener kSeatListener{capabilities,
                                                       [](void*, wl_seat*, const char*) {}};
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
