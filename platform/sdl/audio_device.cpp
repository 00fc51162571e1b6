// SDL2's default audio device pulling the platform mixer. SDL converts from
// the mixer's format if the hardware wants another, so the mixer always
// produces exactly the format it was asked for.
#include "platform/sdl/audio_device.h"

#include <cstdio>
#include <cstdlib>

#include "platform/audio/notices.h"
#include "platform/sdl/quiet_stderr.h"

namespace plat::sdl {
namespace {

constexpr Uint16 kCallbackFrames = 1024;

void SayNoSound(const char* why) {
    audio::SayOnce(std::string("no sound (") + (why && *why ? why : "no audio device") + ")");
}

bool SameFormat(const audio::PcmFormat& a, const audio::PcmFormat& b) {
    return a.rate == b.rate && a.channels == b.channels && a.bits == b.bits;
}

// The dump's n-th file: the name itself, then "-2", "-3", ... before the
// extension.
std::string NumberedPath(const std::string& path, int n) {
    if (n <= 1) return path;
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    return path.substr(0, cut) + "-" + std::to_string(n) + path.substr(cut);
}

}  // namespace

AudioDevice::~AudioDevice() {
    Close();
    dump_.Close();
}

bool AudioDevice::Open(const audio::PcmFormat& format) {
    Close();
    format_ = format;
    bool started = SDL_WasInit(SDL_INIT_AUDIO) != 0;
    if (!started) {
        QuietStandardError quiet;
        started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    if (!started) {
        SayNoSound(SDL_GetError());
        return false;
    }
    if (!OpenDevice(format, lost_.load())) {
        if (!lost_.load()) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        // No device now, but ours went missing: the next one added is used.
    }
    wanted_ = true;
    return true;
}

void AudioDevice::Close() {
    if (!wanted_) return;
    wanted_ = false;
    CloseDevice();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioDevice::OpenDevice(const audio::PcmFormat& format, bool quiet) {
    SDL_AudioSpec want{};
    want.freq = format.rate;
    want.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = kCallbackFrames;
    want.callback = &AudioDevice::Pull;
    want.userdata = this;
    SDL_AudioSpec have{};
    {
        QuietStandardError quiet;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (device_ == 0) {
        if (!quiet) SayNoSound(SDL_GetError());
        return false;
    }
    blockAlign_ = format.BlockAlign();
    lost_.store(false);
    UseDump(format);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioDevice::CloseDevice() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    device_ = 0;
    // Complete on disk, and open for what comes next.
    if (dump_.IsOpen() && !dump_.Failed() && !dump_.Flush())
        audio::SayOnce("the sound dump " + dumpFile_ + " stopped: it cannot be written");
}

void AudioDevice::UseDump(const audio::PcmFormat& format) {
    const char* path = std::getenv("KR_AUDIO_DUMP");
    if (!path || !*path) return;
    if (path != dumpPath_) {  // a new dump asked for: its numbering starts over
        dump_.Close();
        dumpPath_ = path;
        dumpFiles_ = 0;
    }
    if (dump_.IsOpen() && SameFormat(dump_.Format(), format)) {
        if (std::FILE* still = std::fopen(dumpFile_.c_str(), "rb")) {  // keeps appending
            std::fclose(still);
            return;
        }
        --dumpFiles_;  // removed under us: begun again under its name
    }
    dump_.Close();
    dumpFile_ = NumberedPath(path, ++dumpFiles_);
    if (!dump_.Open(dumpFile_, format)) audio::SayOnce("cannot write the sound dump " + dumpFile_);
}

void AudioDevice::OnDeviceRemoved(SDL_AudioDeviceID which) {
    if (device_ == 0 || which != device_ || lost_.load()) return;
    // The disconnected device stays open: SDL goes on pulling it at its rate
    // into nothing, which keeps the mix's time until a device returns.
    lost_.store(true);
    audio::SayOnce("the audio device was removed; sound returns with the next one");
}

void AudioDevice::OnDeviceAdded() {
    if (!wanted_ || !lost_.load()) return;
    CloseDevice();
    lost_.store(true);
    OpenDevice(format_, true);  // clears lost_ when it succeeds
}

void AudioDevice::Pull(void* self, Uint8* stream, int length) {
    auto* device = static_cast<AudioDevice*>(self);
    audio::Mix(stream, length / device->blockAlign_);
    if (device->lost_.load() || !device->dump_.IsOpen() || device->dump_.Failed()) return;
    // A dump that cannot be written stops whole, with a header that matches its data.
    if (!device->dump_.Append(stream, static_cast<std::size_t>(length)))
        audio::SayOnce("the sound dump " + device->dumpFile_ + " stopped: it cannot be written");
}

}  // namespace plat::sdl
