// The mixer's inner loops: linear-interpolating resampler per source
// layout (8/16-bit, mono/stereo) into a float stereo accumulator, and the
// saturating conversion of the accumulator into the output format.
#include "platform/audio/voice_mix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat::audio::internal {
namespace {

constexpr std::uint64_t kOne = std::uint64_t{1} << 32;
constexpr float kFracScale = 1.0f / 4294967296.0f;

template <int Bits>
inline float Sample(const std::uint8_t* data, std::uint32_t index) {
    if constexpr (Bits == 16) {
        std::int16_t s;
        std::memcpy(&s, data + std::size_t{index} * 2, 2);
        return static_cast<float>(s);
    } else {
        return static_cast<float>(static_cast<int>(data[index]) - 128);
    }
}

// Full scale of a sample as read by Sample<Bits>.
template <int Bits>
constexpr float kSampleScale = Bits == 16 ? 1.0f / 32768.0f : 1.0f / 128.0f;

// Interpolates between frame `a` and frame `b` and adds it, panned.
template <int Bits, int Channels>
inline void AddFrame(const std::uint8_t* data, std::uint32_t a, std::uint32_t b, float frac, float gl, float gr,
                     float* out) {
    if constexpr (Channels == 2) {
        const float l0 = Sample<Bits>(data, 2 * a), r0 = Sample<Bits>(data, 2 * a + 1);
        const float l1 = Sample<Bits>(data, 2 * b), r1 = Sample<Bits>(data, 2 * b + 1);
        out[0] += (l0 + (l1 - l0) * frac) * gl;
        out[1] += (r0 + (r1 - r0) * frac) * gr;
    } else {
        const float s0 = Sample<Bits>(data, a), s1 = Sample<Bits>(data, b);
        const float s = s0 + (s1 - s0) * frac;
        out[0] += s * gl;
        out[1] += s * gr;
    }
}

// The frames that can be produced while both neighbours lie inside the
// buffer, so the loop needs no wrap test.
inline int InteriorRun(std::uint64_t position, std::uint64_t step, std::uint32_t frames, int count) {
    const std::uint64_t limit = std::uint64_t{frames - 1} << 32;
    if (position >= limit) return 0;
    const std::uint64_t run = (limit - position + step - 1) / step;
    return static_cast<int>(std::min<std::uint64_t>(run, static_cast<std::uint64_t>(count)));
}

// The interior run of a 16-bit stereo voice, the common case: both
// neighbouring frames come in one 8-byte load and are blended as pairs.
template <int Bits, int Channels>
inline std::uint64_t MixRun(const std::uint8_t* data, std::uint64_t pos, std::uint64_t step, int run, float gl,
                            float gr, float* out) {
#if defined(__SSE2__)
    if constexpr (Bits == 16 && Channels == 2) {
        const __m128 gains = _mm_setr_ps(gl, gr, 0, 0);
        for (int n = 0; n < run; ++n) {
            const std::uint32_t index = static_cast<std::uint32_t>(pos >> 32);
            const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + std::size_t{index} * 4));
            const __m128 s = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(pair, pair), 16));  // l0 r0 l1 r1
            const __m128 next = _mm_movehl_ps(s, s);                                                // l1 r1
            const __m128 frac = _mm_set1_ps(static_cast<float>(static_cast<std::uint32_t>(pos)) * kFracScale);
            const __m128 value = _mm_mul_ps(_mm_add_ps(s, _mm_mul_ps(_mm_sub_ps(next, s), frac)), gains);
            float* o = out + 2 * n;
            const __m128 mixed = _mm_add_ps(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(o))), value);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_castps_si128(mixed));
            pos += step;
        }
        return pos;
    }
#endif
    for (int n = 0; n < run; ++n) {
        const std::uint32_t index = static_cast<std::uint32_t>(pos >> 32);
        const float frac = static_cast<float>(static_cast<std::uint32_t>(pos)) * kFracScale;
        AddFrame<Bits, Channels>(data, index, index + 1, frac, gl, gr, out + 2 * n);
        pos += step;
    }
    return pos;
}

template <int Bits, int Channels>
int MixVoiceAs(VoiceCursor& v, float* mix, int count) {
    const float gl = v.gainLeft * kSampleScale<Bits>, gr = v.gainRight * kSampleScale<Bits>;
    const std::uint64_t end = std::uint64_t{v.frames} << 32;
    std::uint64_t pos = v.position;
    const std::uint64_t step = v.step;
    int done = 0;
    while (done < count) {
        if (pos >= end) {
            if (!v.loop) {
                pos = end;
                break;
            }
            pos %= end;
        }
        const int run = InteriorRun(pos, step, v.frames, count - done);
        pos = MixRun<Bits, Channels>(v.data, pos, step, run, gl, gr, mix + 2 * done);
        done += run;
        if (done >= count || run > 0) continue;
        // The last frame: its right neighbour is the first frame when looping,
        // else the last frame is held.
        const std::uint32_t index = static_cast<std::uint32_t>(pos >> 32);
        const float frac = static_cast<float>(static_cast<std::uint32_t>(pos)) * kFracScale;
        AddFrame<Bits, Channels>(v.data, index, v.loop ? 0 : index, frac, gl, gr, mix + 2 * done);
        pos += step;
        ++done;
    }
    if (v.loop && pos >= end) pos %= end;
    v.position = pos;
    return done;
}

template <int Bits>
inline void WriteSample(float value, std::uint8_t* out);

template <>
inline void WriteSample<16>(float value, std::uint8_t* out) {
    const float s = std::clamp(value * 32768.0f, -32768.0f, 32767.0f);
    const std::int16_t v = static_cast<std::int16_t>(std::lrint(s));
    std::memcpy(out, &v, 2);
}

template <>
inline void WriteSample<8>(float value, std::uint8_t* out) {
    const float s = std::clamp(value * 128.0f + 128.0f, 0.0f, 255.0f);
    *out = static_cast<std::uint8_t>(std::lrint(s));
}

template <int Bits>
void WriteAs(const float* mix, int count, int channels, std::uint8_t* out) {
    constexpr int kBytes = Bits / 8;
    if (channels == 2) {
        for (int i = 0; i < 2 * count; ++i) WriteSample<Bits>(mix[i], out + i * kBytes);
        return;
    }
    for (int i = 0; i < count; ++i) WriteSample<Bits>(0.5f * (mix[2 * i] + mix[2 * i + 1]), out + i * kBytes);
}

}  // namespace

int MixVoice(VoiceCursor& voice, float* mix, int count) {
    if (!voice.data || voice.frames == 0 || voice.step == 0 || count <= 0) return 0;
    const bool stereo = voice.channels == 2;
    if (voice.bits == 16) return stereo ? MixVoiceAs<16, 2>(voice, mix, count) : MixVoiceAs<16, 1>(voice, mix, count);
    return stereo ? MixVoiceAs<8, 2>(voice, mix, count) : MixVoiceAs<8, 1>(voice, mix, count);
}

void WriteOutput(const float* mix, int count, int channels, int bits, void* out) {
    auto* bytes = static_cast<std::uint8_t*>(out);
    if (bits == 16)
        WriteAs<16>(mix, count, channels, bytes);
    else
        WriteAs<8>(mix, count, channels, bytes);
}

float LevelToAmplitude(int hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0f;
    if (hundredthsDb >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

}  // namespace plat::audio::internal
