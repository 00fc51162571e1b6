#include "platform/os/notice.h"

#include <cstdio>

#include "platform/os/window.h"

namespace plat {

std::string ProgramLabel() {
    const std::string path = ProgramPath();
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? std::string("kr") : name;
}

void Notice(const std::string& text) { std::fprintf(stderr, "%s: %s\n", ProgramLabel().c_str(), text.c_str()); }

}  // namespace plat
