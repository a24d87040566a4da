#include "application.h"

#include <QApplication>
#include <QIcon>

#include "version.h"

void describeApplication(QApplication& app) {
    Q_INIT_RESOURCE(resources);  // the icons live in a static library
    app.setApplicationName(QStringLiteral("pixel-sampler"));
    app.setApplicationVersion(QStringLiteral(PIXEL_SAMPLER_VERSION_TEXT));
    app.setDesktopFileName(QStringLiteral("pixel-sampler"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/pixel-sampler-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/pixel-sampler-32.png"), QSize(32, 32));
    app.setWindowIcon(icon);
}
