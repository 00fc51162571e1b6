// SDL2's default audio device pulling the platform mixer. SDL converts from
// the mixer's format if the hardware wants another, so the mixer always
// produces exactly the format it was asked for.
#include "platform/sdl/audio_device.h"

#include <cstdio>
#include <cstdlib>

namespace plat::sdl {
namespace {

constexpr Uint16 kCallbackFrames = 1024;

void SayNoSound(const char* why) {
    static bool said = false;
    if (said) return;
    said = true;
    std::fprintf(stderr, "pokotanba: no sound (%s)\n", why && *why ? why : "no audio device");
}

}  // namespace

bool AudioDevice::Open(const audio::PcmFormat& format) {
    Close();
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SayNoSound(SDL_GetError());
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = format.rate;
    want.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = kCallbackFrames;
    want.callback = &AudioDevice::Pull;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        SayNoSound(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    blockAlign_ = format.BlockAlign();
    OpenDump(format);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioDevice::Close() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    device_ = 0;
    dump_.Close();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::OpenDump(const audio::PcmFormat& format) {
    const char* path = std::getenv("KR_AUDIO_DUMP");
    if (!path || !*path) return;
    if (!dump_.Open(path, format)) std::fprintf(stderr, "pokotanba: cannot write the sound dump %s\n", path);
}

void AudioDevice::Pull(void* self, Uint8* stream, int length) {
    auto* device = static_cast<AudioDevice*>(self);
    audio::Mix(stream, length / device->blockAlign_);
    device->dump_.Append(stream, static_cast<std::size_t>(length));
}

}  // namespace plat::sdl
