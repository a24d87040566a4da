#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class Connection;
struct SharedBuffer;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// Where the pointer is, learnt at the tick with nothing of the reader's on the
// screen before or after: a fully transparent overlay (layer shell, above
// everything, taking no keyboard) goes up on every output; the compositor tells
// the overlay under the pointer where the pointer is (wl_pointer.enter) as soon
// as it is mapped, no motion needed; the cursor's picture is hidden (a
// compositor that draws the cursor in software copies it into the pixels
// otherwise); and the overlays come down again, the one under the pointer first
// (else the pointer stays hidden until it moves).
class PointerProbe {
public:
    struct Found {
        std::size_t output = 0;  // of those raised over
        wl_fixed_t x = 0;        // on it, in 1/256 of a logical unit
        wl_fixed_t y = 0;
    };

    PointerProbe(Connection& connection, wl_compositor* compositor, wl_shm* shm,
                 zwlr_layer_shell_v1* layerShell);
    ~PointerProbe();
    PointerProbe(const PointerProbe&) = delete;
    PointerProbe& operator=(const PointerProbe&) = delete;

    // The seat's pointer, made and given back as the seat gains and loses one.
    void seatCapabilities(wl_seat* seat, std::uint32_t capabilities, std::uint32_t version);
    // Overlays up on the outputs, and where the pointer is, its picture hidden;
    // none where the seat has no pointer or the compositor did not say in time.
    std::optional<Found> raise(const std::vector<wl_output*>& outputs);
    // The overlays down again, once the compositor has handled it.
    void lower();

private:
    struct Overlay;
    static void enter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                      wl_fixed_t x, wl_fixed_t y);
    void releasePointer();

    Connection& connection_;
    wl_compositor* compositor_;
    wl_shm* shm_;
    zwlr_layer_shell_v1* layerShell_;
    wl_pointer* pointer_ = nullptr;
    std::uint32_t pointerVersion_ = 0;
    std::vector<std::unique_ptr<Overlay>> overlays_;
    std::optional<Found> found_;
};
