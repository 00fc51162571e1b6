// The SDL edge's audio output: SDL2's default audio device, whose callback
// pulls the platform mixer.
//
// Devices come and go: when SDL reports ours removed, the program goes on
// silently (SDL keeps calling a disconnected device's callback at its rate,
// so voices, streams and music keep their time), and the default device is
// opened again, in the same format, when an output device is added.
//
// KR_AUDIO_DUMP=<file.wav> records everything the device played during the
// whole run: reopening in the same format appends to the file; a change of
// format starts a numbered one beside it (<file>-2.wav, <file>-3.wav, ...).
#pragma once
#include <SDL2/SDL.h>

#include <atomic>
#include <string>

#include "platform/audio/mixer.h"
#include "platform/audio/wav_writer.h"

namespace plat::sdl {

class AudioDevice {
public:
    AudioDevice() = default;
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;
    // Stops the device thread before the dump file goes away.
    ~AudioDevice();

    // False (with one line on standard error, once per process) when SDL has
    // no audio device or refuses the format. While our device is lost, an
    // open that finds no device waits for one to be added and answers true.
    bool Open(const audio::PcmFormat& format);
    void Close();
    bool IsOpen() const { return device_ != 0; }

    // SDL's device events (output devices only).
    void OnDeviceRemoved(SDL_AudioDeviceID which);
    void OnDeviceAdded();
    bool IsLost() const { return lost_.load(); }

private:
    static void Pull(void* self, Uint8* stream, int length);
    bool OpenDevice(const audio::PcmFormat& format, bool quiet);
    void CloseDevice();
    void UseDump(const audio::PcmFormat& format);

    SDL_AudioDeviceID device_ = 0;
    int blockAlign_ = 4;
    audio::PcmFormat format_;
    bool wanted_ = false;             // opened and not closed since
    std::atomic<bool> lost_{false};   // read by the device thread
    audio::WavWriter dump_;
    std::string dumpPath_;            // KR_AUDIO_DUMP as last seen
    int dumpFiles_ = 0;               // files of that dump so far
    std::string dumpFile_;            // the one being written
};

}  // namespace plat::sdl
