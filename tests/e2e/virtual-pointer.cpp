// A pointer for a seat that has none (a headless compositor's), there while
// this runs; the compositor moves it (swaymsg seat seat0 cursor set X Y).
#include <wayland-client.h>

#include <cstdio>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static zwlr_virtual_pointer_manager_v1* manager;
static wl_seat* seat;

int main() {
    wl_display* display = wl_display_connect(nullptr);
    const wl_registry_listener listener{
        [](void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            if (std::string(interface) == zwlr_virtual_pointer_manager_v1_interface.name) {
                manager = static_cast<zwlr_virtual_pointer_manager_v1*>(wl_registry_bind(
                    registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
            } else if (std::string(interface) == wl_seat_interface.name && !seat) {
                seat =
                    static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            }
        },
        [](void*, wl_registry*, uint32_t) {}};
    if (!display ||
        wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr) ||
        wl_display_roundtrip(display) < 0 || !manager) {
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
}
