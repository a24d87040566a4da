#pragma once

#include <functional>

struct wl_display;

// The reader's own connection to the compositor: everything it waits for, it
// waits for here, each wait with a limit, and a connection in error (a fatal
// protocol error, a compositor gone) ends every wait at once and stays so.
class Connection {
public:
    explicit Connection(wl_display* display) : display_(display) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    wl_display* display() const { return display_; }
    bool lost() const;
    // Handles what came in since last asked (outputs added, moved or gone),
    // without waiting; false once the connection is lost.
    bool catchUp();
    // Sends what is queued and handles the compositor's answers until `done`
    // holds (true), the limit passes or the connection is lost (false).
    bool waitFor(const std::function<bool()>& done, int limitMs);
    // Until the compositor has handled everything sent so far.
    bool settle(int limitMs);
    long waits() const { return waits_; }

private:
    wl_display* display_;
    long waits_ = 0;
};
