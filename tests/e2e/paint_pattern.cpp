// Paints the Windows check's known colours on the root window of $DISPLAY.

#include <cstdio>

#include "../win32/pattern.h"
#include "x_fixture.h"

int main() {
    XFixture x;
    if (!x.connected()) {
        std::fprintf(stderr, "paint_pattern: no X server on $DISPLAY\n");
        return 1;
    }
    x.paintRootColours(patternColour);
    return 0;
}
