// The installed-or-not decision and the player's data folder.
#include "platform/os/user_folder.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/os/window.h"

// UserDataFolder is the system's: user_data_folder_posix.cpp, user_data_folder_win32.cpp.
namespace plat {
namespace {

int installedOverride = -1;  // -1: decided by the marker
int installedSeen = -1;      // the marker's answer, once looked up

}  // namespace

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FolderIsInstalled(const std::string& folder) {
    if (folder.empty()) return false;
    const std::string marker = WithoutTrailingSlashes(folder) + (folder == "/" ? "" : "/") + kInstalledMarker;
    struct stat st;
    return ::stat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ProgramIsInstalled() {
    if (installedOverride >= 0) return installedOverride == 1;
    if (installedSeen < 0) installedSeen = FolderIsInstalled(FolderOf(ProgramPath())) ? 1 : 0;
    return installedSeen == 1;
}

void OverrideInstalled(int state) {
    installedOverride = state == 0 || state == 1 ? state : -1;
    if (installedOverride < 0) installedSeen = -1;
}

std::string UserDataHome(const char* xdgDataHome, const char* home) {
    auto absolute = [](const char* path) { return path != nullptr && path[0] == '/'; };
    if (absolute(xdgDataHome)) {
        const std::string base = WithoutTrailingSlashes(xdgDataHome);
        return base == "/" ? base : base + "/";
    }
    if (absolute(home)) {
        const std::string base = WithoutTrailingSlashes(home);
        return (base == "/" ? "" : base) + "/.local/share/";
    }
    return {};
}

std::string FolderName(const std::string& folder) {
    const std::string trimmed = WithoutTrailingSlashes(folder);
    if (trimmed.empty() || trimmed == "/") return {};
    return trimmed.substr(trimmed.rfind('/') + 1);
}

}  // namespace plat
