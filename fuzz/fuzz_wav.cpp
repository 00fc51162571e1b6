// libFuzzer harness of the WAV reader and the conversion to mixer voices:
// any bytes must be read into a format record and samples that lie inside
// them, or be refused; whatever is read must convert or be refused, with
// output sizes bounded by the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sound/sound_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krSound::internal::WaveData wave;
    if (!krSound::internal::ParseWave(data, size, wave)) return 0;
    if (wave.format.size() < 18 || wave.samples.size() > size || wave.format.size() > size + 2) std::abort();
    const std::size_t samples = wave.samples.size();
    krSound::internal::PlayableSound sound;
    if (krSound::internal::MakePlayable(wave.format, wave.samples, sound)) {
        // 8-bit companded mono doubles in size at most.
        if (sound.bytes.size() > 2 * samples || sound.format.channels < 1 || sound.format.channels > 2) std::abort();
        volatile std::uint8_t sink = sound.bytes.empty() ? 0 : sound.bytes.front() ^ sound.bytes.back();
        (void)sink;
    }
    return 0;
}
