// The player's data folder on Windows: %APPDATA%\<name>\, the roaming
// application-data folder of the player's profile.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/os/wide_text_win32.h"

namespace plat {

// Declared in platform/os/window.h and user_folder.h; Windows' macros clash
// with the names there.
std::string ProgramPath();
std::string UserDataFolder();

namespace {

// The program's file name up to its first '-' or '.': the window program and
// its headless twin share one folder.
std::string ProgramDataName() {
    const std::string program = ProgramPath();
    std::string name = program.substr(program.rfind('/') + 1);
    name = name.substr(0, name.find_first_of("-."));
    return name.empty() ? std::string("kr") : name;
}

std::string RoamingAppData() {
    PWSTR path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &path) == S_OK)
        folder = PortablePath(path);
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

std::string UserDataFolder() {
    const std::string base = RoamingAppData();
    // With no profile folder at all, writes fail rather than land in the
    // working folder.
    if (base.empty()) return "Z:/nonexistent/" + ProgramDataName() + "/";
    const std::string folder = base + "/" + ProgramDataName() + "/";
    CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr);
    return folder;
}

}  // namespace plat
