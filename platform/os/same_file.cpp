#include "platform/os/same_file.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/os/atomic_file.h"

namespace plat {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    const bool aExists = ::stat(a.c_str(), &sa) == 0, bExists = ::stat(b.c_str(), &sb) == 0;
    if (aExists && bExists)
        return S_ISREG(sa.st_mode) && S_ISREG(sb.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (aExists || bExists) return false;
    std::error_code error;
    const std::filesystem::path pa = std::filesystem::weakly_canonical(ResolveLinks(a), error);
    if (error) return false;
    const std::filesystem::path pb = std::filesystem::weakly_canonical(ResolveLinks(b), error);
    return !error && pa == pb;
}

}  // namespace plat
