#include "wayland_measures.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

std::vector<std::string> desktopProcesses(const std::vector<std::string>& names) {
    std::vector<std::string> found{"/proc/self/stat"};
    DIR* proc = opendir("/proc");
    while (dirent* entry = readdir(proc)) {
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) &&
            std::find(names.begin(), names.end(), name) != names.end()) {
            found.push_back(std::string("/proc/") + entry->d_name + "/stat");
        }
    }
    closedir(proc);
    return found;
}

double cpuMs(const std::vector<std::string>& stats) {
    double ticks = 0;
    for (const std::string& path : stats) {
        std::ifstream stat(path);
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // utime and stime: the 12th and 13th fields after the ")" that ends the name.
        std::size_t at = text.rfind(')');
        for (int field = 0; field < 12 && at != std::string::npos; ++field) {
            at = text.find(' ', at + 1);
        }
        if (at != std::string::npos) {
            ticks += std::strtod(text.c_str() + at, nullptr);
            ticks += std::strtod(text.c_str() + text.find(' ', at + 1), nullptr);
        }
    }
    return ticks * 1000.0 / sysconf(_SC_CLK_TCK);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
