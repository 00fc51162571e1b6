// The WAV reader and writer and the conversion of what it reads into mixer
// voices. The reader walks RIFF chunks inside the image it was handed and
// never trusts a size: a chunk that claims more than its RIFF chunk or the
// file holds ends the reading. Conversion keeps 8/16-bit mono and stereo PCM
// as it is and turns float, A-law, mu-law, 24/32-bit and extensible data
// (more than two channels mixed down to stereo) into 16-bit PCM.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/pixels/blit_kernels.h"

#if KR_KERNELS_X86
#include <immintrin.h>
#endif
#include "platform/text/cp932.h"
#include "sound/sound_internal.h"

namespace krSound::internal {

namespace {

constexpr std::size_t kPcmFormatBytes = 16;   // the fields without the extra size
constexpr std::size_t kRecordBytes = 18;      // with the extra-size field
constexpr std::size_t kExtensibleExtra = 22;  // valid bits, channel mask, sub-format
constexpr int kMaxChannels = 32;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void PutU16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void PutU32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    PutU16(v, x & 0xFFFF);
    PutU16(v, x >> 16);
}
void PutTag(std::vector<std::uint8_t>& v, const char* tag) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(tag[i]));
}

struct Chunk {
    std::size_t body = 0;  // offset of the chunk's first data byte
    std::uint32_t size = 0;
};

// Finds the chunk `id` among the chunks from `begin` to `end` (odd sizes are
// padded). A chunk that claims more than `end` ends the search.
bool FindChunk(const std::uint8_t* image, std::size_t begin, std::size_t end, const char* id, Chunk& out) {
    std::size_t pos = begin;
    while (pos <= end && end - pos >= 8) {
        const std::uint32_t size = U32(image + pos + 4);
        const std::size_t body = pos + 8;
        if (size > end - body) return false;
        if (std::memcmp(image + pos, id, 4) == 0) {
            out = Chunk{body, size};
            return true;
        }
        pos = body + size + (size & 1);
        if (pos > end) return false;
    }
    return false;
}

bool ReadFormatChunk(const std::uint8_t* image, const Chunk& chunk, std::vector<std::uint8_t>& format) {
    if (chunk.size < kPcmFormatBytes) return false;
    const std::uint8_t* p = image + chunk.body;
    std::uint16_t extra = 0;
    // A PCM record has no extra bytes; a shorter record of another kind
    // (a float file written with 16 bytes) has none either.
    if (U16(p) != kTagPcm && chunk.size >= kRecordBytes) extra = U16(p + 16);
    if (extra > chunk.size - std::min<std::size_t>(chunk.size, kRecordBytes)) return false;
    format.assign(p, p + kPcmFormatBytes);
    PutU16(format, extra);
    format.insert(format.end(), p + kRecordBytes, p + kRecordBytes + extra);
    return true;
}

// ---- conversion ----

enum class Sample { Unsigned8, Signed16, Signed24, Signed32, Float32, Float64, ALaw, MuLaw };

struct Layout {
    Sample sample = Sample::Signed16;
    std::uint32_t channelMask = 0;
};

bool IsSubFormat(const std::uint8_t* guid, std::uint16_t& tag) {
    static const std::uint8_t kTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (std::memcmp(guid + 2, kTail, sizeof kTail) != 0) return false;
    tag = U16(guid);
    return true;
}

bool PcmSample(std::uint16_t bits, Sample& out) {
    switch (bits) {
        case 8: out = Sample::Unsigned8; return true;
        case 16: out = Sample::Signed16; return true;
        case 24: out = Sample::Signed24; return true;
        case 32: out = Sample::Signed32; return true;
        default: return false;
    }
}

bool SampleOfTag(std::uint16_t tag, std::uint16_t bits, Sample& out) {
    switch (tag) {
        case kTagPcm: return PcmSample(bits, out);
        case kTagFloat:
            if (bits != 32 && bits != 64) return false;
            out = bits == 32 ? Sample::Float32 : Sample::Float64;
            return true;
        case kTagALaw: out = Sample::ALaw; return bits == 8;
        case kTagMuLaw: out = Sample::MuLaw; return bits == 8;
        default: return false;
    }
}

// What the record describes, or false when it is nothing the loaders play.
bool DescribeLayout(const std::vector<std::uint8_t>& record, const WaveFormat& f, Layout& out) {
    if (f.channels == 0 || f.channels > kMaxChannels || f.rate == 0 || f.bits == 0 || f.bits % 8 != 0) return false;
    if (f.blockAlign != f.channels * (f.bits / 8)) return false;
    std::uint16_t tag = f.tag;
    if (tag == kTagExtensible) {
        if (f.extraSize < kExtensibleExtra || record.size() < kRecordBytes + kExtensibleExtra) return false;
        const std::uint8_t* extra = record.data() + kRecordBytes;
        out.channelMask = U32(extra + 2);
        if (!IsSubFormat(extra + 6, tag) || (tag != kTagPcm && tag != kTagFloat)) return false;
    }
    return SampleOfTag(tag, f.bits, out.sample);
}

float ALawValue(std::uint8_t a) {
    a ^= 0x55;
    int t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) t += 8;
    else t = (t + 0x108) << (segment - 1);
    return static_cast<float>((a & 0x80) ? t : -t);
}

float MuLawValue(std::uint8_t u) {
    u = static_cast<std::uint8_t>(~u);
    const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return static_cast<float>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

// One sample on the 16-bit scale (-32768 .. 32767, wider for float input).
float SampleValue(const std::uint8_t* p, Sample kind) {
    switch (kind) {
        case Sample::Unsigned8: return static_cast<float>((p[0] - 128) * 256);
        case Sample::Signed16: return static_cast<float>(static_cast<std::int16_t>(U16(p)));
        case Sample::Signed24: {
            const std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                             static_cast<std::uint32_t>(p[1]) << 16 |
                                                             static_cast<std::uint32_t>(p[2]) << 24);
            return static_cast<float>(v) / 65536.0f;
        }
        case Sample::Signed32: return static_cast<float>(static_cast<std::int32_t>(U32(p))) / 65536.0f;
        case Sample::Float32: {
            float f;
            std::memcpy(&f, p, 4);
            return f == f ? std::clamp(f, -4.0f, 4.0f) * 32768.0f : 0.0f;  // NaN is silence
        }
        case Sample::Float64: {
            double d;
            std::memcpy(&d, p, 8);
            return d == d ? static_cast<float>(std::clamp(d, -4.0, 4.0) * 32768.0) : 0.0f;
        }
        case Sample::ALaw: return ALawValue(p[0]);
        case Sample::MuLaw: return MuLawValue(p[0]);
    }
    return 0.0f;
}

std::int16_t ToSample16(float v) { return static_cast<std::int16_t>(std::lrint(std::clamp(v, -32768.0f, 32767.0f))); }

// Left and right weights of each channel when more than two are mixed down:
// the speaker position of the channel mask (or the usual order when the
// mask names fewer speakers), left side to the left, right side to the
// right, the rest to both at -3 dB, the low-frequency channel dropped.
std::vector<std::pair<float, float>> DownMixWeights(int channels, std::uint32_t mask) {
    // FL FR FC LFE BL BR FLC FRC BC SL SR TC TFL TFC TFR TBL TBC TBR
    static const char kSide[] = "LRC-LRLRCLRCLCRLCR";
    const float kSideLevel = 0.70710678f;
    std::vector<int> speakers;
    for (int bit = 0; bit < 32 && static_cast<int>(speakers.size()) < channels; ++bit)
        if (mask >> bit & 1u) speakers.push_back(bit);
    if (static_cast<int>(speakers.size()) < channels) {
        speakers.clear();
        for (int c = 0; c < channels; ++c) speakers.push_back(c);
    }
    std::vector<std::pair<float, float>> weights;
    float left = 0.0f, right = 0.0f;
    for (int speaker : speakers) {
        const char side = speaker < 18 ? kSide[speaker] : 'C';
        const float main = speaker < 2 ? 1.0f : kSideLevel;
        std::pair<float, float> w{side == 'L' ? main : 0.0f, side == 'R' ? main : 0.0f};
        if (side == 'C') w = {kSideLevel, kSideLevel};
        left += w.first;
        right += w.second;
        weights.push_back(w);
    }
    const float scale = 1.0f / std::max({left, right, 1.0f});
    for (auto& w : weights) w = {w.first * scale, w.second * scale};
    return weights;
}

// Float samples of one or two channels, the common case: scaled, clipped,
// rounded to nearest (as lrint), a NaN turned into silence; eight at a time
// with SSE2 where the machine has it. `dst` may be `src` itself: each write
// lands on bytes already read.
std::int16_t FloatTo16(float v) {
    v *= 32768.0f;
    if (!(v == v)) return 0;
    return static_cast<std::int16_t>(std::lrint(std::clamp(v, -32768.0f, 32767.0f)));
}

#if KR_KERNELS_X86
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw"))), apply_to = function)
#endif
// Thirty-two at a time: the same steps on wider lanes.
std::size_t ConvertFloat32Avx512(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
    const __m512 scale = _mm512_set1_ps(32768.0f), low = _mm512_set1_ps(-32768.0f), high = _mm512_set1_ps(32767.0f);
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m512 a = _mm512_mul_ps(_mm512_loadu_ps(src + 4 * i), scale);
        __m512 b = _mm512_mul_ps(_mm512_loadu_ps(src + 4 * i + 64), scale);
        a = _mm512_min_ps(_mm512_max_ps(_mm512_maskz_mov_ps(_mm512_cmp_ps_mask(a, a, _CMP_ORD_Q), a), low), high);
        b = _mm512_min_ps(_mm512_max_ps(_mm512_maskz_mov_ps(_mm512_cmp_ps_mask(b, b, _CMP_ORD_Q), b), low), high);
        // packs works within 128-bit lanes; the permute puts them back in order.
        const __m512i packed = _mm512_packs_epi32(_mm512_cvtps_epi32(a), _mm512_cvtps_epi32(b));
        _mm512_storeu_si512(dst + 2 * i,
                            _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packed));
    }
    _mm256_zeroupper();
    return i;
}
#if defined(__clang__)
#pragma clang attribute pop
#endif
#pragma GCC pop_options
#endif  // KR_KERNELS_X86

void ConvertFloat32(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
    std::size_t i = 0;
#if KR_KERNELS_X86
    if (plat::kernels::ActiveKernelLevel() == plat::kernels::KernelLevel::kAvx512) i = ConvertFloat32Avx512(src, count, dst);
#endif
#if KR_KERNELS_X86 && defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
    // The portable level takes the plain loop alone.
    const bool vectors = plat::kernels::ActiveKernelLevel() != plat::kernels::KernelLevel::kPortable;
    for (; vectors && i + 8 <= count; i += 8) {
        __m128 a = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(src + 4 * i)), scale);
        __m128 b = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(src + 4 * i + 16)), scale);
        a = _mm_min_ps(_mm_max_ps(_mm_and_ps(a, _mm_cmpord_ps(a, a)), low), high);
        b = _mm_min_ps(_mm_max_ps(_mm_and_ps(b, _mm_cmpord_ps(b, b)), low), high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
    }
#endif
    for (; i < count; ++i) {
        float v;
        std::memcpy(&v, src + 4 * i, 4);
        const std::int16_t s = FloatTo16(v);
        std::memcpy(dst + 2 * i, &s, 2);  // little-endian, as the voices are
    }
}

// Converts float samples of one or two channels in their own buffer, which
// then becomes the sound's: no second buffer to allocate and clear.
void ConvertFloat32InPlace(const WaveFormat& f, std::vector<std::uint8_t>& samples, PlayableSound& out) {
    const std::size_t count = samples.size() / f.blockAlign * f.channels;
    ConvertFloat32(samples.data(), count, samples.data());
    samples.resize(2 * count);
    out.format = plat::audio::PcmFormat{static_cast<int>(f.rate), f.channels, 16};
    out.bytes = std::move(samples);
}

void Convert16(const WaveFormat& f, const Layout& layout, const std::vector<std::uint8_t>& samples,
               PlayableSound& out) {
    const int inChannels = f.channels;
    const int outChannels = std::min(inChannels, 2);
    const int bytes = f.bits / 8;
    const std::size_t frames = samples.size() / f.blockAlign;
    const auto weights = inChannels > 2 ? DownMixWeights(inChannels, layout.channelMask)
                                        : std::vector<std::pair<float, float>>{};
    out.bytes.resize(frames * outChannels * 2);
    out.format = plat::audio::PcmFormat{static_cast<int>(f.rate), outChannels, 16};
    std::uint8_t* dst = out.bytes.data();
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint8_t* frame = samples.data() + i * f.blockAlign;
        float mixed[2] = {0.0f, 0.0f};
        for (int c = 0; c < inChannels; ++c) {
            const float v = SampleValue(frame + c * bytes, layout.sample);
            if (inChannels <= 2) {
                mixed[c] = v;
            } else {
                mixed[0] += v * weights[c].first;
                mixed[1] += v * weights[c].second;
            }
        }
        for (int c = 0; c < outChannels; ++c) {
            const std::uint16_t s = static_cast<std::uint16_t>(ToSample16(mixed[c]));
            *dst++ = static_cast<std::uint8_t>(s);
            *dst++ = static_cast<std::uint8_t>(s >> 8);
        }
    }
}

}  // namespace

bool ParseWave(const std::uint8_t* image, std::size_t size, WaveData& out) {
    out = WaveData{};
    if (!image || size < 12 || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF chunk's own size may overshoot a file cut short; its inner
    // chunks still have to lie inside what is there.
    const std::size_t riffEnd = 8 + std::min<std::size_t>(U32(image + 4), size - 8);
    Chunk fmt, data;
    if (!FindChunk(image, 12, riffEnd, "fmt ", fmt) || !ReadFormatChunk(image, fmt, out.format)) {
        out = WaveData{};
        return false;
    }
    if (!FindChunk(image, 12, riffEnd, "data", data)) {
        out = WaveData{};
        return false;
    }
    out.samples.assign(image + data.body, image + data.body + data.size);
    return true;
}

bool ReadWaveFile(const std::string& path, WaveData& out) {
    out = WaveData{};
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return ParseWave(image.data(), image.size(), out);
}

std::vector<std::uint8_t> BuildWaveFile(const WaveData& wave) {
    // A plain PCM record is written in its 16-byte form.
    std::size_t formatBytes = wave.format.size();
    if (formatBytes >= kRecordBytes && U16(wave.format.data()) == kTagPcm && U16(wave.format.data() + 16) == 0)
        formatBytes = kPcmFormatBytes;
    const std::size_t dataPad = wave.samples.size() & 1;
    std::vector<std::uint8_t> v;
    v.reserve(28 + formatBytes + wave.samples.size());
    PutTag(v, "RIFF");
    PutU32(v, static_cast<std::uint32_t>(4 + 8 + formatBytes + (formatBytes & 1) + 8 + wave.samples.size() + dataPad));
    PutTag(v, "WAVE");
    PutTag(v, "fmt ");
    PutU32(v, static_cast<std::uint32_t>(formatBytes));
    v.insert(v.end(), wave.format.begin(), wave.format.begin() + static_cast<std::ptrdiff_t>(formatBytes));
    if (formatBytes & 1) v.push_back(0);
    PutTag(v, "data");
    PutU32(v, static_cast<std::uint32_t>(wave.samples.size()));
    v.insert(v.end(), wave.samples.begin(), wave.samples.end());
    if (dataPad) v.push_back(0);
    return v;
}

bool ReadFormat(const std::vector<std::uint8_t>& record, WaveFormat& out) {
    if (record.size() < kPcmFormatBytes) return false;
    const std::uint8_t* p = record.data();
    out = WaveFormat{U16(p), U16(p + 2), U32(p + 4), U32(p + 8), U16(p + 12), U16(p + 14), 0};
    if (record.size() >= kRecordBytes) out.extraSize = U16(p + 16);
    // The extra bytes the record actually holds.
    out.extraSize = static_cast<std::uint16_t>(
        std::min<std::size_t>(out.extraSize, record.size() - std::min(record.size(), kRecordBytes)));
    return true;
}

std::uint32_t DirectBytesPerSecond(const std::vector<std::uint8_t>& record) {
    WaveFormat f;
    if (!ReadFormat(record, f) || f.tag != kTagPcm) return 0;
    if ((f.bits != 8 && f.bits != 16) || f.channels < 1 || f.channels > 2 || f.rate == 0) return 0;
    if (f.blockAlign != f.channels * (f.bits / 8)) return 0;
    return f.rate * f.blockAlign;
}

bool MakePlayable(const std::vector<std::uint8_t>& record, std::vector<std::uint8_t>& samples, PlayableSound& out) {
    WaveFormat f;
    Layout layout;
    if (!ReadFormat(record, f) || !DescribeLayout(record, f, layout)) return false;
    const bool direct = (layout.sample == Sample::Unsigned8 || layout.sample == Sample::Signed16) && f.channels <= 2;
    if (direct) {
        out.format = plat::audio::PcmFormat{static_cast<int>(f.rate), f.channels, f.bits};
        out.bytes = std::move(samples);
        return true;
    }
    if (layout.sample == Sample::Float32 && f.channels <= 2)
        ConvertFloat32InPlace(f, samples, out);
    else
        Convert16(f, layout, samples, out);
    return true;
}

std::string UpperCase(const char* name) { return plat::UpperCase(name ? name : ""); }

}  // namespace krSound::internal
