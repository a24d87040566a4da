// One output copied whole by the compositor, written as a PPM picture of what
// it shows, pixel for pixel, as the program decodes a copy: the sway test's
// view of the screen (grim resamples outputs at fractional scales).
//   whole-output INDEX (the output's place among the globals)
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <string>
#include <vector>

#include "screen/wlroots/output_copy.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

static std::vector<wl_output*> outputs;
static wl_shm* shm;
static zwlr_screencopy_manager_v1* copier;
static OutputCopy copy;
static int done;  // 1 ready, -1 failed

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    static const wl_output_listener turns{
        [](void*, wl_output*, int, int, int, int, int, const char*, const char*, int transform) {
            copy.transform = transform;
        },
        [](void*, wl_output*, uint32_t, int, int, int) {},
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    const wl_registry_listener globals{
        [](void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            const std::string is = interface;
            if (is == wl_output_interface.name) {
                outputs.push_back(static_cast<wl_output*>(
                    wl_registry_bind(registry, name, &wl_output_interface, 1)));
            } else if (is == wl_shm_interface.name) {
                shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
            } else if (is == zwlr_screencopy_manager_v1_interface.name) {
                copier = static_cast<zwlr_screencopy_manager_v1*>(
                    wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, 1));
            }
        },
        [](void*, wl_registry*, uint32_t) {}};
    if (argc != 2 || !display ||
        wl_registry_add_listener(wl_display_get_registry(display), &globals, nullptr) ||
        wl_display_roundtrip(display) < 0 || !copier || !shm ||
        std::stoul(argv[1]) >= outputs.size()) {
        return 1;
    }
    wl_output* output = outputs[std::stoul(argv[1])];
    wl_output_add_listener(output, &turns, nullptr);
    const zwlr_screencopy_frame_v1_listener frameEvents{
        [](void*, zwlr_screencopy_frame_v1*, uint32_t f, uint32_t w, uint32_t h, uint32_t s) {
            copy.format = f, copy.width = int(w), copy.height = int(h), copy.stride = int(s);
        },
        [](void*, zwlr_screencopy_frame_v1*, uint32_t flags) { copy.yInverted = flags & 1; },
        [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { done = 1; },
        [](void*, zwlr_screencopy_frame_v1*) { done = -1; },
        nullptr,
        nullptr,
        nullptr};  // sent to version 2 and later alone
    zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output(copier, 0, output);
    zwlr_screencopy_frame_v1_add_listener(frame, &frameEvents, nullptr);
    wl_display_roundtrip(display);
    const size_t size = size_t(copy.stride) * size_t(copy.height);
    const int fd = memfd_create("whole-output", 0);
    if (!size || ftruncate(fd, off_t(size)) < 0) {
        return 1;
    }
    copy.bytes = static_cast<const uint8_t*>(mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0));
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
    zwlr_screencopy_frame_v1_copy(frame, wl_shm_pool_create_buffer(pool, 0, copy.width, copy.height,
                                                                   copy.stride, copy.format));
    while (!done && wl_display_dispatch(display) != -1) {
    }
    const ShownSize shown = shownSize(copy.width, copy.height, copy.transform);
    std::printf("P6\n%d %d\n255\n", shown.width, shown.height);
    for (int y = 0; y < shown.height && done == 1; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const ColorValue c = shownPixel(copy, x, y);
            std::putchar(redOf(c)), std::putchar(greenOf(c)), std::putchar(blueOf(c));
        }
    }
    return done == 1 ? 0 : 1;
}
