#include "caption_label.h"

#include "qtcolour.h"

CaptionLabel::CaptionLabel(const QString& caption, ColorValue back, ColorValue fore,
                           QWidget* parent)
    : QLabel(parent), back_(back) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, toQColor(back));
    colours.setColor(QPalette::WindowText, toQColor(fore));
    setPalette(colours);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setCaption(caption);
    setAccessibleDescription(QString::fromStdString(decimal(back_)));
}

void CaptionLabel::setCaption(const QString& caption) {
    caption_ = caption;
    // Qt breaks lines at LF alone and would draw the CR.
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setText(shown);
}

void CaptionLabel::setBackColour(ColorValue colour) {
    requireColour(colour);
    back_ = colour;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, toQColor(colour));
    setPalette(colours);
    setAccessibleDescription(QString::fromStdString(decimal(back_)));
}
