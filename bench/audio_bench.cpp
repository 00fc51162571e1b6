// Speed of the software mixer against SDL2's own mixing routine in the same
// run. Ours: 32 looping voices of 22050 Hz 16-bit stereo, each with its own
// volume, pan and a changed rate, resampled into 44100 Hz stereo 16-bit.
// The peer: SDL_MixAudioFormat adding 32 streams that are already 44100 Hz
// stereo, each with a volume (the work a per-channel mixer leaves to it).
//
// "core_pct" is the share of one core, in percent, that one second of audio
// costs; compare the time per iteration for the ratio (both mix 1024 frames).
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace audio = plat::audio;

constexpr int kVoices = 32;
constexpr int kOutRate = 44100;
constexpr int kFramesPerPull = 1024;
constexpr int kSourceSeconds = 2;

std::vector<std::int16_t> Noise(std::size_t samples, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-12000, 12000);
    std::vector<std::int16_t> out(samples);
    for (auto& s : out) s = static_cast<std::int16_t>(dist(rng));
    return out;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// The thread's processor time since `start` over the audio produced.
void ReportAudioShare(benchmark::State& state, double start) {
    const double audioSeconds = static_cast<double>(state.iterations()) * kFramesPerPull / kOutRate;
    state.counters["core_pct"] = 100.0 * (ThreadSeconds() - start) / audioSeconds;
    state.SetItemsProcessed(state.iterations() * kFramesPerPull);
}

void MixVoices22kTo44k(benchmark::State& state) {
    audio::ResetMixer();
    const audio::PcmFormat format{22050, 2, 16};
    const std::uint32_t bytes = static_cast<std::uint32_t>(format.BytesPerSecond() * kSourceSeconds);
    for (int v = 0; v < kVoices; ++v) {
        const int voice = audio::CreateVoice(format, bytes);
        void* data = nullptr;
        std::uint32_t size = 0;
        audio::Lock(voice, 0, bytes, &data, &size, nullptr, nullptr);
        std::vector<std::int16_t> noise = Noise(bytes / 2, static_cast<unsigned>(v));
        std::memcpy(data, noise.data(), bytes);
        audio::Unlock(voice);
        audio::SetVolume(voice, -100 * v);
        audio::SetPan(voice, (v % 2 ? 1 : -1) * 300 * v);
        audio::SetFrequency(voice, 22050 + 97 * (v - kVoices / 2));
        audio::Play(voice, true);
    }
    std::vector<std::uint8_t> out(kFramesPerPull * 4);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        audio::Mix(out.data(), kFramesPerPull);
        benchmark::DoNotOptimize(out.data());
    }
    ReportAudioShare(state, start);
    audio::ResetMixer();
}

// At the best level the processor has (named in the label), and at the
// lower levels for comparison.
void BM_MixerVoices22kTo44k(benchmark::State& state) {
    state.SetLabel(plat::kernels::ActiveKernelName());
    MixVoices22kTo44k(state);
}
BENCHMARK(BM_MixerVoices22kTo44k);

void MixAtLevel(benchmark::State& state, plat::kernels::KernelLevel level) {
    const plat::kernels::KernelLevel previous = plat::kernels::ActiveKernelLevel();
    if (!plat::kernels::UseKernelLevel(level)) return state.SkipWithError("the processor lacks this level");
    MixVoices22kTo44k(state);
    plat::kernels::UseKernelLevel(previous);
}
void BM_MixerVoices22kTo44k_Avx2(benchmark::State& state) { MixAtLevel(state, plat::kernels::KernelLevel::kAvx2); }
void BM_MixerVoices22kTo44k_Sse2(benchmark::State& state) { MixAtLevel(state, plat::kernels::KernelLevel::kSse2); }
BENCHMARK(BM_MixerVoices22kTo44k_Avx2);
BENCHMARK(BM_MixerVoices22kTo44k_Sse2);

void BM_SdlMixAudioFormat44k(benchmark::State& state) {
    const std::size_t samples = static_cast<std::size_t>(kOutRate) * 2 * kSourceSeconds;
    std::vector<std::vector<std::int16_t>> streams;
    for (int v = 0; v < kVoices; ++v) streams.push_back(Noise(samples, static_cast<unsigned>(v)));
    std::vector<std::int16_t> out(kFramesPerPull * 2);
    const Uint32 pullBytes = kFramesPerPull * 4;
    std::size_t at = 0;  // in samples
    const double start = ThreadSeconds();
    for (auto _ : state) {
        std::memset(out.data(), 0, pullBytes);
        for (int v = 0; v < kVoices; ++v) {
            const int volume = SDL_MIX_MAXVOLUME - v;
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                               reinterpret_cast<const Uint8*>(streams[v].data() + at), AUDIO_S16LSB, pullBytes,
                               volume);
        }
        at += kFramesPerPull * 2;
        if (at + kFramesPerPull * 2 > samples) at = 0;
        benchmark::DoNotOptimize(out.data());
    }
    ReportAudioShare(state, start);
}
BENCHMARK(BM_SdlMixAudioFormat44k);

}  // namespace
