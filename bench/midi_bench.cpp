// What the music costs: FluidSynth rendering a 16-channel General MIDI
// piece (15 instruments and the drums, chords on every beat) through the
// player into the mixer at 44100 Hz stereo. "core_pct" is the share of one
// core, in percent, that one second of music takes; the mixer's own figure
// for 32 sound voices is in audio_bench.cpp.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "platform/audio/midi_player.h"
#include "platform/audio/mixer.h"
#include "tests/midi_builder.h"

namespace {

namespace audio = plat::audio;
using kr_test::Events;

constexpr int kFramesPerPull = 1024;
constexpr int kOutRate = 44100;

// 16 channels, each striking a two-note chord every beat (division 500: a
// tick is a millisecond) for twenty seconds.
kr_test::Bytes SixteenChannelPiece() {
    kr_test::Bytes file = kr_test::Header(1, 16, 500);
    for (int channel = 0; channel < 16; ++channel) {
        const auto status = static_cast<std::uint8_t>(channel);
        Events t;
        if (channel != 9) t.At(0, {static_cast<std::uint8_t>(0xC0 | status), static_cast<std::uint8_t>(channel * 8)});
        for (int beat = 0; beat < 40; ++beat) {
            const auto low = static_cast<std::uint8_t>(channel == 9 ? 35 + beat % 12 : 40 + channel * 2 + beat % 5);
            const auto high = static_cast<std::uint8_t>(low + (channel == 9 ? 7 : 4));
            t.At(0, {static_cast<std::uint8_t>(0x90 | status), low, 90})
                .At(0, {high, 80})
                .At(450, {low, 0})
                .At(0, {high, 0})
                .At(50, {static_cast<std::uint8_t>(0xB0 | status), 1, static_cast<std::uint8_t>(beat * 3)});
        }
        t.End();
        kr_test::AddTrack(file, t);
    }
    return file;
}

void BM_MidiSixteenChannels(benchmark::State& state) {
    audio::ResetMixer();
    const std::string path = "/tmp/kr_midi_bench_" + std::to_string(::getpid()) + ".mid";
    kr_test::WriteBytes(path, SixteenChannelPiece());
    if (!audio::MidiOpen(path)) {
        state.SkipWithError("no music: no SoundFont or no audio device");
        return;
    }
    audio::MidiPlay(0, 1);
    std::vector<std::uint8_t> out(kFramesPerPull * 4);
    timespec t0{}, t1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    for (auto _ : state) {
        audio::Mix(out.data(), kFramesPerPull);
        benchmark::DoNotOptimize(out.data());
        if (!audio::MidiIsPlaying()) {
            state.PauseTiming();
            audio::MidiSeekToStart();
            audio::MidiPlay(0, 1);
            state.ResumeTiming();
        }
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    const double audioSeconds = static_cast<double>(state.iterations()) * kFramesPerPull / kOutRate;
    const double cpuSeconds = static_cast<double>(t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) * 1e-9;
    state.counters["core_pct"] = 100.0 * cpuSeconds / audioSeconds;  // includes the rare rewinds
    audio::MidiClose();
    std::remove(path.c_str());
    audio::ResetMixer();
}
BENCHMARK(BM_MidiSixteenChannels)->MinTime(2.0);

}  // namespace
