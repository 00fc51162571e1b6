// Writes the showcase's sound effects into <run folder>/showcase/sound/ as
// 16-bit PCM WAV files: a bell, a blip, a rising whistle and, long enough to
// be streamed, an eight-second loop of plucked chords. All synthesised from
// fixed numbers, so every build makes the same files.
//
//   showcase_sound <run folder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os/atomic_file.h"
#include "tools/operand_args.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 22050;

struct Clip {
    int channels = 1;
    std::vector<double> samples;  // interleaved, nominal -1..1
};

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool WriteWav(const std::string& path, const Clip& clip) {
    std::vector<std::uint8_t> data;
    for (double s : clip.samples) {
        const long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767);
        PutLe(data, static_cast<std::uint32_t>(static_cast<std::int16_t>(v)), 2);
    }
    std::vector<std::uint8_t> file;
    const auto tag = [&](const char* t) { file.insert(file.end(), t, t + 4); };
    tag("RIFF");
    PutLe(file, static_cast<std::uint32_t>(36 + data.size()), 4);
    tag("WAVE");
    tag("fmt ");
    PutLe(file, 16, 4);
    PutLe(file, 1, 2);
    PutLe(file, static_cast<std::uint32_t>(clip.channels), 2);
    PutLe(file, kRate, 4);
    PutLe(file, static_cast<std::uint32_t>(kRate * 2 * clip.channels), 4);
    PutLe(file, static_cast<std::uint32_t>(2 * clip.channels), 2);
    PutLe(file, 16, 2);
    tag("data");
    PutLe(file, static_cast<std::uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    return plat::WriteFileAtomically(path, file.data(), file.size());
}

// A struck bell: a few inharmonic partials dying away.
Clip Bell() {
    Clip c;
    const int n = kRate * 9 / 10;
    const double partials[4][3] = {{660, 1.0, 3.0}, {1320 * 1.003, 0.5, 5.0}, {1980 * 0.997, 0.3, 7.0}, {2640 * 1.41, 0.2, 9.0}};
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double s = 0;
        for (const auto& p : partials) s += p[1] * std::exp(-p[2] * t) * std::sin(2 * kPi * p[0] * t);
        c.samples.push_back(0.4 * s * std::min(1.0, t * 400));
    }
    return c;
}

// A short square blip that drops an octave.
Clip Blip() {
    Clip c;
    const int n = kRate / 8;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        phase += (880 - 440 * t) / kRate;
        const double square = std::fmod(phase, 1.0) < 0.5 ? 1 : -1;
        c.samples.push_back(0.25 * square * (1 - t) * std::min(1.0, i / 40.0));
    }
    return c;
}

// A whistle rising from 400 to 1200 Hz with a little vibrato.
Clip Whistle() {
    Clip c;
    const int n = kRate * 6 / 10;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        phase += (400 + 800 * t * t + 12 * std::sin(2 * kPi * 6 * i / kRate)) / kRate;
        const double env = std::sin(kPi * t);
        c.samples.push_back(0.35 * env * std::sin(2 * kPi * phase));
    }
    return c;
}

// Eight seconds of plucked chords in stereo (the stream): C, A minor, F, G,
// two seconds each, arpeggiated left to right.
Clip Chords() {
    Clip c;
    c.channels = 2;
    const double chords[4][3] = {{261.63, 329.63, 392.00}, {220.00, 261.63, 329.63}, {174.61, 220.00, 261.63},
                                 {196.00, 246.94, 293.66}};
    const int n = kRate * 8;
    c.samples.assign(static_cast<std::size_t>(n) * 2, 0.0);
    for (int bar = 0; bar < 4; ++bar)
        for (int step = 0; step < 8; ++step) {
            const double f = chords[bar][step % 3] * (step >= 6 ? 2 : 1);
            const double pan = (step % 3) / 2.0;
            const int start = bar * 2 * kRate + step * kRate / 4;
            for (int i = 0; i < kRate && start + i < n; ++i) {
                const double t = static_cast<double>(i) / kRate;
                const double s = 0.22 * std::exp(-4 * t) * (std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t));
                c.samples[2 * (start + i)] += s * (1 - 0.6 * pan);
                c.samples[2 * (start + i) + 1] += s * (0.4 + 0.6 * pan);
            }
        }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    std::string runFolder;
    const int status = ReadOneOperand("showcase_sound",
                                      "usage: showcase_sound <run folder>\n\n"
                                      "Writes the showcase's sound effects as WAV files into\n"
                                      "<run folder>/showcase/sound/ (the folder must exist); the same bytes on\n"
                                      "every run.\n",
                                      "run folder", argc, argv, runFolder);
    if (status >= 0) return status;
    const std::string folder = runFolder + "/showcase/sound/";
    struct Named {
        const char* name;
        Clip clip;
    };
    const Named all[] = {{"bell.wav", Bell()}, {"blip.wav", Blip()}, {"whistle.wav", Whistle()}, {"chords.wav", Chords()}};
    bool ok = true;
    for (const Named& n : all) {
        if (WriteWav(folder + n.name, n.clip)) continue;
        std::fprintf(stderr, "showcase_sound: cannot write %s%s\n", folder.c_str(), n.name);
        ok = false;
    }
    return ok ? 0 : 1;
}
