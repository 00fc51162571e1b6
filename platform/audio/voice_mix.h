// The inner loops of the mixer: one voice resampled into a stereo float
// accumulator, and the accumulator turned into the output format with
// saturation. No locking here; the mixer calls these under its lock.
//
// Resampling is linear interpolation between neighbouring sample frames,
// with the read position kept in 32.32 fixed point so that positions stay
// exact to the frame however long a voice plays.
#pragma once
#include <cstdint>

namespace plat::audio::internal {

// Where a voice reads and how it steps. `position` is in frames (32.32).
struct VoiceCursor {
    const std::uint8_t* data = nullptr;
    std::uint32_t frames = 0;  // frames in the buffer (> 0)
    int channels = 2;
    int bits = 16;
    bool loop = false;
    std::uint64_t position = 0;  // 32.32 frames
    std::uint64_t step = 0;      // 32.32 frames per output frame
    float gainLeft = 1, gainRight = 1;
};

// Adds up to `count` frames of the voice into `mix` (interleaved stereo).
// Answers the number of output frames it produced: fewer than `count` only
// when a voice that plays once reached its end (position is then at the end).
// 16-bit voices run several frames per step over vector lanes at the
// instruction-set level the pixel kernels use (plat::kernels); every level
// gives the reference's floats to the bit.
int MixVoice(VoiceCursor& voice, float* mix, int count);

// Writes `count` frames of `mix` as `channels` x `bits` PCM into `out`,
// clamping to the sample range. A mono output takes the mean of both sides.
void WriteOutput(const float* mix, int count, int channels, int bits, void* out);

// The plain frame-by-frame forms of the two above, which the fast paths are
// tested against.
int ReferenceMixVoice(VoiceCursor& voice, float* mix, int count);
void ReferenceWriteOutput(const float* mix, int count, int channels, int bits, void* out);

// Amplitude of a level in hundredths of a decibel; -10000 and below is 0.
float LevelToAmplitude(int hundredthsDb);

}  // namespace plat::audio::internal
