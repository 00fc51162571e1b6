// The dump of presented frames (see present_dump.h).
#include "platform/images/present_dump.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/images/bmp.h"
#include "platform/os/window.h"

namespace plat {
namespace {

std::uint64_t Hash(const std::vector<std::uint32_t>& pixels, int width, int height) {
    std::uint64_t h = 1469598103934665603ull ^ (static_cast<std::uint64_t>(width) << 32) ^
                      static_cast<std::uint64_t>(height);
    for (std::uint32_t p : pixels) h = (h ^ (p & 0xFFFFFFu)) * 1099511628211ull;
    return h;
}

std::string ProgramName() {
    const std::string path = ProgramPath();
    return path.substr(path.find_last_of('/') + 1);
}

// KR_PRESENT_DUMP_LIMIT: a whole number from 1, else no limit (a wrong
// value says so once).
long LimitFromEnvironment() {
    const char* text = std::getenv("KR_PRESENT_DUMP_LIMIT");
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno == 0 && *end == '\0' && value >= 1) return value;
    std::fprintf(stderr, "%s: KR_PRESENT_DUMP_LIMIT wants a whole number from 1, got '%s'; the dump has no limit\n",
                 ProgramName().c_str(), text);
    return 0;
}

}  // namespace

std::vector<std::uint32_t> XrgbPixels(const Surface& s) {
    std::vector<std::uint32_t> xrgb;
    if (s.pixels == nullptr) return xrgb;
    xrgb.reserve(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            std::uint8_t r = 0, g = 0, b = 0;
            UnmapRGB(s.format, GetPixel(s, x, y), r, g, b);
            xrgb.push_back((std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b);
        }
    }
    return xrgb;
}

void PresentDump::Start(const std::string& folder, long limit) {
    folder_ = folder;
    limit_ = limit;
    seen_.clear();
    written_ = 0;
    failed_ = false;
    limitReported_ = false;
}

void PresentDump::Offer(const Surface& front) {
    if (folder_.empty() || front.pixels == nullptr) return;
    if (limit_ > 0 && written_ >= limit_) return;
    const std::vector<std::uint32_t> pixels = XrgbPixels(front);
    if (!seen_.insert(Hash(pixels, front.width, front.height)).second) return;
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%03ld.bmp", written_++);
    // Written under a hidden name and then renamed, so that a reader
    // watching the folder only ever sees whole frames.
    const std::string path = folder_ + name, partial = folder_ + "/.partial.bmp";
    if (!WriteBmp24(partial, pixels.data(), front.width, front.height) ||
        std::rename(partial.c_str(), path.c_str()) != 0) {
        if (!failed_) std::fprintf(stderr, "%s: cannot write the frame dump %s\n", ProgramName().c_str(), path.c_str());
        failed_ = true;
    }
    if (limit_ > 0 && written_ == limit_ && !limitReported_) {
        limitReported_ = true;
        std::fprintf(stderr, "%s: the frame dump stops at %ld frames (KR_PRESENT_DUMP_LIMIT)\n",
                     ProgramName().c_str(), limit_);
    }
}

PresentDump& ProgramPresentDump() {
    static PresentDump dump;
    return dump;
}

void StartPresentDumpFromEnvironment() {
    const char* folder = std::getenv("KR_PRESENT_DUMP");
    ProgramPresentDump().Start(folder != nullptr ? folder : "", folder != nullptr && *folder ? LimitFromEnvironment() : 0);
}

}  // namespace plat
