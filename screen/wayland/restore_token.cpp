#include "restore_token.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <utility>

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

// The folder the token is kept in, opened once and checked through its
// descriptor, so that nothing can swap it for a link between the check and the
// use: a real folder of the user's that no one else may write to (else another
// user could swap the file or plant a link). -1, and why, where it is not.
int openFolder(const std::string& folder, std::string& why) {
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (dir < 0) {
        why = failed("cannot open", folder);
    } else if (fstat(dir, &info) != 0 || info.st_uid != geteuid() ||
               (info.st_mode & (S_IWGRP | S_IWOTH))) {
        close(dir);
        why = folder + " is not the user's alone";
        return -1;
    }
    return dir;
}

// The token's folder and its name in it.
std::pair<std::string, std::string> split(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0
               ? std::pair<std::string, std::string>{}
               : std::pair{path.substr(0, slash), path.substr(slash + 1)};
}

// Temporary files of ours that a run killed while writing left behind: a
// minute old, so that another run's write under way is not disturbed.
void clearLeftovers(int dir, const std::string& prefix) {
    DIR* entries = fdopendir(dup(dir));
    const time_t now = time(nullptr);
    struct stat info {};
    for (dirent* e = entries ? readdir(entries) : nullptr; e; e = readdir(entries)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0 &&
            fstatat(dir, e->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == geteuid() && info.st_mtime < now - 60) {
            unlinkat(dir, e->d_name, 0);
        }
    }
    if (entries) {
        closedir(entries);
    }
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
    const auto [folder, name] = split(path);
    std::string why;
    const int dir = folder.empty() ? -1 : openFolder(folder, why);
    const int fd =
        dir < 0 ? -1 : openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (dir >= 0) {
        close(dir);
    }
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
    const auto [folder, name] = split(path);
    if (!isToken(token) || folder.empty()) {
        return "no place to keep it";
    }
    // The folders as the XDG base directories expect them: the user's alone.
    for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= folder.size();
         at = path.find('/', at + 1)) {
        if (mkdir(path.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) {
            return failed("cannot make", path.substr(0, at));
        }
    }
    std::string why;
    const int dir = openFolder(folder, why);
    if (dir < 0) {
        return why;
    }
    // A name of its own, made anew: nothing planted at it is followed or written
    // over, and no leftover of a run killed while writing blocks it (in a
    // sandbox the program has the same process id at every start).
    clearLeftovers(dir, name + ".new-");
    std::string temporary;
    int fd = -1;
    std::random_device random;
    for (int tries = 0; fd < 0 && tries < 8; ++tries) {
        temporary = name + ".new-" + std::to_string(random());
        fd = openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    const std::string text = token + "\n";
    const bool written =
        fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!written || renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
        why = failed(fd < 0 ? "cannot write in" : "cannot write", fd < 0 ? folder : path);
        if (fd >= 0) {
            unlinkat(dir, temporary.c_str(), 0);
        }
    }
    close(dir);
    return why;
}

std::string forgetRestoreToken(const std::string& path) {
    const auto [folder, name] = split(path);
    std::string why;
    const int dir = folder.empty() ? -1 : openFolder(folder, why);
    if (dir < 0) {
        return errno == ENOENT || folder.empty() ? std::string() : why;  // nothing kept there
    }
    if (unlinkat(dir, name.c_str(), 0) != 0 && errno != ENOENT) {
        why = failed("cannot remove", path);
    }
    close(dir);
    return why;
}
