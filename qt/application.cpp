#include "application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>

#include "../form/design.h"
#include "version.h"

namespace {

const QString kName = QStringLiteral("pixel-sampler");

}  // namespace

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    if (argc < 2) {
        return std::nullopt;
    }
    QCoreApplication app(argc, argv);
    app.setApplicationName(kName);
    app.setApplicationVersion(QStringLiteral(PIXEL_SAMPLER_VERSION_TEXT));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the colours of the 3 x 3 screen pixels under the mouse cursor, two "
                       "seconds after start-up and after each press of its button, and their "
                       "mean.\nThe window is \"%1\"; it takes no other options.")
            .arg(QString::fromUtf8(design::kCaption)));
    // Not addHelpOption(): its --help-all lists toolkit options this program refuses.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(app.arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("Unexpected argument '%1'.")
                                        .arg(parser.positionalArguments().first())
                                  : parser.errorText();
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", qPrintable(kName),
                     qPrintable(error), qPrintable(kName));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
    } else {
        std::printf("%s %s\n", qPrintable(kName), PIXEL_SAMPLER_VERSION_TEXT);
    }
    return 0;
}

void describeApplication(QApplication& app) {
    Q_INIT_RESOURCE(resources);  // the icons live in a static library
    app.setApplicationName(kName);
    app.setApplicationVersion(QStringLiteral(PIXEL_SAMPLER_VERSION_TEXT));
    app.setDesktopFileName(QStringLiteral("invalid.pixel_sampler.PixelSampler"));
    // The sizes a desktop shows a window at: title bar, task bar, switcher.
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/icons/pixel-sampler-%1.png").arg(size), QSize(size, size));
    }
    app.setWindowIcon(icon);
}
