// The running program's path, from the kernel's link to it.
#include <unistd.h>

#include "platform/os/window.h"

namespace plat {

std::string ProgramPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace plat
