#include "platform/os/program_args.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace plat {

namespace {

// The folder of the running program, from the kernel's link to it.
std::filesystem::path ProgramFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path(error) : self.parent_path();
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
        std::fprintf(stderr, "%s: cannot read the folder %s\n", program, folder.c_str());
        return 1;
    }
    return -1;
}

}  // namespace plat
