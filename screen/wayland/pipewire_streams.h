#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class FrameStore;

// The screen cast's PipeWire streams, one per monitor, on a loop thread of
// their own: every buffer's cursor position and newest pixels go into the
// frame store. lock() keeps the loop thread out while a tick reads the store.
class PipeWireStreams {
public:
    // `fd` is the portal's PipeWire remote, taken over; `nodes` by stream.
    PipeWireStreams(int fd, const std::vector<std::uint32_t>& nodes, FrameStore& store);
    ~PipeWireStreams();
    PipeWireStreams(const PipeWireStreams&) = delete;
    PipeWireStreams& operator=(const PipeWireStreams&) = delete;

    bool connected() const;
    void lock();
    void unlock();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
