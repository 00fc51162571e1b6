// What the script driver writes from a run: the back screen as a BMP and
// the sound pulled frame by frame into a WAV file. (The distinct presented
// frames, KR_PRESENT_DUMP, are dumped by the platform for both edges.)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/wav_writer.h"
#include "platform/pixels/surface.h"

namespace krScriptDriver {

// A surface as XRGB8888 pixels, row by row.
std::vector<std::uint32_t> SurfacePixels(const plat::Surface& surface);
// Writes the back screen as a 24-bit BMP; false when there is none or the
// file cannot be written.
bool WriteBackScreen(const std::string& path);
// True when `path` can be written: it is created (and removed again when it
// did not exist before), so that a wrong output name is found before a run.
bool CanWrite(const std::string& path);

// After every game frame it pulls one frame's worth (1/60 s) of the mix, as
// the audio device would, and on request writes what it heard.
class FrameAudio {
public:
    // path may be empty: the mix is still pulled, so sounds advance as they
    // would in a window, but nothing is written. Call once the mixer's
    // output format is set (after the game's start-up).
    bool Open(const std::string& path);
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

}  // namespace krScriptDriver
