// The headless showcase's ears: after every frame it pulls one frame's worth
// (1/60 s) of the mix, as the audio device would, and on request writes what
// it heard into a WAV file in the mixer's output format.
#pragma once
#include <string>
#include <vector>

#include "platform/audio/wav_writer.h"

class HeadlessAudio {
public:
    // path may be empty: the mix is still pulled, so sounds advance as they
    // would in a window, but nothing is written.
    bool Open(const std::string& path);
    // Pulls the audio of one frame of 1/60 s.
    void Frame();
    // Finishes the file; false when it could not be written.
    bool Close();

private:
    plat::audio::WavWriter writer_;
    std::vector<unsigned char> buffer_;
    long framesDone_ = 0;
    bool wanted_ = false;
    bool failed_ = false;
};
