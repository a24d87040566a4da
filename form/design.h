#pragma once

#include <array>

#include "../core/colour.h"
#include "../core/twips.h"
#include "../sampler/offsets.h"

// Form1 as it stands when the window opens: every size, text, colour and font,
// written once for every front end. Texts are UTF-8.
namespace design {

inline constexpr const char* kCaption = "RGB = GetPixelColor";
inline constexpr int kClientWidth = 4680;  // twips
inline constexpr int kClientHeight = 3630;
inline constexpr int kTimerIntervalMs = 2000;

struct Font {
    const char* face;
    int emPixels;  // at 96 dpi; 13 pixels is 9.75 points
    bool bold;
};

// Each control's design name, place and the name assistive technology reads.
struct Control {
    const char* name;
    TwipsRect rect;
    const char* accessibleName;
};

// "MS Sans Serif" stands in for the platform's default dialog font too, so the
// list's nine 13-pixel rows always fit.
inline constexpr Font kDialogFont{"MS Sans Serif", 11, false};

// Created in tab order: the label cannot take the focus, so the list has it first.
inline constexpr Control kLabel1{"Label1", {30, 0, 4635, 1125}, "RGB medeltal"};
inline constexpr Font kLabelFont{"MS Sans Serif", 18, true};
inline constexpr ColorValue kLabelBack = 8388608;  // dark blue, 0x800000
inline constexpr ColorValue kLabelFore = 8454016;  // light green, 0x80FF80

inline constexpr Control kList{"lstRGB", {2280, 1140, 2235, 1815}, "RGB-värden"};
inline constexpr int kListRowPixels = 13;   // at 96 dpi: nine rows are one sample
inline constexpr int kListFramePixels = 2;  // sunken, on each side

inline constexpr Control kCommand1{"Command1", {720, 3120, 3315, 435}, "Kolla pixlar om 2 sek"};
inline constexpr const char* kCommand1Text = "Kolla pixlar  om 2 sek";
inline constexpr Font kCommand1Font{"MS Sans Serif", 13, true};

inline constexpr ColorValue kSwatchInitialFill = 8421631;  // light red, 0x8080FF
inline constexpr ColorValue kSwatchOutline = kWhite;       // one pixel, inside the edge
inline constexpr std::array<const char*, kSwatchCount> kSwatchNames{
    "Pixel under markören",       "Pixel ovanför",      "Pixel ovanför till höger",
    "Pixel till höger",           "Pixel nedanför",     "Pixel nedanför till höger",
    "Pixel ovanför till vänster", "Pixel till vänster", "Pixel nedanför till vänster"};

// The grid mirrors the pixels it shows: column by dx, row by dy.
constexpr Control swatch(int index) {
    constexpr int kLeft = 150, kTop = 1140, kStep = 630, kWidth = 615, kHeight = 585;
    const SampleOffset o = kSampleOffsets[index];
    return {"ShPix",
            {kLeft + kStep * (o.dx + 1), kTop + kStep * (o.dy + 1), kWidth, kHeight},
            kSwatchNames[index]};
}

}  // namespace design
