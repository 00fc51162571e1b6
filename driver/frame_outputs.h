// What the script driver writes from a run: the back screen as a BMP, the
// sound pulled frame by frame into a WAV file, and the distinct presented
// frames (KR_PRESENT_DUMP), named and numbered as the window's dump names
// them so that the two can be compared file by file.
#pragma once
#include <cstdint>
#include <set>
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

// Each presented frame not seen before, as <folder>/frame_NNN.bmp in the
// order of first appearance, up to 64 frames.
class FrameDump {
public:
    explicit FrameDump(std::string folder) : folder_(std::move(folder)) {}
    void Offer(const plat::Surface& front);
    bool Failed() const { return failed_; }

private:
    static constexpr int kMaxFrames = 64;
    std::string folder_;
    std::set<std::uint64_t> seen_;
    int written_ = 0;
    bool failed_ = false;
};

}  // namespace krScriptDriver
