#pragma once

#include <string>

// Where the screen cast's approval is kept between runs: the restore token the
// portal hands back, in $XDG_STATE_HOME/pixel-sampler/ (~/.local/state/...).
// Empty where the user has no home to keep it in.
std::string restoreTokenPath();

// The token in `path`; empty where there is none or it is not one. Only a small
// regular file of the user's, in a folder of the user's alone, is read, and
// nothing at the path is waited on or followed (a missing, foreign, damaged or
// planted file means the desktop asks again).
std::string loadRestoreToken(const std::string& path);

// Replaces the token at once and whole (a program ended by a signal leaves the
// old token or the new one, never half of one), readable by the user alone.
// The folders are made the user's alone; one that is not the user's, or that
// others may write to, is not used. Empty, or why the token was not kept.
std::string saveRestoreToken(const std::string& path, const std::string& token);

// The approval forgotten: the next sample asks the desktop again. Empty, or why not.
std::string forgetRestoreToken(const std::string& path);
