// What the sway tests ask of the desktop that no user's program does:
//   sway-helper pointer   a pointer for a seat that has none (a headless sway's), there while
//                         this runs; sway moves it (swaymsg seat seat0 cursor set X Y)
//   sway-helper copy N X,Y...   output N (its place among the globals, not turned) copied whole,
//                         and the red, green and blue of each pixel X,Y written on a line,
//                         as the program reads copies (grim resamples fractional scales)
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "screen/wlroots/connection.h"
#include "screen/wlroots/output_capture.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static zwlr_virtual_pointer_manager_v1* pointers;
static zwlr_screencopy_manager_v1* copier;
static wl_seat* seat;
static wl_shm* shm;
static std::vector<wl_output*> outputs;

template <typename T>
static void bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface, T*& to) {
    to = static_cast<T*>(wl_registry_bind(registry, name, &interface, 1));
}

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    const wl_registry_listener globals{
        [](void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
            const std::string is = interface;
            if (is == zwlr_virtual_pointer_manager_v1_interface.name) {
                bind(registry, name, zwlr_virtual_pointer_manager_v1_interface, pointers);
            } else if (is == zwlr_screencopy_manager_v1_interface.name) {
                bind(registry, name, zwlr_screencopy_manager_v1_interface, copier);
            } else if (is == wl_seat_interface.name && !seat) {
                bind(registry, name, wl_seat_interface, seat);
            } else if (is == wl_shm_interface.name) {
                bind(registry, name, wl_shm_interface, shm);
            } else if (is == wl_output_interface.name) {
                bind(registry, name, wl_output_interface, outputs.emplace_back());
            }
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    if (argc < 2 || !display ||
        wl_registry_add_listener(wl_display_get_registry(display), &globals, nullptr) ||
        wl_display_roundtrip(display) < 0) {
        return 1;
    }
    Connection connection(display);
    if (std::string(argv[1]) == "pointer" && pointers && seat) {
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
        wl_display_roundtrip(display);
        std::puts("ready");
        std::fflush(stdout);
        while (wl_display_dispatch(display) != -1) {
        }
    }
    if (argc < 3 || std::string(argv[1]) != "copy" || !copier ||
        std::stoul(argv[2]) >= outputs.size()) {
        return 1;
    }
    OutputCapture::Wanted wanted{outputs[std::stoul(argv[2])], 0, {}};
    for (int i = 3; i < argc; ++i) {
        wanted.pixels.emplace_back(std::atoi(argv[i]), std::atoi(std::strchr(argv[i], ',') + 1));
    }
    const auto colours =
        OutputCapture(connection, shm, copier, 1, [](const std::string&) {}).copy({wanted});
    int status = 0;
    for (ColorValue c : colours[0]) {
        status |= c < 0;
        std::printf("%d %d %d\n", redOf(c), greenOf(c), blueOf(c));
    }
    return status;
}
