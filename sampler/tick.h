#pragma once

#include <string>

#include "../core/colour.h"

class Screen;

// The label's title; a sample puts the mean under it.
inline constexpr const char* kMeanTitle = "RGB medeltal";

// What a tick may do to the window's controls. Each operation either does its
// whole job or raises a RuntimeError and changes nothing.
class SampleControls {
public:
    virtual ColorValue swatchFillColour(int index) const = 0;
    virtual void setSwatchFillColour(int index, ColorValue colour) = 0;
    virtual void appendListLine(const std::string& line) = 0;
    virtual void disarmTimer() = 0;
    virtual void setLabelBackColour(ColorValue colour) = 0;
    virtual void setLabelCaption(const std::string& caption) = 0;

protected:
    ~SampleControls() = default;
};

// One sample of the 3 x 3 pixels around the cursor into the controls. Errors
// before the centre pixel is known good, or in a tick whose centre read failed,
// leave this function; after that each step that fails is simply skipped.
void runTick(Screen& screen, SampleControls& controls);
