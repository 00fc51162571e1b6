// Speed of loading sounds against SDL2 in the same run: reading a WAV image
// (ours: ParseWave; the peer: SDL_LoadWAV_RW from the same bytes), and
// turning 32-bit float samples into 16-bit PCM (ours: MakePlayable; the peer:
// SDL_ConvertAudio with the same formats). Both read one second of 44100 Hz
// stereo audio; compare the times per iteration for the ratios.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "sound/sound_internal.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = kRate;

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(tag[i]));
}

// One second of stereo float samples (a quiet sine).
std::vector<std::uint8_t> FloatSamples() {
    std::vector<std::uint8_t> b;
    for (int i = 0; i < kFrames; ++i) {
        const float v = 0.5f * std::sin(static_cast<float>(i) * 0.05f);
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(b, bits);
        Put32(b, bits);
    }
    return b;
}

std::vector<std::uint8_t> FloatRecord() {
    std::vector<std::uint8_t> r;
    Put16(r, 3);
    Put16(r, 2);
    Put32(r, kRate);
    Put32(r, kRate * 8);
    Put16(r, 8);
    Put16(r, 32);
    Put16(r, 0);
    return r;
}

std::vector<std::uint8_t> WaveImage(const std::vector<std::uint8_t>& record, const std::vector<std::uint8_t>& samples) {
    std::vector<std::uint8_t> b;
    PutTag(b, "RIFF");
    Put32(b, static_cast<std::uint32_t>(4 + 8 + 16 + 8 + samples.size()));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, 16);
    b.insert(b.end(), record.begin(), record.begin() + 16);
    PutTag(b, "data");
    Put32(b, static_cast<std::uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

void BM_ReadWave_Ours(benchmark::State& state) {
    const auto image = WaveImage(FloatRecord(), FloatSamples());
    for (auto _ : state) {
        krSound::internal::WaveData wave;
        benchmark::DoNotOptimize(krSound::internal::ParseWave(image.data(), image.size(), wave));
        benchmark::DoNotOptimize(wave.samples.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ReadWave_Ours);

void BM_ReadWave_SdlLoadWav(benchmark::State& state) {
    const auto image = WaveImage(FloatRecord(), FloatSamples());
    for (auto _ : state) {
        SDL_AudioSpec format;
        Uint8* buffer = nullptr;
        Uint32 length = 0;
        SDL_RWops* rw = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
        if (!SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length)) state.SkipWithError(SDL_GetError());
        benchmark::DoNotOptimize(buffer);
        SDL_FreeWAV(buffer);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ReadWave_SdlLoadWav);

void BM_FloatTo16_Ours(benchmark::State& state) {
    const auto record = FloatRecord();
    const auto samples = FloatSamples();
    for (auto _ : state) {
        std::vector<std::uint8_t> copy = samples;  // the conversion may take its input
        krSound::internal::PlayableSound sound;
        benchmark::DoNotOptimize(krSound::internal::MakePlayable(record, copy, sound));
        benchmark::DoNotOptimize(sound.bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FloatTo16_Ours);

void BM_FloatTo16_SdlConvertAudio(benchmark::State& state) {
    const auto samples = FloatSamples();
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, AUDIO_F32LSB, 2, kRate, AUDIO_S16LSB, 2, kRate) < 0) state.SkipWithError(SDL_GetError());
    for (auto _ : state) {
        std::vector<std::uint8_t> buffer(samples.size() * static_cast<std::size_t>(cvt.len_mult));
        std::memcpy(buffer.data(), samples.data(), samples.size());
        cvt.buf = buffer.data();
        cvt.len = static_cast<int>(samples.size());
        SDL_ConvertAudio(&cvt);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FloatTo16_SdlConvertAudio);

}  // namespace
