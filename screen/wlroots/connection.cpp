#include "connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;
}

Connection::~Connection() {
    wl_display_disconnect(display_);
}

bool Connection::lost() const {
    return wl_display_get_error(display_) != 0;
}

bool Connection::catchUp() {
    return waitFor([] { return false; }, 0) || !lost();
}

bool Connection::waitFor(const std::function<bool()>& done, int limitMs) {
    ++waits_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    // A display in error dispatches nothing more, yet may keep events queued
    // that make every prepare_read fail: it is given up, not spun on.
    while (wl_display_dispatch_pending(display_) >= 0 && !done()) {
        if (wl_display_prepare_read(display_) != 0) {
            continue;
        }
        wl_display_flush(display_);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd in{wl_display_get_fd(display_), POLLIN, 0};
        if (poll(&in, 1, int(std::max<long>(left.count(), 0))) <= 0) {
            wl_display_cancel_read(display_);
            if (Clock::now() >= deadline) {
                return false;
            }
        } else if (wl_display_read_events(display_) < 0) {
            return false;
        }
    }
    return !lost() && done();
}

bool Connection::settle(int limitMs) {
    bool done = false;
    static const wl_callback_listener kListener{
        [](void* done, wl_callback*, std::uint32_t) { *static_cast<bool*>(done) = true; }};
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &kListener, &done);
    const bool settled = waitFor([&done] { return done; }, limitMs);
    wl_callback_destroy(callback);
    return settled;
}
