// The script driver's outputs: screenshot and sound file.
#include "driver/frame_outputs.h"

#include <unistd.h>

#include <cstdio>

#include "draw/krDraw.h"
#include "platform/audio/mixer.h"
#include "platform/images/bmp.h"
#include "platform/os/atomic_file.h"
#include "platform/images/present_dump.h"

namespace krScriptDriver {
namespace {

constexpr long kFramesPerSecond = 60;

}  // namespace

std::vector<std::uint32_t> SurfacePixels(const plat::Surface& s) { return plat::XrgbPixels(s); }

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

}  // namespace krScriptDriver
