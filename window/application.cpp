#include "application.h"

#include <QApplication>

#include "version.h"

void describeApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("pixel-sampler"));
    app.setApplicationDisplayName(QStringLiteral("RGB = GetPixelColor"));
    app.setApplicationVersion(QStringLiteral(PIXEL_SAMPLER_VERSION_TEXT));
}
