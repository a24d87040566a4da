// Figures for pixel-sampler on the X server in $DISPLAY, each measured side by
// side with its floor in the same run:
//   tick_us      one Form1 tick with the real X11 reader (block reads), no drawing
//   floor_us     a pointer query then one 3 x 3 GetImage on a raw xcb connection
//   per_pixel_tick_us  the same tick with one GetImage per pixel
//   round_trips_per_tick, requests_per_tick  counted by the reader
//   startup_ms   exec to the window mapped, for the program and a bare Qt window
//   rss_kb       resident memory idle after the first sample, for both
//   pixel-sampler-bench PROGRAM BARE_WINDOW

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "form/form1.h"
#include "screen/x11/screen_x11.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

template <typename T>
void freeReply(T* reply) {
    std::free(reply);
}

// The physical floor of a sample: where the pointer is, then the pixels around it.
void floorRoundTrips(xcb_connection_t* c, xcb_window_t root) {
    auto* pointer = xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    const int x = pointer ? pointer->root_x : 0;
    const int y = pointer ? pointer->root_y : 0;
    freeReply(pointer);
    freeReply(xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x - 1, y - 1, 3, 3, ~0u), nullptr));
}

// The form without drawing: what a tick costs beyond the toolkit's painting.
class NoView final : public FormView {
public:
    void swatchChanged(int) override {}
    void lineAppended(const std::string&) override {}
    void linesRemoved() override {}
    void labelChanged() override {}
    void setTimerArmed(bool) override {}
    void showMessage(const std::string&, const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void endProgram(int status) override { std::exit(status); }
};

// The resident set of a process, in KiB, from /proc.
long residentKiB(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                return line.mid(6).trimmed().split(' ').first().toLong();
            }
        }
    }
    return -1;
}

// Children run on X11 whatever this process uses for its own offscreen window.
std::vector<char*> childEnvironment(std::vector<QByteArray>& storage) {
    for (char** e = environ; *e; ++e) {
        if (!QByteArray(*e).startsWith("QT_QPA_PLATFORM=")) {
            storage.emplace_back(*e);
        }
    }
    storage.emplace_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> env;
    for (QByteArray& s : storage) {
        env.push_back(s.data());
    }
    env.push_back(nullptr);
    return env;
}

struct Launch {
    double startupMs = -1;
    long rssKiB = -1;
};

// Starts `program`, waits for its top-level window to be mapped, optionally
// waits `idle` and reads its resident memory, then ends it.
Launch launch(xcb_connection_t* watcher, const char* program, std::chrono::milliseconds idle) {
    std::vector<QByteArray> storage;
    std::vector<char*> env = childEnvironment(storage);
    char* argv[] = {const_cast<char*>(program), nullptr};
    Launch result;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, env.data()) != 0) {
        return result;
    }
    const auto deadline = start + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        xcb_generic_event_t* event = xcb_poll_for_event(watcher);
        if (!event) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        const bool mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
        std::free(event);
        if (mapped) {
            result.startupMs = microseconds(Clock::now() - start) / 1000;
            break;
        }
    }
    if (idle.count() > 0) {
        std::this_thread::sleep_for(idle);
        result.rssKiB = residentKiB(pid);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // Drop the events of the window going away.
    while (xcb_generic_event_t* event = xcb_poll_for_event(watcher)) {
        std::free(event);
    }
    return result;
}

QString cpuModel() {
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
            }
        }
    }
    return QStringLiteral("unknown");
}

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM BARE_WINDOW\n", argv[0]);
        return 2;
    }
    const char* program = argv[1];
    const char* bare = argv[2];
    QCoreApplication app(argc, argv);

    int screenNumber = 0;
    xcb_connection_t* raw = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(raw)) {
        std::fprintf(stderr, "no X server on $DISPLAY\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(raw)).data;
    std::printf("machine cpu \"%s\", %u cores, Xvfb depth %d, %dx%d\n", qPrintable(cpuModel()),
                std::thread::hardware_concurrency(), screen->root_depth, screen->width_in_pixels,
                screen->height_in_pixels);
    xcb_warp_pointer(raw, XCB_NONE, screen->root, 0, 0, 0, 0, screen->width_in_pixels / 2,
                     screen->height_in_pixels / 2);
    xcb_flush(raw);

    // 1. The tick against its floor and against one request per pixel,
    // interleaved so that all three see the same machine.
    auto blockScreen = openX11Screen(X11Reads::Block);
    auto pixelScreen = openX11Screen(X11Reads::PerPixel);
    NoView view;
    Form1 blockForm(*blockScreen, view);
    Form1 pixelForm(*pixelScreen, view);
    const int rounds = 3000;
    const int warmUp = 100;  // caches and the server
    std::vector<double> ticks;
    std::vector<double> floors;
    std::vector<double> pixelTicks;
    Screen::Traffic before;
    for (int i = 0; i < rounds + warmUp; ++i) {
        if (i == warmUp) {
            before = blockScreen->traffic();
        }
        const auto t0 = Clock::now();
        blockForm.timer1Tick();
        const auto t1 = Clock::now();
        floorRoundTrips(raw, screen->root);
        const auto t2 = Clock::now();
        pixelForm.timer1Tick();
        const auto t3 = Clock::now();
        blockForm.command1Click();  // the list would grow without end
        pixelForm.command1Click();
        if (i >= warmUp) {
            ticks.push_back(microseconds(t1 - t0));
            floors.push_back(microseconds(t2 - t1));
            pixelTicks.push_back(microseconds(t3 - t2));
        }
    }
    const Screen::Traffic after = blockScreen->traffic();
    const double tickUs = median(ticks);
    const double floorUs = median(floors);
    const double pixelTickUs = median(pixelTicks);
    figure("round_trips_per_tick", double(after.roundTrips - before.roundTrips) / rounds, "");
    figure("requests_per_tick", double(after.requests - before.requests) / rounds, "");
    figure("tick_us", tickUs, "us");
    figure("floor_us", floorUs, "us");
    figure("per_pixel_tick_us", pixelTickUs, "us");

    // 2 and 3. Start-up and memory, the program and the bare window in turns.
    xcb_connection_t* watcher = xcb_connect(nullptr, nullptr);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(watcher, screen->root, XCB_CW_EVENT_MASK, &mask);
    freeReply(xcb_get_input_focus_reply(watcher, xcb_get_input_focus(watcher), nullptr));
    std::vector<double> startup;
    std::vector<double> floorStartup;
    std::vector<double> rss;
    std::vector<double> floorRss;
    const int launches = 41;
    const int measuredMemory = 5;
    launch(watcher, program, {});  // warm the file cache for both
    launch(watcher, bare, {});
    for (int i = 0; i < launches; ++i) {
        // The first sample comes two seconds after start-up; read memory after it.
        const std::chrono::milliseconds idle(i < measuredMemory ? 3000 : 0);
        const Launch p = launch(watcher, program, idle);
        const Launch b = launch(watcher, bare, idle);
        startup.push_back(p.startupMs);
        floorStartup.push_back(b.startupMs);
        if (i < measuredMemory) {
            rss.push_back(p.rssKiB);
            floorRss.push_back(b.rssKiB);
        }
    }
    const double startupMs = median(startup);
    const double floorStartupMs = median(floorStartup);
    const double rssKiB = median(rss);
    const double floorRssKiB = median(floorRss);
    figure("startup_ms", startupMs, "ms");
    figure("floor_startup_ms", floorStartupMs, "ms");
    figure("rss_kb", rssKiB, "KiB");
    figure("floor_rss_kb", floorRssKiB, "KiB");

    figure("tick_ratio", tickUs / floorUs, "(goal <= 1.3)");
    figure("speedup_vs_per_pixel", pixelTickUs / tickUs, "(goal >= 3)");
    figure("startup_ratio", startupMs / floorStartupMs, "(goal <= 1.15)");
    figure("rss_ratio", rssKiB / floorRssKiB, "(goal <= 1.10)");
    xcb_disconnect(watcher);
    xcb_disconnect(raw);
    return 0;
}
