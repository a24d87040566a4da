#pragma once

#include <QWidget>

#include "../core/colour.h"

// One filled rectangle of the 3 x 3 grid: a solid fill with a one-pixel outline
// drawn inside its edge. It shows what the form holds; the form keeps the rules.
class Swatch : public QWidget {
    Q_OBJECT

public:
    explicit Swatch(ColorValue fill, QWidget* parent = nullptr);

    void setFill(ColorValue fill);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorValue fill_;
};
