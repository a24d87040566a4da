// Figures for the screen cast reader, on a GNOME (Wayland) desktop whose pointer
// another process keeps moving at 60 Hz (bench/move-pointer, which rests it where
// the file named says), the approval given once before the rounds that count;
// medians of several rounds:
//   portal_first_frame_ms            a sample becoming due to the first frame with
//                                    the cursor, the token already stored
//   portal_pending_desktop_cpu_ms    CPU time of the compositor, PipeWire,
//                                    WirePlumber and the program over a pending
//                                    sample (2.2 s, from the press to just after
//                                    the tick), and the same with nothing pending
//   portal_pending_rss_delta_mib     the program's peak resident memory while a
//                                    sample is pending, less its idle one
//   portal_lost_moves                ticks whose cursor is not where the pointer
//                                    came to rest half a second before, of 20
//   pixel-sampler-portal-bench POINTER_FILE

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "screen/wayland/screen_portal.h"
#include "wayland_measures.h"

namespace {

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    statm.open(QIODevice::ReadOnly);
    return statm.readAll().split(' ').value(1).toDouble() * sysconf(_SC_PAGESIZE) / 1048576.0;
}

// Due until the reader has a frame and a cursor: how long that took, in ms.
double untilFirstFrame(Screen& screen, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    screen.expectSample(2000);
    for (;;) {
        // The cursor is known once a buffer has told it; then the tick's reads.
        ScreenPoint cursor{INT32_MIN, INT32_MIN};
        screen.cursorPosition(cursor);
        if (cursor.x != INT32_MIN &&
            ScreenLease(screen).pixel(cursor.x, cursor.y) != kInvalidColour) {
            return clock.nsecsElapsed() / 1e6;  // the lease's end ended the session
        }
        if (clock.elapsed() > limitMs) {
            return -1;
        }
        runEvents(2);
    }
}

// A pending sample like the program's: due, 2.2 s of events (the peak resident
// memory noted), the last half second with the pointer resting at `rest`, then
// the tick. Whether its cursor is where the pointer rests.
bool pendingSample(Screen& screen, const char* pointerFile, ScreenPoint rest, double& peakMiB) {
    screen.expectSample(2000);
    for (int ms = 0; ms < 2200; ms += 50) {
        if (ms == 1700) {
            std::ofstream(pointerFile) << rest.x << ' ' << rest.y << '\n';
        }
        runEvents(50);
        peakMiB = std::max(peakMiB, residentMiB());
    }
    ScreenPoint cursor{INT32_MIN, INT32_MIN};
    screen.cursorPosition(cursor);
    ScreenLease(screen).pixel(cursor.x, cursor.y);
    std::remove(pointerFile);
    return cursor.x == rest.x && cursor.y == rest.y;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const char* pointerFile = argc > 1 ? argv[1] : "rest";
    std::unique_ptr<Screen> screen = openPortalScreen();
    if (untilFirstFrame(*screen, 60000) < 0) {  // the approval, answered by move-pointer
        std::fprintf(stderr, "no frame with a cursor: is the pointer moving?\n");
        return 1;
    }
    std::vector<double> firstFrame;
    for (int i = 0; i < 5; ++i) {
        runEvents(500);
        firstFrame.push_back(untilFirstFrame(*screen, 10000));
    }
    std::printf("portal_first_frame_ms %.1f ms (goal <= 350)\n", median(firstFrame));

    const std::vector<std::string> desktop =
        desktopProcesses({"mutter", "pipewire", "wireplumber"});
    std::vector<double> idleCpu, pendingCpu, rssDelta;
    int lost = 0;
    for (int round = 0; round < 20; ++round) {
        runEvents(500);
        const double idle = residentMiB();
        double peak = idle;
        double cpu = cpuMs(desktop);
        if (round < 5) {
            runEvents(2200);
            idleCpu.push_back(cpuMs(desktop) - cpu);
            cpu = cpuMs(desktop);
        }
        lost += !pendingSample(*screen, pointerFile, {300 + 7 * round, 300}, peak);
        pendingCpu.push_back(cpuMs(desktop) - cpu);
        rssDelta.push_back(peak - idle);
    }
    std::printf("portal_pending_desktop_cpu_ms %.1f ms\n", median(pendingCpu));
    std::printf("portal_idle_desktop_cpu_ms %.1f ms\n", median(idleCpu));
    std::printf("portal_pending_rss_delta_mib %.1f MiB (goal <= 2)\n", median(rssDelta));
    std::printf("portal_lost_moves %d of 20 (goal 0)\n", lost);
    return 0;
}
