#pragma once

#include <array>
#include <string>
#include <vector>

#include "../core/runtime_error.h"
#include "../sampler/offsets.h"
#include "../sampler/tick.h"
#include "design.h"

class Screen;

// What a front end does for Form1: mirror its state on the platform's controls
// and run the platform's timer, message box and event loop. Nothing here may
// raise: the form's rules are all on the form's side.
class FormView {
public:
    virtual void swatchChanged(int index) = 0;
    virtual void lineAppended(const std::string& line) = 0;
    virtual void linesRemoved() = 0;
    virtual void labelChanged() = 0;
    // Arming a running timer starts its count again.
    virtual void setTimerArmed(bool armed) = 0;
    // Modal: returns once the user has dismissed it.
    virtual void showMessage(const std::string& title, const std::string& text, bool error) = 0;
    virtual void endProgram(int status) = 0;

protected:
    ~FormView() = default;
};

// The program's one window, whatever draws it: the controls' state and rules,
// the click and tick handlers, Timer1's cycle, and the boundary where an
// untrapped error stops everything and ends the program.
class Form1 final : public SampleControls {
public:
    Form1(Screen& screen, FormView& view);

    // Once the front end's controls exist: Timer1 is armed from creation on.
    void start();
    // Once the window is on screen, and whenever the screen finds a new problem:
    // what keeps it from being read is said, once.
    void checkScreen();

    void command1Click();
    void timer1Tick();

    ColorValue swatchFill(int index) const { return fills_.at(index); }
    const std::vector<std::string>& lines() const { return lines_; }
    ColorValue labelBack() const { return labelBack_; }
    const std::string& labelCaption() const { return labelCaption_; }

    // The control operations; each either does its whole job or raises and
    // changes nothing.
    ColorValue swatchFillColour(int index) const override { return swatchFill(index); }
    void setSwatchFillColour(int index, ColorValue colour) override;
    void appendListLine(const std::string& line) override;
    void disarmTimer() override;
    void setLabelBackColour(ColorValue colour) override;
    void setLabelCaption(const std::string& caption) override;

private:
    template <typename Handler>
    void handle(Handler&& handler);
    void end(const RuntimeError& error);

    Screen& screen_;
    FormView& view_;
    std::array<ColorValue, kSwatchCount> fills_;
    std::vector<std::string> lines_;
    ColorValue labelBack_ = design::kLabelBack;
    std::string labelCaption_ = kMeanTitle;
    bool ending_ = false;
    std::string lastProblem_;
};
