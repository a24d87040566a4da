#include "tick.h"

#include "../core/checked.h"
#include "offsets.h"
#include "screen.h"

namespace {

// The tick's error trap: off until the centre pixel has been read, then each
// step that raises is abandoned on its own and the next one runs.
class StepTrap {
public:
    void arm() { armed_ = true; }

    template <typename Step>
    void run(Step&& step) {
        if (!armed_) {
            step();
            return;
        }
        try {
            step();
        } catch (const RuntimeError&) {
            // Abandoned: the control keeps what it had, the tick goes on.
        }
    }

private:
    bool armed_ = false;
};

}  // namespace

void runTick(Screen& screen, SampleControls& controls) {
    ScreenPoint cursor;
    screen.cursorPosition(cursor);  // a failed read samples around (0, 0)
    ScreenLease lease(screen);
    const ColorValue centre = lease.pixel(cursor.x, cursor.y);

    StepTrap trap;
    if (centre != kInvalidColour) {
        trap.arm();
        trap.run([&] { controls.setSwatchFillColour(0, centre); });
        for (int k = 1; k < kSwatchCount; ++k) {
            trap.run([&] {
                const std::int32_t x = checkedAdd(cursor.x, kSampleOffsets[k].dx);
                const std::int32_t y = checkedAdd(cursor.y, kSampleOffsets[k].dy);
                // Handed over exactly as read: a swatch refuses -1 and keeps its colour.
                controls.setSwatchFillColour(k, lease.pixel(x, y));
            });
        }
    }

    std::int32_t sum = 0;
    for (std::int32_t i = 0; i <= kSwatchCount - 1; i = checkedAdd(i, 1)) {
        trap.run([&] { controls.appendListLine("RGB  " + decimal(controls.swatchFillColour(i))); });
        trap.run([&] { sum = checkedAdd(sum, controls.swatchFillColour(i)); });
    }
    trap.run([&] { controls.disarmTimer(); });
    // The mean of the packed values, not per channel: blue dominates and the
    // remainders of the higher channels spill into the lower ones.
    trap.run([&] { controls.setLabelBackColour(sum / 9); });
    trap.run(
        [&] { controls.setLabelCaption(std::string(kMeanTitle) + "\r\n\r\n" + decimal(sum / 9)); });
}
