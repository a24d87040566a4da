#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/colour.h"

class Connection;
struct zwlr_screencopy_manager_v1;

// Whole outputs copied by the compositor at the tick (wlr-screencopy, the
// cursor left out) into shared memory of the reader's, read as the user sees
// them (output_copy.h) and given back before the tick goes on. Whole outputs,
// not the few pixels wanted: a part of a turned output comes from the wrong
// place on some wlroots versions, at a fractional scale each version rounds a
// part's edges its own way, and an output's last column at 150 % (2560 pixels,
// 1706 logical) lies in no part at all; an output's own buffer is exact on all.
class OutputCapture {
public:
    struct Wanted {
        wl_output* output = nullptr;
        int transform = 0;                                          // wl_output's
        std::vector<std::pair<std::int32_t, std::int32_t>> pixels;  // as shown
    };

    // `say`: a problem, for standard error, once a press.
    OutputCapture(Connection& connection, wl_shm* shm, zwlr_screencopy_manager_v1* manager,
                  std::uint32_t version, std::function<void(const std::string&)> say);

    // The colours shown at the wanted pixels, output by output, all copied in
    // one wait; -1 for an output the compositor did not copy, or copied in a
    // layout not read.
    std::vector<std::vector<ColorValue>> copy(const std::vector<Wanted>& wanted);

private:
    struct Frame;

    Connection& connection_;
    wl_shm* shm_;
    zwlr_screencopy_manager_v1* manager_;
    std::uint32_t version_;
    std::function<void(const std::string&)> say_;
};
