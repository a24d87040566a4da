// The screen as an X server shows it, on a connection of the reader's own, in
// physical pixels whatever scale the window toolkit uses. A tick costs two round
// trips: the pointer with the monitor layout, then the 3 x 3 block around it,
// so the nine pixels are one moment of the screen.

#include "screen_x11.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/monitor_layout.h"
#include "pixel_format.h"

namespace {

// Every reply and error xcb hands us is malloc'ed and ours to free.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

// A rectangle of the root, as one GetImage showed it.
struct Block {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<ColorValue> colours;

    bool contains(std::int32_t px, std::int32_t py) const {
        return px >= x && py >= y && px - x < width && py - y < height;
    }
    ColorValue at(std::int32_t px, std::int32_t py) const {
        return colours[std::size_t(py - y) * width + (px - x)];
    }
};

class X11Screen final : public Screen {
public:
    // The display is the one named when the reader is made, even if the
    // connection is only opened at the first read.
    explicit X11Screen(X11Reads reads) : reads_(reads) {
        if (const char* name = std::getenv("DISPLAY")) {
            display_ = name;
        }
    }

    void cursorPosition(ScreenPoint& point) override {
        if (!connect()) {
            return;
        }
        // Both requests go out before either reply is awaited: one round trip.
        const xcb_query_pointer_cookie_t pointer = xcb_query_pointer(c(), screen_->root);
        ++traffic_.requests;
        const LayoutRequest layout = requestLayout();
        XcbReply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(c(), pointer, nullptr));
        ++traffic_.roundTrips;
        layout_ = receiveLayout(layout);
        layoutFresh_ = true;
        if (reply && reply->same_screen) {
            point = {reply->root_x, reply->root_y};
        }
    }

    ScreenHandle acquire() override {
        if (!connect()) {
            return nullptr;
        }
        // Monitors come and go between ticks; within one tick the layout holds.
        if (!layoutFresh_) {
            const LayoutRequest request = requestLayout();
            ++traffic_.roundTrips;
            layout_ = receiveLayout(request);
        }
        block_ = Block();
        blockTried_ = reads_ == X11Reads::PerPixel;
        coloursFailed_ = false;
        return this;
    }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        if (handle != this || !layout_.contains(x, y)) {
            return kInvalidColour;
        }
        if (!blockTried_) {
            blockTried_ = true;
            fetchBlockAround(x, y);
        }
        if (coloursFailed_) {
            return kInvalidColour;
        }
        if (block_.contains(x, y)) {
            return block_.at(x, y);
        }
        // Inside a monitor: the 16-bit request fields hold it.
        const Block single = fetch(x, y, 1, 1);
        return single.colours.empty() ? kInvalidColour : single.colours.front();
    }

    void release(ScreenHandle) override {
        layout_ = MonitorLayout();
        layoutFresh_ = false;
        block_ = Block();
    }

    Unreadable whyUnreadable() override {
        connect();
        if (problem_.empty()) {
            return {};
        }
        return {problem_,
                "Den här sessionen låter inte program läsa skärmen, så rutorna behåller sina "
                "färger.\n\nLogga in i en X11-session för att kunna läsa pixlar."};
    }

    Traffic traffic() const override { return traffic_; }

private:
    struct LayoutRequest {
        xcb_randr_get_monitors_cookie_t monitors{};
        xcb_get_geometry_cookie_t root{};
    };

    xcb_connection_t* c() const { return connection_.get(); }

    // Connects on first use, so the window opens without waiting for a second
    // connection; a display that cannot be reached is tried once only.
    bool connect() {
        if (!attempted_) {
            attempted_ = true;
            problem_ = open();
        }
        return problem_.empty();
    }

    std::string open() {
        int screenNumber = 0;
        connection_.reset(
            xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screenNumber));
        if (xcb_connection_has_error(c())) {
            return "cannot open display \"" + display_ + "\"";
        }
        const xcb_setup_t* setup = xcb_get_setup(c());
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem == 0) {
            return "no screen " + std::to_string(screenNumber) + " on \"" + display_ + "\"";
        }
        screen_ = it.data;
        useMonitors_ = randrHasMonitors();
        // Decided by trying, not by names: a rootless XWayland refuses its root
        // (it holds no screen pixels), a rootful one draws it and is read.
        xcb_generic_error_t* refused = nullptr;
        XcbReply<xcb_get_image_reply_t> probe(xcb_get_image_reply(
            c(), xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, 0, 0, 1, 1, ~0u),
            &refused));
        XcbReply<xcb_generic_error_t> error(refused);
        if (!probe) {
            return "\"" + display_ + "\" does not let programs read its root window, as XWayland " +
                   "does under a Wayland session; an X11 session allows it";
        }
        readPixelFormat(setup);
        return {};
    }

    void readPixelFormat(const xcb_setup_t* setup) {
        format_.depth = screen_->root_depth;
        format_.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        format_.bitsPerPixel = 0;
        for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
            if (it.data->depth == screen_->root_depth) {
                format_.bitsPerPixel = it.data->bits_per_pixel;
                format_.scanlinePad = it.data->scanline_pad;
            }
        }
        format_.redMask = format_.greenMask = format_.blueMask = 0;
        for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
                 xcb_visualtype_next(&visuals)) {
                const xcb_visualtype_t* v = visuals.data;
                if (v->visual_id == screen_->root_visual &&
                    v->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                    format_.redMask = v->red_mask;
                    format_.greenMask = v->green_mask;
                    format_.blueMask = v->blue_mask;
                }
            }
        }
    }

    // The 3 x 3 block around the tick's first read, clipped to the root as this
    // tick found it (the size the connection opened with goes stale when the
    // screen is resized). Where the server refuses it, the reads go one by one.
    void fetchBlockAround(std::int32_t x, std::int32_t y) {
        const std::int32_t left = std::max(x, std::int32_t{1}) - 1;
        const std::int32_t top = std::max(y, std::int32_t{1}) - 1;
        const std::int32_t right = std::min(x + 1, rootWidth_ - 1);
        const std::int32_t bottom = std::min(y + 1, rootHeight_ - 1);
        if (left <= right && top <= bottom) {
            block_ = fetch(left, top, right - left + 1, bottom - top + 1);
        }
    }

    // One GetImage; an empty block where the server refused it (BadMatch).
    Block fetch(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
        xcb_generic_error_t* rawError = nullptr;
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            c(),
            xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                          static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                          ~0u),
            &rawError));
        ++traffic_.requests;
        ++traffic_.roundTrips;
        XcbReply<xcb_generic_error_t> error(rawError);
        if (!reply) {
            return {};
        }
        const std::vector<std::uint32_t> values = readPixelValues(
            format_, xcb_get_image_data(reply.get()),
            static_cast<std::size_t>(xcb_get_image_data_length(reply.get())), width, height);
        if (values.empty()) {
            return {};
        }
        Block block{x, y, width, height, {}};
        if (format_.hasMasks()) {
            for (std::uint32_t value : values) {
                block.colours.push_back(colourFromPixel(format_, value));
            }
        } else {
            block.colours = lookUpColours(values);
            // Pixels whose colours are unknown are no reading: the whole tick reads -1.
            coloursFailed_ = block.colours.empty();
            if (coloursFailed_) {
                return {};
            }
        }
        return block;
    }

    // Colour-mapped roots (8-bit pseudo-colour, direct colour) need the
    // server's own look-up of the pixel values: one more round trip.
    std::vector<ColorValue> lookUpColours(const std::vector<std::uint32_t>& values) {
        XcbReply<xcb_query_colors_reply_t> reply(xcb_query_colors_reply(
            c(),
            xcb_query_colors(c(), screen_->default_colormap,
                             static_cast<std::uint32_t>(values.size()), values.data()),
            nullptr));
        ++traffic_.requests;
        ++traffic_.roundTrips;
        if (!reply ||
            xcb_query_colors_colors_length(reply.get()) != static_cast<int>(values.size())) {
            return {};
        }
        std::vector<ColorValue> colours;
        for (int i = 0; i < xcb_query_colors_colors_length(reply.get()); ++i) {
            const xcb_rgb_t rgb = xcb_query_colors_colors(reply.get())[i];
            colours.push_back(packColour(rgb.red >> 8, rgb.green >> 8, rgb.blue >> 8));
        }
        return colours;
    }

    bool randrHasMonitors() {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c(), &xcb_randr_id);
        if (!ext || !ext->present) {
            return false;
        }
        XcbReply<xcb_randr_query_version_reply_t> version(
            xcb_randr_query_version_reply(c(), xcb_randr_query_version(c(), 1, 5), nullptr));
        return version && (version->major_version > 1 ||
                           (version->major_version == 1 && version->minor_version >= 5));
    }

    // The monitors and the root's size are both asked for, so that no second
    // round trip is needed when RandR defines no monitor.
    LayoutRequest requestLayout() {
        LayoutRequest request;
        if (useMonitors_) {
            request.monitors = xcb_randr_get_monitors(c(), screen_->root, 1);
            ++traffic_.requests;
        }
        request.root = xcb_get_geometry(c(), screen_->root);
        ++traffic_.requests;
        return request;
    }

    MonitorLayout receiveLayout(const LayoutRequest& request) {
        std::vector<MonitorRect> monitors;
        if (useMonitors_) {
            XcbReply<xcb_randr_get_monitors_reply_t> reply(
                xcb_randr_get_monitors_reply(c(), request.monitors, nullptr));
            if (reply) {
                for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
                     xcb_randr_monitor_info_next(&it)) {
                    monitors.push_back({it.data->x, it.data->y, it.data->width, it.data->height});
                }
            }
        }
        XcbReply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c(), request.root, nullptr));
        rootWidth_ = geometry ? geometry->width : 0;
        rootHeight_ = geometry ? geometry->height : 0;
        if (monitors.empty() && geometry) {
            // No RandR, or no monitor defined: the root window is the screen.
            monitors.push_back({0, 0, geometry->width, geometry->height});
        }
        return MonitorLayout(std::move(monitors));
    }

    X11Reads reads_;
    std::string display_;
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection_;
    xcb_screen_t* screen_ = nullptr;
    PixelFormat format_;
    MonitorLayout layout_;
    bool layoutFresh_ = false;
    Block block_;
    bool blockTried_ = false;
    bool coloursFailed_ = false;
    std::int32_t rootWidth_ = 0;
    std::int32_t rootHeight_ = 0;
    bool useMonitors_ = false;
    bool attempted_ = false;
    std::string problem_;
    Traffic traffic_;
};

}  // namespace

std::unique_ptr<Screen> openX11Screen(X11Reads reads) {
    return std::make_unique<X11Screen>(reads);
}
