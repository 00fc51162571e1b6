// The player's data folder on POSIX systems: under the XDG data home, made
// owner-only when missing.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/os/user_folder.h"
#include "platform/os/window.h"

namespace plat {
namespace {

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
