#include <QApplication>
#include <cstdio>

#include "../sampler/screen.h"
#include "application.h"
#include "form1_window.h"

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = answerCommandLine(argc, argv)) {
        return *status;
    }
    if (const std::string problem = prepareWindowPlatform(); !problem.empty()) {
        std::fprintf(stderr, "pixel-sampler: %s\n", problem.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    describeApplication(app);
    Form1Window window(openSystemScreen());
    window.show();
    return app.exec();
}
