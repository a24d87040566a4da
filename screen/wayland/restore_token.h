#pragma once

#include <string>

// Where the screen cast's approval is kept between runs: the restore token the
// portal hands back, in $XDG_STATE_HOME/pixel-sampler/ (~/.local/state/...).
std::string restoreTokenPath();

// The token in `path`; empty where there is none or it is not one (a missing,
// unreadable or damaged file means the desktop asks again).
std::string loadRestoreToken(const std::string& path);

// Replaces the token at once and whole (a program ended by a signal leaves the
// old token or the new one, never half of one), readable by the user alone.
bool saveRestoreToken(const std::string& path, const std::string& token);
