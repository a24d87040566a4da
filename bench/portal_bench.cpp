// Figures for the screen cast reader, on a GNOME (Wayland) desktop whose pointer
// another process keeps moving at 60 Hz (bench/move-pointer), the approval given
// once before the rounds that count:
//   portal_first_frame_ms   a sample becoming due to the first frame with the
//                           cursor, the token already stored (median of 5)
//   portal_pending_cpu_ms   the process's CPU time over one pending sample (2 s)
//   portal_pending_rss_mib  resident memory at the end of it, and idle before
//   pixel-sampler-portal-bench

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "screen/wayland/screen_portal.h"

namespace {

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
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
    screen.expectSample();
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

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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
    std::sort(firstFrame.begin(), firstFrame.end());
    std::printf("portal_first_frame_ms %.1f ms\n", firstFrame[2]);

    runEvents(500);
    const double idle = residentMiB();
    const double cpu = cpuMs();
    screen->expectSample();
    runEvents(2000);
    const double pending = residentMiB();
    std::printf("portal_pending_cpu_ms %.1f ms\n", cpuMs() - cpu);
    std::printf("portal_pending_rss_mib %.1f MiB\nportal_idle_rss_mib %.1f MiB\n", pending, idle);
    ScreenLease(*screen).pixel(0, 0);
    return 0;
}
