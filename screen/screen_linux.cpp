// Which reader a Linux desktop gets, decided by trying: an X server whose root
// can be read is read (X11, or a rootful XWayland); a Wayland desktop whose X
// server cannot be read (or that has none) is read by the compositor's own
// copies where it offers them (wlroots desktops), else through its screen cast.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "wayland/screen_portal.h"
#include "wlroots/screen_wlroots.h"
#include "x11/screen_x11.h"

namespace {

bool waylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::strcmp(type, "wayland") == 0);
}

bool xServerReachable() {
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const bool reached = !xcb_connection_has_error(probe);
    xcb_disconnect(probe);
    return reached;
}

// Found once, so that the window's platform and the reader agree even where
// the X server's answer would change (a rootful Xwayland still starting).
bool x11Readable() {
    static const bool readable = openX11Screen(X11Reads::Block)->whyUnreadable().reason.empty();
    return readable;
}

}  // namespace

std::unique_ptr<Screen> openSystemScreen() {
    if (!waylandSession() || x11Readable()) {
        return openX11Screen(X11Reads::Block);
    }
    if (std::unique_ptr<Screen> wlroots = openWlrootsScreen()) {
        return wlroots;
    }
    return openPortalScreen();
}

std::string prepareWindowPlatform() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool chosen = platform && *platform;
    if (chosen && std::strcmp(platform, "xcb") != 0) {
        return {};
    }
    // A Wayland desktop read through its screen cast gets a native window, drawn
    // at each monitor's own scale (an XWayland window is scaled up, blurred), and
    // an X11 one where Qt has no Wayland platform. Where an X root is read, the
    // window is its client, so that it stands on the screen the reader reads.
    if (!chosen && waylandSession() && !x11Readable()) {
        setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
        return {};
    }
    if (xServerReachable()) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return {};
    }
    // Said plainly, as X11 programs do, instead of the toolkit's abort.
    const char* display = std::getenv("DISPLAY");
    return display ? std::string("cannot open display \"") + display + "\""
                   : std::string("cannot open a display: DISPLAY is not set");
}
