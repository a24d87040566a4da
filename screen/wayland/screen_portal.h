#pragma once

#include <memory>

#include "sampler/screen.h"

// The screen of a Wayland desktop, through its screen cast portal: every
// monitor's PipeWire stream with the cursor as metadata, recorded only while
// a sample is due, approved once and remembered with a restore token.
std::unique_ptr<Screen> openPortalScreen();
