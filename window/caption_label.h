#pragma once

#include <QLabel>

#include "../core/colour.h"

// A label that shows its caption on a background colour of its own. A CR LF
// pair in the caption starts a new line; the caption is kept as given.
class CaptionLabel : public QLabel {
    Q_OBJECT

public:
    explicit CaptionLabel(const QString& caption, ColorValue back, ColorValue fore,
                          QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    ColorValue backColour() const { return back_; }
    // Refuses anything but a colour and then keeps what it had.
    void setBackColour(ColorValue colour);

private:
    QString caption_;
    ColorValue back_;
};
