// Figures for the wlroots reader, on a wlroots desktop (a headless sway) whose
// pointer rests on the first output; medians of 20 rounds:
//   wlroots_tick_ms                  the tick's screen side: from the timer's
//                                    firing to the nine values read
//   wlroots_round_trips_per_tick     waits on the compositor in a tick, counted
//                                    by the reader
//   wlroots_pending_desktop_cpu_ms   CPU time of the compositor and the program
//                                    over a pending sample (2.2 s, from the press
//                                    to just after the tick), and the same with
//                                    nothing pending
//   pixel-sampler-wlroots-bench

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "screen/wlroots/screen_wlroots.h"
#include "wayland_measures.h"

using Clock = std::chrono::steady_clock;

int main() {
    std::unique_ptr<Screen> screen = openWlrootsScreen();
    if (!screen) {
        std::fprintf(stderr, "this desktop offers no wlroots screen copies\n");
        return 1;
    }
    const std::vector<std::string> desktop = desktopProcesses({"sway"});
    std::vector<double> tickMs, trips, idleCpu, pendingCpu;
    int unknown = 0;
    for (int round = 0; round < 20; ++round) {
        double cpu = cpuMs(desktop);
        if (round < 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2200));
            idleCpu.push_back(cpuMs(desktop) - cpu);
            cpu = cpuMs(desktop);
        }
        // Nothing of the reader's runs while a sample is due, until the tick.
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        const long before = screen->traffic().roundTrips;
        const auto start = Clock::now();
        ScreenPoint cursor{-1, -1};
        screen->cursorPosition(cursor);
        {
            ScreenLease lease(*screen);
            for (int k = 0; k < 9; ++k) {
                unknown += k == 0 && lease.pixel(cursor.x, cursor.y) == kInvalidColour;
                lease.pixel(cursor.x + k % 3 - 1, cursor.y + k / 3 - 1);
            }
        }
        tickMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        trips.push_back(double(screen->traffic().roundTrips - before));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pendingCpu.push_back(cpuMs(desktop) - cpu);
    }
    std::printf("wlroots_tick_ms %.1f ms\n", median(tickMs));
    std::printf("wlroots_round_trips_per_tick %.0f\n", median(trips));
    std::printf("wlroots_pending_desktop_cpu_ms %.1f ms\n", median(pendingCpu));
    std::printf("wlroots_idle_desktop_cpu_ms %.1f ms\n", median(idleCpu));
    std::printf("wlroots_unknown_pointer %d of 20 (goal 0)\n", unknown);
    return 0;
}
