#include "application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../form/design.h"
#include "screen/wayland/restore_token.h"
#include "version.h"

namespace {

const QString kName = QStringLiteral("pixel-sampler");
constexpr const char* kForget = "--forget-screen-approval";

// The options every Qt program takes (QGuiApplication, QApplication and the X11
// platform), with one dash or two; a value follows where `takesValue`. A desktop
// that saves sessions restarts the program with "-session ID".
struct QtOption {
    const char* name;
    bool takesValue;
    const char* environment = nullptr;  // where the value also goes, for the reader
};
constexpr QtOption kQtOptions[] = {{"platform", true, "QT_QPA_PLATFORM"},
                                   {"display", true, "DISPLAY"},
                                   {"platformpluginpath", true},
                                   {"platformtheme", true},
                                   {"plugin", true},
                                   {"qwindowgeometry", true},
                                   {"qwindowicon", true},
                                   {"qwindowtitle", true},
                                   {"session", true},
                                   {"geometry", true},
                                   {"title", true},
                                   {"icon", true},
                                   {"name", true},
                                   {"visual", true},
                                   {"style", true},
                                   {"stylesheet", true},
                                   {"qmljsdebugger", false},
                                   {"reverse", false},
                                   {"widgetcount", false},
                                   {"nograb", false},
                                   {"dograb", false},
                                   {"sync", false}};

const QtOption* qtOption(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') {
        return nullptr;
    }
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    arg = arg.substr(0, arg.find('='));  // -style=fusion
    for (const QtOption& option : kQtOptions) {
        if (arg == option.name) {
            return &option;
        }
    }
    return nullptr;
}

int refuse(const std::string& error) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", qPrintable(kName),
                 error.c_str(), qPrintable(kName));
    return 2;
}

}  // namespace

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    bool help = false, version = false, forget = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
        } else if (arg == "-v" || arg == "--version") {
            version = true;
        } else if (arg == kForget) {
            forget = true;
        } else if (const QtOption* option = qtOption(arg); !option) {
            // Named as written, dashes and all.
            return refuse(arg.starts_with('-') && arg != "-"
                              ? "Unknown option '" + arg + "'."
                              : "Unexpected argument '" + arg + "'.");
        } else if (option->takesValue && arg.find('=') == std::string::npos) {
            if (++i == argc) {
                return refuse("Option '" + arg + "' needs a value.");
            }
            // The reader must open the display Qt opens, and start on its platform.
            if (option->environment) {
                setenv(option->environment, argv[i], 1);
            }
        }
    }
    if (forget && !help && !version) {
        if (const std::string why = forgetRestoreToken(restoreTokenPath()); !why.empty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(kName), why.c_str());
            return 1;
        }
        return 0;
    }
    if (!help && !version) {
        return std::nullopt;
    }
    QCoreApplication app(argc, argv);
    app.setApplicationName(kName);
    app.setApplicationVersion(QStringLiteral(PIXEL_SAMPLER_VERSION_TEXT));
    if (version) {
        std::printf("%s %s\n", qPrintable(kName), PIXEL_SAMPLER_VERSION_TEXT);
        return 0;
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the colours of the 3 x 3 screen pixels under the mouse cursor, two "
                       "seconds after start-up and after each press of its button, and their "
                       "mean.\nThe window is \"%1\". Besides the options below it takes those "
                       "every Qt program takes (-display, -platform, -session, -style, ...).")
            .arg(QString::fromUtf8(design::kCaption)));
    // Not addHelpOption(): its --help-all would list Qt's options under other names.
    parser.addOption(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")});
    parser.addVersionOption();
    parser.addOption(
        {QString::fromUtf8(kForget + 2),
         QStringLiteral("Forgets the desktop's approval to share the screen (Wayland); "
                        "the next sample asks again.")});
    std::fputs(qPrintable(parser.helpText()), stdout);
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
