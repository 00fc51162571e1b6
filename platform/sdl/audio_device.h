// The SDL edge's audio output: SDL2's default audio device, whose callback
// pulls the platform mixer. KR_AUDIO_DUMP=<file.wav> also writes everything
// played into a WAV file.
#pragma once
#include <SDL2/SDL.h>

#include "platform/audio/mixer.h"
#include "platform/audio/wav_writer.h"

namespace plat::sdl {

class AudioDevice {
public:
    AudioDevice() = default;
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;
    // Stops the device thread before the dump file goes away.
    ~AudioDevice() { Close(); }

    // False (with one line on standard error, once per process) when SDL has
    // no audio device or refuses the format.
    bool Open(const audio::PcmFormat& format);
    void Close();
    bool IsOpen() const { return device_ != 0; }

private:
    static void Pull(void* self, Uint8* stream, int length);
    void OpenDump(const audio::PcmFormat& format);

    SDL_AudioDeviceID device_ = 0;
    int blockAlign_ = 4;
    audio::WavWriter dump_;
};

}  // namespace plat::sdl
