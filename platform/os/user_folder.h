// Where a program keeps the files it writes (settings, screenshots, the
// debug log). Run from its build folder, a program writes beside itself, as
// it always has. Installed, its folder belongs to the system and is
// read-only to players, so what it writes goes to the player's own data
// folder instead: $XDG_DATA_HOME/<name>/, else ~/.local/share/<name>/, where
// <name> is the last component of the program's folder (/usr/lib/pokotanba/
// gives pokotanba), so the window and headless programs of one game,
// installed side by side, share one folder.
//
// A program counts as installed when a regular file named "kr-installed"
// lies beside it; the package puts it there. A marker, not a test of the
// folder's write permission, because root may write anywhere and a build
// folder may be read-only.
#pragma once
#include <string>

namespace plat {

inline constexpr const char* kInstalledMarker = "kr-installed";

// Whether `folder` (with or without its trailing '/') holds the marker as a
// regular file.
bool FolderIsInstalled(const std::string& folder);
// Whether this program runs installed. The program's folder is looked at
// once; later calls give the same answer.
bool ProgramIsInstalled();
// Test seam: 1 makes the program count as installed, 0 as run from its
// build folder; -1 looks at the program's folder again.
void OverrideInstalled(int state);

// The base of the users' data folders, ending in '/': `xdgDataHome` when it
// is an absolute path (a relative one is ignored, as the convention asks),
// else `home` + "/.local/share/" when home is absolute; empty otherwise.
std::string UserDataHome(const char* xdgDataHome, const char* home);
// The last component of a folder path ("/usr/lib/pokotanba/" gives
// "pokotanba"); empty for "/" or "".
std::string FolderName(const std::string& folder);
// `path` without the '/' at its end ("/" stays "/").
std::string WithoutTrailingSlashes(std::string path);
// The folder part of a path, ending in '/'; empty when it has no '/'.
std::string FolderOf(const std::string& path);
// This program's own data folder in UTF-8, ending in '/', created (owner
// only, parents included) if it is missing. With no usable home at all
// ($HOME unset or relative and no entry in the user database) it lies under
// "/nonexistent/", the home of Debian's system users, so that writes fail
// rather than land in the working folder.
std::string UserDataFolder();
// On Windows the folder is %APPDATA%\<name>\ instead (made if missing),
// where <name> is the program's file name up to its first '-' or '.'
// (pokotanba-replay.exe gives pokotanba): a Windows game's folder is
// wherever its zip was unpacked, and says nothing of the game.

}  // namespace plat
