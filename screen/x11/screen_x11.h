#pragma once

#include <memory>

#include "sampler/screen.h"

// How the X11 reader fetches pixels: the 3 x 3 block around a tick's first read
// in one request (what the program uses), or one request per pixel (kept for
// comparison, and what it falls back to where a block is refused).
enum class X11Reads { Block, PerPixel };

std::unique_ptr<Screen> openX11Screen(X11Reads reads);
