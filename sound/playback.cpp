// Playback controls: play, loop, stop and pause sound objects buffer by
// buffer, the volume, pan and rate families (stored in the slot's records
// first, so that a rebuild restores them), and the echo, which replays a
// sound on its other buffers once per interval, quieter each time, with an
// optional pan sweep. A channel names a buffer; -2 the next one in rotation;
// other negative values every buffer. Nothing happens while sound is off.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/audio/mixer.h"
#include "sound/krSound.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

namespace {

namespace audio = plat::audio;

constexpr int kRotation = -2;
constexpr int kMinRate = 100, kMaxRate = 100000;
constexpr int kLeft = -10000, kRight = 10000;
constexpr int kSilent = -10000, kFull = 0;
constexpr int kUnit = 100;  // steps are whole decibels, hundredths of the pan range, 100 Hz
constexpr float kSweepLimit = 30.0f;
constexpr int kLargestStep = 1000000;  // keeps step x 100 inside 64 bits comfortably

// The slot's record while sound is on and the number is a slot, else null.
krSoundObject* Object(int slot) {
    if (!krSoundDevice.ready || slot < 0 || slot >= krSoundObjectCount) return nullptr;
    return &krSoundObjects[slot];
}

bool IsStream(const krSoundObject& o) { return o.stream.dataSize > 0; }

// Calls `apply(j)` for each buffer the channel chooses. With
// `rotationIsAll`, -2 chooses every buffer like the other negative values.
template <typename F>
void ForChannel(const krSoundObject& o, int channel, bool rotationIsAll, F apply) {
    if (channel >= 0) {
        if (channel < o.mixCount) apply(channel);
    } else if (channel == kRotation && !rotationIsAll) {
        if (o.nextBuffer >= 0 && o.nextBuffer < o.mixCount) apply(o.nextBuffer);
    } else {
        for (int j = 0; j < o.mixCount && j < krSoundMaxMix; ++j) apply(j);
    }
}

int Clamp(std::int64_t value, int low, int high) {
    return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

void ApplyFrequency(krSoundObject& o, int j, std::int64_t hz) {
    o.frequency[j] = Clamp(hz, kMinRate, kMaxRate);
    audio::SetFrequency(o.buffers[j], o.frequency[j]);
}

void ApplyPan(krSoundObject& o, int j, std::int64_t pan) {
    o.pan[j] = Clamp(pan, kLeft, kRight);
    audio::SetPan(o.buffers[j], o.pan[j]);
}

void ApplyVolume(krSoundObject& o, int j, std::int64_t volume) {
    o.volume[j] = Clamp(volume, kSilent, kFull);
    audio::SetVolume(o.buffers[j], o.volume[j]);
}

// Restarts one buffer from position 0; a stream's ring always loops.
void StartBuffer(const krSoundObject& o, int j, bool loop) {
    const int voice = o.buffers[j];
    audio::Stop(voice);
    audio::SetPosition(voice, 0);
    audio::Play(voice, loop || IsStream(o));
}

void StartEcho(int slot, krSoundObject& o, bool loop) {
    krSound::ResetFrequency(slot, -1);
    krSound::ResetPan(slot, -1);
    krSound::ResetVolume(slot, -1);
    o.echoState = 1;
    o.echoTimer = 0.0f;
    o.echoLoop = loop ? 1 : 0;
    o.sweepPosition = static_cast<float>(o.pan[o.nextBuffer]) / kUnit;
    o.sweepDirection = plat::Random() % 2 == 1 ? 1 : -1;
}

void StartPlay(int slot, int channel, bool loop) {
    krSoundObject* o = Object(slot);
    if (!o) return;
    o->loop = loop ? 1 : 0;
    if (IsStream(*o) && !krSound::ResetStream(slot)) return;  // no stale ring
    if (channel >= 0) {
        if (channel < o->mixCount) StartBuffer(*o, channel, loop);
        return;
    }
    if (o->nextBuffer < 0 || o->nextBuffer >= o->mixCount) o->nextBuffer = 0;
    if (channel == kRotation && o->echoState != -1) StartEcho(slot, *o, loop);
    StartBuffer(*o, o->nextBuffer, loop);
    o->nextBuffer = (o->nextBuffer + 1) % o->mixCount;
}

// The echo's timer step: true when the next echo is due now.
bool EchoDue(krSoundObject* o, int interval, int repeats) {
    if (!o || o->echoState < 1 || repeats < 1) return false;
    o->echoTimer += krSystemState.frameTime * 1000.0f;
    if (o->echoTimer < static_cast<float>(interval)) return false;
    o->echoTimer = 0.0f;
    return true;
}

// Plays the next echo on the next buffer, decay decibels quieter per echo.
void PlayEcho(int slot, krSoundObject& o, int repeats, int decay) {
    krSound::SetVolume(slot, Clamp(-static_cast<std::int64_t>(o.echoState) * decay, -kLargestStep, kLargestStep), kRotation);
    if (o.echoLoop == 1) krSound::PlayLoop(slot, -3);
    else krSound::Play(slot, -3);
    o.echoState += 1;
    if (o.echoState > repeats) o.echoState = 0;
}

}  // namespace

namespace krSound {

void Play(int slot, int channel) { StartPlay(slot, channel, false); }

void PlayLoop(int slot, int channel) { StartPlay(slot, channel, true); }

void Stop(int slot, int channel) {
    krSoundObject* o = Object(slot);
    if (!o) return;
    ForChannel(*o, channel, true, [&](int j) {
        audio::Stop(o->buffers[j]);
        audio::SetPosition(o->buffers[j], 0);
    });
    if (channel < 0 && o->echoState != -1) o->echoState = 0;
}

void Pause(int slot, int channel) {
    krSoundObject* o = Object(slot);
    if (!o) return;
    ForChannel(*o, channel, true, [&](int j) {
        const int voice = o->buffers[j];
        if (audio::IsPlaying(voice)) {
            o->pausedPosition[j] = audio::GetPosition(voice);
            audio::Stop(voice);
        } else {
            audio::SetPosition(voice, o->pausedPosition[j]);
            audio::Play(voice, o->loop == 1 || IsStream(*o));
        }
    });
}

void AddFrequency(int slot, int step, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false,
                   [&](int j) { ApplyFrequency(*o, j, o->frequency[j] + static_cast<std::int64_t>(step) * kUnit); });
}

void SetFrequency(int slot, int value, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false,
                   [&](int j) { ApplyFrequency(*o, j, o->baseFrequency + static_cast<std::int64_t>(value) * kUnit); });
}

void ResetFrequency(int slot, int channel) {
    if (krSoundObject* o = Object(slot)) ForChannel(*o, channel, false, [&](int j) { ApplyFrequency(*o, j, o->baseFrequency); });
}

void AddPan(int slot, int step, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false, [&](int j) { ApplyPan(*o, j, o->pan[j] + static_cast<std::int64_t>(step) * kUnit); });
}

void SetPan(int slot, int value, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false, [&](int j) { ApplyPan(*o, j, static_cast<std::int64_t>(value) * kUnit); });
}

void PanLeft(int slot, int channel) {
    if (krSoundObject* o = Object(slot)) ForChannel(*o, channel, false, [&](int j) { ApplyPan(*o, j, kLeft); });
}

void PanRight(int slot, int channel) {
    if (krSoundObject* o = Object(slot)) ForChannel(*o, channel, false, [&](int j) { ApplyPan(*o, j, kRight); });
}

void ResetPan(int slot, int channel) {
    if (krSoundObject* o = Object(slot)) ForChannel(*o, channel, false, [&](int j) { ApplyPan(*o, j, 0); });
}

void AddVolume(int slot, int step, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false,
                   [&](int j) { ApplyVolume(*o, j, o->volume[j] + static_cast<std::int64_t>(step) * kUnit); });
}

void SetVolume(int slot, int value, int channel) {
    if (krSoundObject* o = Object(slot))
        ForChannel(*o, channel, false, [&](int j) { ApplyVolume(*o, j, static_cast<std::int64_t>(value) * kUnit); });
}

void ResetVolume(int slot, int channel) {
    if (krSoundObject* o = Object(slot)) ForChannel(*o, channel, false, [&](int j) { ApplyVolume(*o, j, kFull); });
}

void Echo(int slot, int interval, int repeats, int decay) {
    krSoundObject* o = Object(slot);
    if (EchoDue(o, interval, repeats)) PlayEcho(slot, *o, repeats, decay);
}

// The sweep moves only when an echo is due, by the frame's share of
// 100 x sweep per second, and that echo takes the pan of where it stands.
void EchoPan(int slot, int interval, int repeats, int decay, int sweep) {
    krSoundObject* o = Object(slot);
    if (!EchoDue(o, interval, repeats)) return;
    o->sweepPosition += static_cast<float>(o->sweepDirection) * krSystemState.frameTime * kUnit * static_cast<float>(sweep);
    if (o->sweepPosition < -kSweepLimit) {
        o->sweepPosition = -kSweepLimit;
        o->sweepDirection = -o->sweepDirection;
    } else if (o->sweepPosition > kSweepLimit) {
        o->sweepPosition = kSweepLimit;
        o->sweepDirection = -o->sweepDirection;
    }
    SetPan(slot, static_cast<int>(o->sweepPosition), kRotation);
    PlayEcho(slot, *o, repeats, decay);
}

}  // namespace krSound
