#include "platform/os/program_args.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/os/window.h"

namespace plat {

namespace {

// The folder of the running program (its path is UTF-8 on every system).
std::filesystem::path ProgramFolder() {
    const std::string self = ProgramPath();
    std::error_code error;
    if (self.empty()) return std::filesystem::current_path(error);
    return std::filesystem::path(std::u8string(self.begin(), self.end())).parent_path();
}

bool FolderReadable(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::directory_iterator listing(folder, error);
    return !error;
}

}  // namespace

int CheckProgramArguments(const char* program, const char* usage, int argc, char** argv, const char* assetFolder) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == "--") break;  // what follows is the engine's, switches or not
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "%s: unknown switch %s (see %s --help)\n", program, arg.c_str(), program);
            return 2;
        }
    }
    const std::filesystem::path folder = ProgramFolder() / assetFolder;
    if (!FolderReadable(folder)) {
        const std::u8string name = folder.u8string();
        std::fprintf(stderr, "%s: cannot read the folder %s\n", program, std::string(name.begin(), name.end()).c_str());
        return 1;
    }
    return -1;
}

}  // namespace plat
