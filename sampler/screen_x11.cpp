// The screen as an X server shows it, on a connection of the reader's own, in
// physical pixels whatever scale the window toolkit uses.

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "monitor_layout.h"
#include "pixel_format.h"
#include "screen.h"

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

class X11Screen final : public Screen {
public:
    // The display is the one named when the reader is made, even if the
    // connection is only opened at the first read.
    X11Screen() {
        if (const char* name = std::getenv("DISPLAY")) {
            display_ = name;
        }
    }

    void cursorPosition(ScreenPoint& point) override {
        if (!connect()) {
            return;
        }
        XcbReply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(
            connection_.get(), xcb_query_pointer(connection_.get(), screen_->root), nullptr));
        if (reply && reply->same_screen) {
            point = {reply->root_x, reply->root_y};
        }
    }

    ScreenHandle acquire() override {
        if (!connect()) {
            return nullptr;
        }
        // Monitors come and go between ticks; within one tick the layout holds.
        layout_ = readLayout();
        return this;
    }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        if (handle != this || !layout_.contains(x, y)) {
            return kInvalidColour;
        }
        // Inside a monitor, so inside the root: the 16-bit request fields hold it.
        xcb_generic_error_t* rawError = nullptr;
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            connection_.get(),
            xcb_get_image(connection_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                          static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 1, 1, ~0u),
            &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);  // BadMatch is a failed read, not a crash
        if (!reply) {
            return kInvalidColour;
        }
        const std::uint8_t* data = xcb_get_image_data(reply.get());
        const int length = xcb_get_image_data_length(reply.get());
        std::uint32_t value = 0;
        if (!readPixelValue(format_, data, static_cast<std::size_t>(length), value)) {
            return kInvalidColour;
        }
        if (screen_->root_depth < 32) {
            value &= (std::uint32_t{1} << screen_->root_depth) - 1;  // the rest is padding
        }
        return format_.hasMasks() ? colourFromPixel(format_, value) : lookUpColour(value);
    }

    void release(ScreenHandle) override { layout_ = MonitorLayout(); }

private:
    // Connects on first use, so the window opens without waiting for a second
    // connection; a display that cannot be reached is tried once only.
    bool connect() {
        if (!attempted_) {
            attempted_ = true;
            open();
        }
        return usable_;
    }

    void open() {
        int screenNumber = 0;
        connection_.reset(
            xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screenNumber));
        if (xcb_connection_has_error(connection_.get())) {
            return;
        }
        const xcb_setup_t* setup = xcb_get_setup(connection_.get());
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem == 0) {
            return;
        }
        screen_ = it.data;
        if (isXWayland()) {
            // XWayland's root window holds no real screen pixels: black read as
            // a sample would be a wrong result presented as a read.
            return;
        }
        readPixelFormat(setup);
        useMonitors_ = randrHasMonitors();
        usable_ = true;
    }

    bool isXWayland() {
        static constexpr char kName[] = "XWAYLAND";
        XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
            connection_.get(), xcb_query_extension(connection_.get(), sizeof kName - 1, kName),
            nullptr));
        return reply && reply->present;
    }

    void readPixelFormat(const xcb_setup_t* setup) {
        format_.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        format_.bitsPerPixel = 0;
        for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
            if (it.data->depth == screen_->root_depth) {
                format_.bitsPerPixel = it.data->bits_per_pixel;
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

    // Colour-mapped roots (8-bit pseudo-colour, direct colour) need the
    // server's own look-up of the pixel value.
    ColorValue lookUpColour(std::uint32_t value) {
        XcbReply<xcb_query_colors_reply_t> reply(xcb_query_colors_reply(
            connection_.get(),
            xcb_query_colors(connection_.get(), screen_->default_colormap, 1, &value), nullptr));
        if (!reply || xcb_query_colors_colors_length(reply.get()) < 1) {
            return kInvalidColour;
        }
        const xcb_rgb_t rgb = xcb_query_colors_colors(reply.get())[0];
        return packColour(rgb.red >> 8, rgb.green >> 8, rgb.blue >> 8);
    }

    bool randrHasMonitors() {
        const xcb_query_extension_reply_t* ext =
            xcb_get_extension_data(connection_.get(), &xcb_randr_id);
        if (!ext || !ext->present) {
            return false;
        }
        XcbReply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            connection_.get(), xcb_randr_query_version(connection_.get(), 1, 5), nullptr));
        return version && (version->major_version > 1 ||
                           (version->major_version == 1 && version->minor_version >= 5));
    }

    MonitorLayout readLayout() {
        std::vector<MonitorRect> monitors;
        if (useMonitors_) {
            XcbReply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
                connection_.get(), xcb_randr_get_monitors(connection_.get(), screen_->root, 1),
                nullptr));
            if (reply) {
                for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
                     xcb_randr_monitor_info_next(&it)) {
                    monitors.push_back({it.data->x, it.data->y, it.data->width, it.data->height});
                }
            }
        }
        if (monitors.empty()) {
            // No RandR, or no monitor defined: the root window is the screen.
            XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
                connection_.get(), xcb_get_geometry(connection_.get(), screen_->root), nullptr));
            if (geometry) {
                monitors.push_back({0, 0, geometry->width, geometry->height});
            }
        }
        return MonitorLayout(std::move(monitors));
    }

    std::string display_;
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection_;
    xcb_screen_t* screen_ = nullptr;
    PixelFormat format_;
    MonitorLayout layout_;
    bool useMonitors_ = false;
    bool attempted_ = false;
    bool usable_ = false;
};

}  // namespace

std::unique_ptr<Screen> openSystemScreen() {
    return std::make_unique<X11Screen>();
}

void prepareWindowPlatform() {
    // The reader sees X11 only; under a Wayland session the window must still be
    // an X11 client so that the cursor and its pixels agree.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "xcb", 0);
    }
}
