// Pulling the mix frame by frame for the headless showcase.
#include "showcase/headless_audio.h"

#include <cstdio>

#include "platform/audio/mixer.h"

namespace {
constexpr long kFramesPerSecond = 60;
}

bool HeadlessAudio::Open(const std::string& path) {
    wanted_ = !path.empty();
    if (wanted_ && !writer_.Open(path, plat::audio::OutputFormat())) failed_ = true;
    return !failed_;
}

void HeadlessAudio::Frame() {
    const plat::audio::PcmFormat format = plat::audio::OutputFormat();
    // Sample frames up to the end of this video frame, so that the rounding
    // never drifts: the rate need not divide by 60.
    const long long before = static_cast<long long>(format.rate) * framesDone_ / kFramesPerSecond;
    ++framesDone_;
    const long long after = static_cast<long long>(format.rate) * framesDone_ / kFramesPerSecond;
    const int frames = static_cast<int>(after - before);
    buffer_.assign(static_cast<std::size_t>(frames) * format.BlockAlign(), 0);
    plat::audio::Mix(buffer_.data(), frames);
    if (wanted_ && writer_.IsOpen()) writer_.Append(buffer_.data(), buffer_.size());
}

bool HeadlessAudio::Close() {
    if (writer_.IsOpen()) writer_.Close();
    return !failed_;
}
