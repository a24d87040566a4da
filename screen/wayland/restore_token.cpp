#include "restore_token.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kLongest = 256;

// Tokens are short words of letters, digits and a few marks (mutter's are UUIDs).
bool isToken(const std::string& text) {
    return !text.empty() && text.size() <= kLongest &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                      c == '.';
           });
}

std::string failed(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// A folder the token may be kept in: a real folder of the user's that no one
// else may write to (else another user could swap the file or plant a link).
std::string unsafeFolder(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        return failed("cannot look at", folder);
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH))) {
        return folder + " is not the user's alone";
    }
    return {};
}

}  // namespace

std::string restoreTokenPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = state && *state == '/' ? state
                             : home && *home == '/' ? std::string(home) + "/.local/state"
                                                    : std::string();
    return base.empty() ? std::string() : base + "/pixel-sampler/screen-cast-token";
}

std::string loadRestoreToken(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    char text[kLongest + 2] = {};
    const bool ours = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
                      info.st_size <= off_t(kLongest + 1);
    const ssize_t got = ours ? read(fd, text, sizeof text - 1) : 0;
    close(fd);
    std::string token(text, std::size_t(std::max<ssize_t>(got, 0)));
    if (!token.empty() && token.back() == '\n') {
        token.pop_back();
    }
    return isToken(token) ? token : std::string();
}

std::string saveRestoreToken(const std::string& path, const std::string& token) {
    const std::size_t slash = path.rfind('/');
    if (!isToken(token) || slash == std::string::npos || slash == 0) {
        return "no place to keep it";
    }
    // The folders as the XDG base directories expect them: the user's alone.
    for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= slash;
         at = path.find('/', at + 1)) {
        if (mkdir(path.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) {
            return failed("cannot make", path.substr(0, at));
        }
    }
    const std::string folder = path.substr(0, slash);
    if (std::string why = unsafeFolder(folder); !why.empty()) {
        return why;
    }
    // A name of its own, made anew: nothing planted at it is followed.
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return failed("cannot write in", folder);
    }
    const std::string text = token + "\n";
    const bool written =
        write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why = failed("cannot write", path);
        unlink(temporary.c_str());
        return why;
    }
    return {};
}

std::string forgetRestoreToken(const std::string& path) {
    if (path.empty() || unlink(path.c_str()) == 0 || errno == ENOENT) {
        return {};
    }
    return failed("cannot remove", path);
}
