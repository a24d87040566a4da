#pragma once

#include <QWidget>

#include "../core/colour.h"

// One filled rectangle of the 3 x 3 grid: a solid fill with a one-pixel white
// outline drawn inside its edge.
class Swatch : public QWidget {
    Q_OBJECT

public:
    static constexpr ColorValue kInitialFill = 8421631;  // light red, 0x8080FF

    explicit Swatch(QWidget* parent = nullptr);

    ColorValue fillColour() const { return fill_; }
    // Refuses anything but a colour (-1 included) and then keeps what it had.
    void setFillColour(ColorValue colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorValue fill_ = kInitialFill;
};
