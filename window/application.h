#pragma once

class QApplication;

// Name, version and icon that the desktop shows for the program.
void describeApplication(QApplication& app);
