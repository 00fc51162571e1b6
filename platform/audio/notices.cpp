#include "platform/audio/notices.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/os/window.h"

namespace plat::audio {

std::string ProgramLabel() {
    const std::string path = ProgramPath();
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? std::string("kr") : name;
}

void SayOnce(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> said;
    std::lock_guard<std::mutex> lock(mutex);
    if (!said.insert(text).second) return;
    std::fprintf(stderr, "%s: %s\n", ProgramLabel().c_str(), text.c_str());
}

}  // namespace plat::audio
