#pragma once

// What the Wayland benchmarks share: what a pending sample costs the desktop
// (the CPU time of processes found by name in /proc, and of this one), and the
// median they print.

#include <string>
#include <vector>

// The /proc stat files of the processes with these names, and this process's.
std::vector<std::string> desktopProcesses(const std::vector<std::string>& names);
// Their user and system CPU time so far, added up, in milliseconds.
double cpuMs(const std::vector<std::string>& stats);
// The middle value (of an even count, the upper of the two).
double median(std::vector<double> values);
