#pragma once

#include <memory>

#include "sampler/screen.h"

// The screen of a wlroots desktop (sway, Hyprland, river, Wayfire, labwc,
// niri), read from the compositor itself at the tick, on a Wayland connection
// of the reader's own: transparent overlays (layer shell) learn where the
// pointer is and hide its picture, and the outputs' pixels around it are copied
// (wlr-screencopy). No dialog. Null where the desktop offers neither of the two.
std::unique_ptr<Screen> openWlrootsScreen();
