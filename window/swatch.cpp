#include "swatch.h"

#include <QPainter>

#include "qtcolour.h"

Swatch::Swatch(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleDescription(QString::fromStdString(decimal(fill_)));
}

void Swatch::setFillColour(ColorValue colour) {
    requireColour(colour);
    fill_ = colour;
    setAccessibleDescription(QString::fromStdString(decimal(fill_)));
    update();
}

void Swatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Two fills rather than a pen: the outline then stays inside the rectangle
    // and whole at any device pixel ratio.
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), toQColor(fill_));
}
