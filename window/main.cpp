#include <QApplication>

#include "../sampler/screen.h"
#include "application.h"
#include "form1.h"

int main(int argc, char* argv[]) {
    prepareWindowPlatform();
    QApplication app(argc, argv);
    describeApplication(app);
    Form1 window(openSystemScreen());
    window.show();
    return app.exec();
}
