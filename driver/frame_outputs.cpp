// The script driver's outputs: screenshot, sound file and frame dump.
#include "driver/frame_outputs.h"

#include <unistd.h>

#include <cstdio>

#include "draw/krDraw.h"
#include "platform/audio/mixer.h"
#include "platform/images/bmp.h"
#include "platform/os/atomic_file.h"

namespace krScriptDriver {
namespace {

constexpr long kFramesPerSecond = 60;

std::uint64_t Hash(const std::vector<std::uint32_t>& pixels, int width, int height) {
    std::uint64_t h = 1469598103934665603ull ^ (static_cast<std::uint64_t>(width) << 32) ^
                      static_cast<std::uint64_t>(height);
    for (std::uint32_t p : pixels) h = (h ^ (p & 0xFFFFFFu)) * 1099511628211ull;
    return h;
}

}  // namespace

std::vector<std::uint32_t> SurfacePixels(const plat::Surface& s) {
    std::vector<std::uint32_t> xrgb(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
    std::size_t at = 0;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            std::uint8_t r = 0, g = 0, b = 0;
            plat::UnmapRGB(s.format, plat::GetPixel(s, x, y), r, g, b);
            xrgb[at++] = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        }
    }
    return xrgb;
}

bool WriteBackScreen(const std::string& path) {
    const plat::Surface* back = krScreen.back;
    if (back == nullptr || back->pixels == nullptr) return false;
    const std::vector<std::uint32_t> xrgb = SurfacePixels(*back);
    return plat::WriteBmp24(path, xrgb.data(), back->width, back->height);
}

bool CanWrite(const std::string& path) {
    // The file a link names is the one tried (and removed again), never the link.
    const std::string target = plat::ResolveLinks(path);
    if (target.empty()) return false;
    const bool existed = access(target.c_str(), F_OK) == 0;
    std::FILE* f = std::fopen(target.c_str(), "ab");  // "a": an existing file keeps its bytes
    if (f == nullptr) return false;
    std::fclose(f);
    if (!existed) std::remove(target.c_str());
    return true;
}

// ---- sound ----

bool FrameAudio::Open(const std::string& path) {
    wanted_ = !path.empty();
    if (wanted_ && !writer_.Open(path, plat::audio::OutputFormat())) failed_ = true;
    return !failed_;
}

void FrameAudio::Frame() {
    const plat::audio::PcmFormat format = plat::audio::OutputFormat();
    // Sample frames up to the end of this video frame, so that the rounding
    // never drifts: the rate need not divide by 60.
    const long long before = static_cast<long long>(format.rate) * framesDone_ / kFramesPerSecond;
    ++framesDone_;
    const long long after = static_cast<long long>(format.rate) * framesDone_ / kFramesPerSecond;
    const int frames = static_cast<int>(after - before);
    buffer_.assign(static_cast<std::size_t>(frames) * format.BlockAlign(), 0);
    plat::audio::Mix(buffer_.data(), frames);
    if (wanted_ && writer_.IsOpen() && !writer_.Append(buffer_.data(), buffer_.size())) failed_ = true;
}

bool FrameAudio::Close() {
    if (writer_.IsOpen() && !writer_.Close()) failed_ = true;
    return !failed_;
}

// ---- frame dump ----

void FrameDump::Offer(const plat::Surface& front) {
    if (written_ >= kMaxFrames || front.pixels == nullptr) return;
    const std::vector<std::uint32_t> pixels = SurfacePixels(front);
    if (!seen_.insert(Hash(pixels, front.width, front.height)).second) return;
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%03d.bmp", written_++);
    // Written under a hidden name and renamed, as the window's dump does.
    const std::string path = folder_ + name, partial = folder_ + "/.partial.bmp";
    if (!plat::WriteBmp24(partial, pixels.data(), front.width, front.height) ||
        std::rename(partial.c_str(), path.c_str()) != 0)
        failed_ = true;
}

}  // namespace krScriptDriver
