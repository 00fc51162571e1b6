// The installed-or-not decision and the player's data folder.
#include "platform/os/user_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/os/window.h"

namespace plat {
namespace {

int installedOverride = -1;  // -1: decided by the marker
int installedSeen = -1;      // the marker's answer, once looked up

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string HomeFromUserDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr)
        return {};
    return found->pw_dir;
}

// The name under the data home: the program folder's last component, else
// the program's own file name.
std::string ProgramDataName() {
    const std::string program = ProgramPath();
    std::string name = FolderName(FolderOf(program));
    if (name.empty()) name = program.substr(program.rfind('/') + 1);
    return name.empty() ? std::string("kr") : name;
}

// Creates every missing folder of `path` (ending in '/') below `from`,
// readable by its owner only; a failure shows later as a file that cannot
// be opened, which every writer already handles.
void MakeFoldersBelow(const std::string& from, const std::string& path) {
    for (std::size_t slash = path.find('/', from.size()); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

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

std::string UserDataFolder() {
    const char* home = std::getenv("HOME");
    std::string base = UserDataHome(std::getenv("XDG_DATA_HOME"), home);
    const std::string homeFolder = home != nullptr && home[0] == '/' ? std::string(home) : HomeFromUserDatabase();
    if (base.empty()) base = UserDataHome(nullptr, homeFolder.c_str());
    if (base.empty()) return "/nonexistent/.local/share/" + ProgramDataName() + "/";
    const std::string folder = base + ProgramDataName() + "/";
    // The data home itself may be missing in a fresh account: it is made
    // too, but nothing above the home (or above $XDG_DATA_HOME's parent).
    std::string top = FolderOf(WithoutTrailingSlashes(base));
    const std::string homeTop = WithoutTrailingSlashes(homeFolder) + "/";
    if (!homeFolder.empty() && base.compare(0, homeTop.size(), homeTop) == 0) top = homeTop;
    MakeFoldersBelow(top, folder);
    return folder;
}

}  // namespace plat
