// The software audio mixer: voices that behave as sound buffers (PCM bytes in
// the buffer's own format, a play cursor in bytes, volume, pan, rate, loop),
// plus "sources" that render straight into the mix (the MIDI synthesiser).
//
// One mixer serves the whole process. Every operation takes the mixer's one
// lock, so the audio device's thread (SDL edge) may pull the mix while the
// engine's thread changes voices. The headless edge pulls on demand, so tests
// hear exactly what a player would.
//
// Voice handles are small positive numbers; 0 means "no voice". Operations on
// an unknown or released handle do nothing and answer false / 0.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace plat::audio {

// PCM layout of a voice or of the output: 8-bit samples are unsigned, 16-bit
// samples signed little-endian; channels are interleaved (1 or 2).
struct PcmFormat {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    int BlockAlign() const { return channels * bits / 8; }
    int BytesPerSecond() const { return rate * BlockAlign(); }
};

// ---- the output device (the active backend's) ----

// Opens the default output device. False when there is none (or the backend
// refuses); the mixer then still works for rendering on demand, but nothing
// is heard. Opening twice is harmless.
bool OpenOutput();
void CloseOutput();
bool OutputOpen();
// The primary format: the rate, channels and bits the mix is produced in.
// Changing it re-opens the device's stream at the new format where the device
// allows it; the format actually in use is what OutputFormat answers.
bool SetOutputFormat(const PcmFormat& format);
PcmFormat OutputFormat();

// ---- voices ----

// A voice of `bytes` bytes of silence in `format` (8/16-bit, 1/2 channels,
// rate 100..100000). Answers 0 for an unusable format or size.
int CreateVoice(const PcmFormat& format, std::uint32_t bytes);
// Frees the voice; a released voice is silent at once.
void ReleaseVoice(int voice);

// Write access to `bytes` bytes from `offset`, in at most two pieces when the
// range wraps past the end of the buffer (second piece null/0 otherwise).
// bytes == 0 means the whole buffer. Unlock publishes the data to the mix.
bool Lock(int voice, std::uint32_t offset, std::uint32_t bytes, void** first, std::uint32_t* firstBytes,
          void** second, std::uint32_t* secondBytes);
void Unlock(int voice);

// Starts from the current position, once (stops at the end, position at the
// end) or looping. Stop keeps the position.
bool Play(int voice, bool loop);
bool Stop(int voice);
bool SetPosition(int voice, std::uint32_t byteOffset);  // rounded down to a sample frame
std::uint32_t GetPosition(int voice);                   // play cursor in bytes, exact to the frame
bool IsPlaying(int voice);
bool IsLooping(int voice);

// Volume in hundredths of a decibel, 0 (full) .. -10000 (silent); amplitude
// 10^(volume/2000). Pan -10000 (left) .. 10000 (right): the louder side stays
// at full level, the other is attenuated by the same decibel law. Values
// outside the ranges are clamped.
bool SetVolume(int voice, int hundredthsDb);
int GetVolume(int voice);
bool SetPan(int voice, int pan);
int GetPan(int voice);
// Playback rate in Hz, 100..100000 (clamped); the voice is resampled on the fly.
bool SetFrequency(int voice, int hz);
int GetFrequency(int voice);
PcmFormat VoiceFormat(int voice);
std::uint32_t VoiceBytes(int voice);

// ---- sources ----

// A source adds `frames` interleaved stereo float frames (nominal range
// -1..1) at `rate` Hz into `mix` (it must add, not overwrite). It runs on the
// thread that pulls the mix, under the mixer's lock, so it must not call back
// into the mixer and must not post window messages (hand results to the main
// thread through atomics instead).
using Source = std::function<void(float* mix, int frames, int rate)>;
int AddSource(Source source);   // answers a handle > 0
void RemoveSource(int handle);

// ---- pulling the mix (the edges) ----

// Renders `frames` frames of the output format into `out` (bytes of
// frames * OutputFormat().BlockAlign()), advancing every playing voice and
// source. Saturates at the end. Called by the SDL audio callback and by the
// headless edge / tests.
void Mix(void* out, int frames);

// Drops every voice and source and puts the output format back to its
// default (tests).
void ResetMixer();

}  // namespace plat::audio
