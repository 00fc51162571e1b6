#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>

#include "platform/os/system_info.h"

namespace plat {

std::uint64_t FreeDiskBytes(const std::string& folder) {
    struct statvfs st;
    if (statvfs(folder.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

std::uint64_t FreeMemoryBytes() {
    long pages = sysconf(_SC_AVPHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

bool SystemRelease(int& major, int& minor) {
    struct utsname u;
    major = minor = 0;
    if (uname(&u) != 0) return false;
    return std::sscanf(u.release, "%d.%d", &major, &minor) >= 1;
}

}  // namespace plat
