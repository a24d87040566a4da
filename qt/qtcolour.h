#pragma once

#include <QColor>

#include "../core/colour.h"

// The one place where a packed colour becomes Qt's colour type. Packed colours
// keep red in the low byte; QRgb keeps blue there, so never cast one to the other.
inline QColor toQColor(ColorValue c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}
