#include "swatch.h"

#include <QPainter>

#include "../form/design.h"
#include "qtcolour.h"

Swatch::Swatch(ColorValue fill, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFill(fill);
}

void Swatch::setFill(ColorValue fill) {
    fill_ = fill;
    setAccessibleDescription(QString::fromStdString(decimal(fill_)));
    update();
}

void Swatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Two fills rather than a pen: the outline then stays inside the rectangle
    // and whole at any device pixel ratio.
    painter.fillRect(rect(), toQColor(design::kSwatchOutline));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), toQColor(fill_));
}
