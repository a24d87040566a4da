#pragma once

#include <optional>

class QApplication;

// --help and --version answered, or a wrong argument refused, before any window
// or display is needed: the exit status then, nothing when the program should
// start. Qt's own options are left in place for Qt; -display and -platform are
// also put where the screen reader looks for them.
std::optional<int> answerCommandLine(int argc, char* argv[]);

// Name, version and icon that the desktop shows for the program.
void describeApplication(QApplication& app);
