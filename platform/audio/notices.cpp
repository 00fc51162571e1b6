#include "platform/audio/notices.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/os/notice.h"

namespace plat::audio {

std::string ProgramLabel() { return plat::ProgramLabel(); }

void SayOnce(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> said;
    std::lock_guard<std::mutex> lock(mutex);
    if (!said.insert(text).second) return;
    plat::Notice(text);
}

}  // namespace plat::audio
