#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "../core/colour.h"

// A point in physical screen pixels: origin at the primary screen's top-left,
// y downwards, other monitors possibly at negative coordinates.
struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Opaque to everyone but the platform's reader (an HDC on Windows).
using ScreenHandle = void*;

// The four things the sampler asks of a screen. One implementation per way of
// reading it, a folder each under screen/ (x11, wayland, windows); tests hand
// the window a fake.
class Screen {
public:
    virtual ~Screen() = default;

    // Writes the cursor position into `point`; on failure `point` stays as it was.
    virtual void cursorPosition(ScreenPoint& point) = 0;
    // A handle on the whole screen; may be null, and then every read gives -1.
    virtual ScreenHandle acquire() = 0;
    // The colour at (x, y), or kInvalidColour where there is no readable pixel.
    virtual ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) = 0;
    virtual void release(ScreenHandle handle) = 0;

    // Why the screen cannot be read: a few words for standard error, and the
    // notice the window shows (Swedish, as the window is). Empty where it can.
    struct Unreadable {
        std::string reason;
        std::string notice;
    };
    virtual Unreadable whyUnreadable() { return {}; }
    // Called when whyUnreadable() has something new to say after start-up
    // (a screen cast the user declined, say); on the window's thread.
    std::function<void()> problemFound;
    // The program's window, as the desktop's dialogs name the window they stand
    // over ("x11:1e00003"); set by the front end, empty where there is no such name.
    std::string parentWindow;

    // A sample is due when Timer1 next fires, `msUntilTick` from now: a reader
    // that has to ask for the screen first (a screen cast) starts now. The lease
    // that ends the tick ends it.
    virtual void expectSample(int msUntilTick) { (void)msUntilTick; }

    // What the reads have cost so far, where the platform can count it.
    struct Traffic {
        long requests = 0;
        long roundTrips = 0;
    };
    virtual Traffic traffic() const { return {}; }
};

// Gives the handle back however the tick ends.
class ScreenLease {
public:
    explicit ScreenLease(Screen& screen) : screen_(screen), handle_(screen.acquire()) {}
    ~ScreenLease() { screen_.release(handle_); }
    ScreenLease(const ScreenLease&) = delete;
    ScreenLease& operator=(const ScreenLease&) = delete;

    ColorValue pixel(std::int32_t x, std::int32_t y) { return screen_.pixel(handle_, x, y); }

private:
    Screen& screen_;
    ScreenHandle handle_;
};

// The platform's own screen, read on a connection of the reader's own.
std::unique_ptr<Screen> openSystemScreen();

// Called before the toolkit starts: picks the window platform that goes with
// the screen this build reads (on Linux the X11 one where an X root is read,
// a native Wayland window where the screen cast is); empty, or why the program
// cannot start there.
std::string prepareWindowPlatform();
