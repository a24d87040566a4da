#include "form1.h"

#include <cstdio>
#include <new>

#include "../sampler/screen.h"

Form1::Form1(Screen& screen, FormView& view) : screen_(screen), view_(view) {
    fills_.fill(design::kSwatchInitialFill);
    screen_.problemFound = [this] { checkScreen(); };
}

void Form1::start() {
    view_.setTimerArmed(true);
    screen_.expectSample(design::kTimerIntervalMs);
}

void Form1::checkScreen() {
    const Screen::Unreadable problem = screen_.whyUnreadable();
    // Each thing that stands in the way is said once a press (and at start-up).
    if (problem.reason.empty() || problem.reason == lastProblem_) {
        return;
    }
    lastProblem_ = problem.reason;
    std::fprintf(stderr, "pixel-sampler: the screen cannot be read (%s)\n", problem.reason.c_str());
    view_.showMessage(design::kCaption, problem.notice, false);
}

void Form1::command1Click() {
    handle([this] {
        lines_.clear();
        view_.linesRemoved();
        // Whatever stood in the way before is said again if it still does.
        lastProblem_.clear();
        // A press while armed restarts the count; either way one sample follows.
        view_.setTimerArmed(true);
        screen_.expectSample(design::kTimerIntervalMs);
    });
}

void Form1::timer1Tick() {
    handle([this] { runTick(screen_, *this); });
}

// Nothing may throw through the platform's event loop: every handler ends here.
template <typename Handler>
void Form1::handle(Handler&& handler) {
    if (ending_) {
        return;
    }
    try {
        handler();
    } catch (const RuntimeError& error) {
        end(error);
    } catch (const std::bad_alloc&) {
        end(RuntimeError(7, "Out of memory"));
    } catch (const std::exception& error) {
        end(RuntimeError(51, error.what()));
    }
}

void Form1::end(const RuntimeError& error) {
    // The message box runs its own event loop: no tick or press may run while
    // it is up, nor after it.
    ending_ = true;
    view_.setTimerArmed(false);
    view_.showMessage(design::kCaption, "Fel " + decimal(error.number()) + ":\n\n" + error.text(),
                      true);
    view_.endProgram(1);
}

void Form1::setSwatchFillColour(int index, ColorValue colour) {
    requireColour(colour);
    fills_.at(index) = colour;
    view_.swatchChanged(index);
}

void Form1::appendListLine(const std::string& line) {
    view_.lineAppended(line);  // a list that cannot take the line keeps what it had
    lines_.push_back(line);
}

void Form1::disarmTimer() {
    view_.setTimerArmed(false);
}

void Form1::setLabelBackColour(ColorValue colour) {
    requireColour(colour);
    labelBack_ = colour;
    view_.labelChanged();
}

void Form1::setLabelCaption(const std::string& caption) {
    labelCaption_ = caption;
    view_.labelChanged();
}
