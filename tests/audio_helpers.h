// Helpers of the sound tests: voices filled from a function, one channel of
// rendered samples, zero crossings (pitch), levels.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/audio/mixer.h"

namespace kr_test {

// A voice of `frames` frames whose sample n (channels interleaved) is
// value(n): signed for 16-bit, the raw byte for 8-bit.
inline int MakeVoice(const plat::audio::PcmFormat& format, int frames, const std::function<int(int)>& value) {
    const std::uint32_t bytes = static_cast<std::uint32_t>(frames * format.BlockAlign());
    const int voice = plat::audio::CreateVoice(format, bytes);
    void* first = nullptr;
    std::uint32_t firstBytes = 0;
    if (!voice || !plat::audio::Lock(voice, 0, bytes, &first, &firstBytes, nullptr, nullptr)) return voice;
    auto* out = static_cast<std::uint8_t*>(first);
    for (int n = 0; n < frames * format.channels; ++n) {
        if (format.bits == 16) {
            const std::int16_t v = static_cast<std::int16_t>(value(n));
            std::memcpy(out + 2 * n, &v, 2);
        } else {
            out[n] = static_cast<std::uint8_t>(value(n));
        }
    }
    plat::audio::Unlock(voice);
    return voice;
}

inline std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& samples, int channels, int which) {
    std::vector<std::int16_t> out;
    for (std::size_t i = which; i < samples.size(); i += channels) out.push_back(samples[i]);
    return out;
}

// Sign changes, a sample of 0 counting with the positive side.
inline int CountZeroCrossings(const std::vector<std::int16_t>& samples) {
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    return crossings;
}

inline int Peak(const std::vector<std::int16_t>& samples, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    int peak = 0;
    for (std::size_t i = from; i < samples.size() && i < to; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
    return peak;
}

}  // namespace kr_test
