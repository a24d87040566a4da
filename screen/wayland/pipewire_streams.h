#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FrameStore;

// The screen cast's PipeWire streams, one per monitor, on a loop thread of
// their own: every buffer's cursor position and newest pixels go into the
// frame store. lock() keeps the loop thread out while a tick reads the store.
// A stream or connection in error, a stream that ends, or a format that cannot
// be agreed is said once through `failed`.
class PipeWireStreams {
public:
    // What went wrong, in PipeWire's words where it has them; called once, on
    // the loop thread.
    using Failed = std::function<void(const std::string&)>;

    // `fd` is the portal's PipeWire remote, taken over; `nodes` by stream.
    // `framed` is called once every stream has given a frame, on the loop thread.
    PipeWireStreams(int fd, const std::vector<std::uint32_t>& nodes, FrameStore& store,
                    Failed failed, std::function<void()> framed);
    ~PipeWireStreams();
    PipeWireStreams(const PipeWireStreams&) = delete;
    PipeWireStreams& operator=(const PipeWireStreams&) = delete;

    // Empty, or why the streams could not even be set up.
    std::string problem() const;
    // Whether every stream has agreed a format with the desktop. Where the desktop
    // offers none the reader takes, the stream just waits: PipeWire says nothing.
    bool formatsAgreed();
    void lock();
    void unlock();
    // An inactive stream keeps its format and buffers, and the desktop records
    // nothing for it. Woken, its cursor is unknown until a new buffer tells it.
    void setActive(bool active);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
