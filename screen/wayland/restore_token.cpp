#include "restore_token.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

// Tokens are short words of letters, digits and a few marks (mutter's are UUIDs).
bool isToken(const std::string& text) {
    return !text.empty() && text.size() <= 256 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    });
}

}  // namespace

std::string restoreTokenPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = state && *state == '/' ? state
                             : home                 ? std::string(home) + "/.local/state"
                                                    : std::string();
    return base.empty() ? std::string() : base + "/pixel-sampler/screen-cast-token";
}

std::string loadRestoreToken(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return isToken(text) ? text : std::string();
}

bool saveRestoreToken(const std::string& path, const std::string& token) {
    const std::size_t slash = path.rfind('/');
    if (!isToken(token) || slash == std::string::npos) {
        return false;
    }
    // The folders as the XDG base directories expect them: the user's alone.
    for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= slash;
         at = path.find('/', at + 1)) {
        mkdir(path.substr(0, at).c_str(), 0700);
    }
    const std::string temporary = path + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const std::string text = token + "\n";
    const bool written =
        write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
    close(fd);
    return written && rename(temporary.c_str(), path.c_str()) == 0;
}
