// The mixer's inner loops: linear-interpolating resampler per source
// layout (8/16-bit, mono/stereo) into a float stereo accumulator, and the
// saturating conversion of the accumulator into the output format. The
// x86 runs are built for x86-64 only; the portable level (any processor)
// takes the frame-by-frame runs and the plain conversion.
//
// The wide runs must round exactly as the frame-by-frame reference does, so
// no multiply and add may be fused into one instruction in this file.
#pragma GCC optimize("fp-contract=off")
// GCC 12 takes the deliberately undefined vectors inside the AVX-512
// intrinsics for uninitialised ones.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/audio/voice_mix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/pixels/blit_kernels.h"

#if KR_KERNELS_X86
#include <immintrin.h>
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

// Produces `run` interior frames from `pos` into `out`; answers the position
// after them. One of these per layout and instruction-set level.
using RunFn = std::uint64_t (*)(const std::uint8_t* data, std::uint32_t frames, std::uint64_t pos, std::uint64_t step, int run, float gl,
                                float gr, float* out);

// Frame by frame: the reference every faster run must match to the bit.
template <int Bits, int Channels>
std::uint64_t PlainRun(const std::uint8_t* data, std::uint32_t frames, std::uint64_t pos, std::uint64_t step, int run, float gl, float gr,
                       float* out) {
    for (int n = 0; n < run; ++n) {
        const std::uint32_t index = static_cast<std::uint32_t>(pos >> 32);
        const float frac = static_cast<float>(static_cast<std::uint32_t>(pos)) * kFracScale;
        AddFrame<Bits, Channels>(data, index, index + 1, frac, gl, gr, out + 2 * n);
        pos += step;
    }
    return pos;
}

#if KR_KERNELS_X86
// SSE2, 16-bit stereo: both neighbouring frames come in one 8-byte load and
// are blended as pairs, one output frame per step.
std::uint64_t Stereo16Sse2(const std::uint8_t* data, std::uint32_t frames, std::uint64_t pos, std::uint64_t step, int run, float gl,
                           float gr, float* out) {
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

// The wide runs below take W output frames per step: the W read positions
// sit in 64-bit lanes, each frame's two neighbours are gathered at once
// (interior frames, so both lie inside the buffer), and the blend is the
// reference's own sequence of float operations on every lane.

// pos, pos + step, ... in `lanes` 64-bit lanes.
template <int Lanes>
void LanePositions(std::uint64_t pos, std::uint64_t step, std::uint64_t* lanes) {
    for (int k = 0; k < Lanes; ++k) lanes[k] = pos + step * static_cast<std::uint64_t>(k);
}

#pragma GCC push_options
#pragma GCC target("avx2")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#endif

// An unsigned 32-bit lane as float, rounded once as the scalar conversion
// is: both 16-bit halves convert exactly, and their sum rounds once.
inline __m256 U32ToFloatAvx2(__m256i x) {
    const __m256 high = _mm256_cvtepi32_ps(_mm256_srli_epi32(x, 16));
    const __m256 low = _mm256_cvtepi32_ps(_mm256_and_si256(x, _mm256_set1_epi32(0xFFFF)));
    return _mm256_add_ps(_mm256_mul_ps(high, _mm256_set1_ps(65536.0f)), low);
}

// Byte shuffles that put one frame's left and right 16-bit samples in the
// high halves of two 32-bit lanes (an arithmetic shift then extends them):
// of the first frame of each gathered 8-byte pair, and of the second.
#define KR_FIRST_FRAME -1, -1, 0, 1, -1, -1, 2, 3, -1, -1, 8, 9, -1, -1, 10, 11
#define KR_SECOND_FRAME -1, -1, 4, 5, -1, -1, 6, 7, -1, -1, 12, 13, -1, -1, 14, 15

// The fraction of each lane's position, once for the left and once for the
// right output sample.
inline __m256 PairFractionsAvx2(__m256i positions) {
    return _mm256_mul_ps(U32ToFloatAvx2(_mm256_shuffle_epi32(positions, 0xA0)), _mm256_set1_ps(kFracScale));
}

inline void BlendIntoAvx2(__m256 s0, __m256 s1, __m256 frac, __m256 gains, float* o) {
    const __m256 value = _mm256_mul_ps(_mm256_add_ps(s0, _mm256_mul_ps(_mm256_sub_ps(s1, s0), frac)), gains);
    _mm256_storeu_ps(o, _mm256_add_ps(_mm256_loadu_ps(o), value));
}

template <int Channels>
std::uint64_t Run16Avx2(const std::uint8_t* data, std::uint32_t frames, std::uint64_t pos,
                                                        std::uint64_t step, int run, float gl, float gr, float* out) {
    constexpr int kLanes = 4;
    int n = 0;
    if (run >= kLanes) {
        std::uint64_t lanes[kLanes];
        LanePositions<kLanes>(pos, step, lanes);
        __m256i positions = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes));
        const __m256i advance = _mm256_set1_epi64x(static_cast<long long>(step * kLanes));
        const __m256 gains = _mm256_setr_ps(gl, gr, gl, gr, gl, gr, gl, gr);
        const __m256i first = _mm256_setr_epi8(KR_FIRST_FRAME, KR_FIRST_FRAME);
        const __m256i second = _mm256_setr_epi8(KR_SECOND_FRAME, KR_SECOND_FRAME);
        const __m256i twice = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256i highs = _mm256_setr_epi32(1, 3, 5, 7, 1, 3, 5, 7);  // the frame numbers of the positions
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const bool window = step < (std::uint64_t{2} << 32);
        std::uint64_t at = pos;  // the first lane's position
        for (; n + kLanes <= run; n += kLanes, at += step * kLanes) {
            const __m256i index = _mm256_srli_epi64(positions, 32);
            __m256 s0, s1;
            if (Channels == 2 && window) {
                // Four frames at a step under 2 lie among the next eight:
                // one (masked) load, then a lane permute per neighbour.
                const std::uint32_t base = static_cast<std::uint32_t>(at >> 32);
                const __m128i rel = _mm_sub_epi32(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(positions, highs)),
                                                  _mm_set1_epi32(static_cast<int>(base)));
                const int* from = reinterpret_cast<const int*>(data + std::size_t{base} * 4);
                // A masked load only near the end: it is slow on some processors.
                const __m256i near =
                    frames - base >= 8
                        ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from))
                        : _mm256_maskload_epi32(from, _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(frames - base)), lane));
                s0 = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(
                    _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(near, _mm256_zextsi128_si256(rel)))));
                s1 = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_castsi256_si128(
                    _mm256_permutevar8x32_epi32(near, _mm256_zextsi128_si256(_mm_add_epi32(rel, _mm_set1_epi32(1)))))));
            } else if constexpr (Channels == 2) {
                const __m256i pairs = _mm256_i64gather_epi64(reinterpret_cast<const long long*>(data), index, 4);
                s0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_shuffle_epi8(pairs, first), 16));
                s1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_shuffle_epi8(pairs, second), 16));
            } else {
                const __m128i words = _mm256_i64gather_epi32(reinterpret_cast<const int*>(data), index, 2);
                const __m256i both = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(words), twice);
                s0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16));
                s1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(both, 16));
            }
            BlendIntoAvx2(s0, s1, PairFractionsAvx2(positions), gains, out + 2 * n);
            positions = _mm256_add_epi64(positions, advance);
        }
        pos += step * static_cast<std::uint64_t>(n);
        // The tail and the caller are plain SSE code: leave the wide
        // registers clean, or every such instruction after pays for them.
        _mm256_zeroupper();
    }
    return PlainRun<16, Channels>(data, frames, pos, step, run - n, gl, gr, out + 2 * n);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw"))), apply_to = function)
#endif

inline void BlendIntoAvx512(__m512 s0, __m512 s1, __m512 frac, __m512 gains, float* o) {
    const __m512 value = _mm512_mul_ps(_mm512_add_ps(s0, _mm512_mul_ps(_mm512_sub_ps(s1, s0), frac)), gains);
    _mm512_storeu_ps(o, _mm512_add_ps(_mm512_loadu_ps(o), value));
}

template <int Channels>
std::uint64_t Run16Avx512(const std::uint8_t* data, std::uint32_t frames, std::uint64_t pos, std::uint64_t step, int run,
                                    float gl, float gr, float* out) {
    constexpr int kLanes = 8;
    int n = 0;
    if (run >= kLanes) {
        std::uint64_t lanes[kLanes];
        LanePositions<kLanes>(pos, step, lanes);
        __m512i positions = _mm512_loadu_si512(lanes);
        const __m512i advance = _mm512_set1_epi64(static_cast<long long>(step * kLanes));
        float gainPairs[2 * kLanes];
        for (int k = 0; k < 2 * kLanes; k += 2) gainPairs[k] = gl, gainPairs[k + 1] = gr;
        const __m512 gains = _mm512_loadu_ps(gainPairs);
        const __m512i first = _mm512_broadcast_i32x4(_mm_setr_epi8(KR_FIRST_FRAME));
        const __m512i second = _mm512_broadcast_i32x4(_mm_setr_epi8(KR_SECOND_FRAME));
        const __m512i twice = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
        const __m512 fracScale = _mm512_set1_ps(kFracScale);
        const bool window = step < (std::uint64_t{2} << 32);
        std::uint64_t at = pos;  // the first lane's position
        for (; n + kLanes <= run; n += kLanes, at += step * kLanes) {
            const __m512i index = _mm512_srli_epi64(positions, 32);
            __m512 s0, s1;
            if (Channels == 2 && window) {
                // Eight frames at a step under 2 lie among the next sixteen:
                // one (masked) load, then a lane permute per neighbour.
                const std::uint32_t base = static_cast<std::uint32_t>(at >> 32);
                const __m512i rel = _mm512_castsi256_si512(
                    _mm256_sub_epi32(_mm512_cvtepi64_epi32(index), _mm256_set1_epi32(static_cast<int>(base))));
                const std::uint32_t left = std::min(frames - base, 16u);
                const __mmask16 inside = static_cast<__mmask16>((1u << left) - 1u);
                const __m512i near = _mm512_maskz_loadu_epi32(inside, data + std::size_t{base} * 4);
                const __m512i rel1 = _mm512_add_epi32(rel, _mm512_set1_epi32(1));
                s0 = _mm512_cvtepi32_ps(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(_mm512_permutexvar_epi32(rel, near))));
                s1 = _mm512_cvtepi32_ps(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(_mm512_permutexvar_epi32(rel1, near))));
            } else if constexpr (Channels == 2) {
                const __m512i pairs = _mm512_i64gather_epi64(index, data, 4);
                s0 = _mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_shuffle_epi8(pairs, first), 16));
                s1 = _mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_shuffle_epi8(pairs, second), 16));
            } else {
                const __m256i words = _mm512_i64gather_epi32(index, data, 2);
                const __m512i both = _mm512_permutexvar_epi32(twice, _mm512_castsi256_si512(words));
                s0 = _mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_slli_epi32(both, 16), 16));
                s1 = _mm512_cvtepi32_ps(_mm512_srai_epi32(both, 16));
            }
            const __m512i low = _mm512_shuffle_epi32(positions, static_cast<_MM_PERM_ENUM>(0xA0));
            const __m512 frac = _mm512_mul_ps(_mm512_cvtepu32_ps(low), fracScale);
            BlendIntoAvx512(s0, s1, frac, gains, out + 2 * n);
            positions = _mm512_add_epi64(positions, advance);
        }
        pos += step * static_cast<std::uint64_t>(n);
        // The tail and the caller are plain SSE code: leave the wide
        // registers clean, or every such instruction after pays for them.
        _mm256_zeroupper();
    }
    return PlainRun<16, Channels>(data, frames, pos, step, run - n, gl, gr, out + 2 * n);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif
#pragma GCC pop_options
#endif  // KR_KERNELS_X86

// The fastest run the active level has for the layout.
template <int Bits, int Channels>
RunFn FastRun() {
    if constexpr (Bits == 16) {
        switch (plat::kernels::ActiveKernelLevel()) {
#if KR_KERNELS_X86
            case plat::kernels::KernelLevel::kAvx512: return Run16Avx512<Channels>;
            case plat::kernels::KernelLevel::kAvx2: return Run16Avx2<Channels>;
            case plat::kernels::KernelLevel::kSse2: return Channels == 2 ? Stereo16Sse2 : PlainRun<16, 1>;
#endif
            default: return PlainRun<16, Channels>;
        }
    }
    return PlainRun<Bits, Channels>;
}

template <int Bits, int Channels>
int MixVoiceAs(VoiceCursor& v, float* mix, int count, RunFn runFrames) {
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
        pos = runFrames(v.data, v.frames, pos, step, run, gl, gr, mix + 2 * done);
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

// `fast` picks the level's runs, else the reference's.
int MixVoiceWith(VoiceCursor& voice, float* mix, int count, bool fast) {
    if (!voice.data || voice.frames == 0 || voice.step == 0 || count <= 0) return 0;
    const bool stereo = voice.channels == 2;
    if (voice.bits == 16) {
        if (stereo) return MixVoiceAs<16, 2>(voice, mix, count, fast ? FastRun<16, 2>() : PlainRun<16, 2>);
        return MixVoiceAs<16, 1>(voice, mix, count, fast ? FastRun<16, 1>() : PlainRun<16, 1>);
    }
    if (stereo) return MixVoiceAs<8, 2>(voice, mix, count, PlainRun<8, 2>);
    return MixVoiceAs<8, 1>(voice, mix, count, PlainRun<8, 1>);
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

#if KR_KERNELS_X86
// Eight 16-bit samples from eight mix values as WriteSample<16> makes them:
// scaled, clamped, rounded to nearest even (the default rounding lrint
// follows); a NaN, which lrint turns into 0, is zeroed first.
inline __m128i EightSamples16(__m128 a, __m128 b) {
    const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
    a = _mm_mul_ps(a, scale);
    b = _mm_mul_ps(b, scale);
    a = _mm_min_ps(_mm_max_ps(_mm_and_ps(a, _mm_cmpord_ps(a, a)), low), high);
    b = _mm_min_ps(_mm_max_ps(_mm_and_ps(b, _mm_cmpord_ps(b, b)), low), high);
    return _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
}

void Write16Fast(const float* mix, int count, int channels, std::uint8_t* out) {
    int i = 0;
    if (channels == 2) {
        for (; i + 4 <= count; i += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i),
                             EightSamples16(_mm_loadu_ps(mix + 2 * i), _mm_loadu_ps(mix + 2 * i + 4)));
    } else {
        const __m128 half = _mm_set1_ps(0.5f);
        for (; i + 8 <= count; i += 8) {
            __m128 means[2];
            for (int h = 0; h < 2; ++h) {
                const __m128 a = _mm_loadu_ps(mix + 2 * i + 8 * h), b = _mm_loadu_ps(mix + 2 * i + 8 * h + 4);
                const __m128 lefts = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
                const __m128 rights = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
                means[h] = _mm_mul_ps(half, _mm_add_ps(lefts, rights));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), EightSamples16(means[0], means[1]));
        }
    }
    WriteAs<16>(mix + 2 * i, count - i, channels, out + static_cast<std::size_t>(i) * channels * 2);
}
#endif  // KR_KERNELS_X86

}  // namespace

int MixVoice(VoiceCursor& voice, float* mix, int count) { return MixVoiceWith(voice, mix, count, true); }

int ReferenceMixVoice(VoiceCursor& voice, float* mix, int count) { return MixVoiceWith(voice, mix, count, false); }

void WriteOutput(const float* mix, int count, int channels, int bits, void* out) {
    auto* bytes = static_cast<std::uint8_t*>(out);
#if KR_KERNELS_X86
    if (bits == 16 && plat::kernels::ActiveKernelLevel() != plat::kernels::KernelLevel::kPortable)
        return Write16Fast(mix, count, channels, bytes);
#endif
    if (bits == 16)
        WriteAs<16>(mix, count, channels, bytes);
    else
        WriteAs<8>(mix, count, channels, bytes);
}

void ReferenceWriteOutput(const float* mix, int count, int channels, int bits, void* out) {
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
