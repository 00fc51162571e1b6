// The dump of presented frames (KR_PRESENT_DUMP=<folder>), one for both
// edges: every frame the engine presents that was not seen before is
// written as <folder>/frame_NNN.bmp (24-bit, numbered from 000 in the order
// of first appearance), converted from the front surface's own pixels, so
// that the window's dump and the headless one of the same session are the
// same files byte for byte. Frames the edge shows again by itself (an
// exposed window, a message box) are not the engine's and are not offered.
//
// KR_PRESENT_DUMP_LIMIT=<n> stops the dump after n frames, with one line on
// standard error when it is reached; without it there is no limit.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/pixels/surface.h"

namespace plat {

// A surface as XRGB8888 pixels, rows top-down, each component widened from
// the surface's format as UnmapRGB widens it.
std::vector<std::uint32_t> XrgbPixels(const Surface& surface);

class PresentDump {
public:
    // An empty folder dumps nothing; limit 0 means no limit.
    void Start(const std::string& folder, long limit);
    void Stop() { Start("", 0); }
    bool Active() const { return !folder_.empty(); }
    void Offer(const Surface& front);
    // True once a frame could not be written.
    bool Failed() const { return failed_; }
    long Written() const { return written_; }

private:
    std::string folder_;
    long limit_ = 0;
    std::set<std::uint64_t> seen_;
    long written_ = 0;
    bool failed_ = false;
    bool limitReported_ = false;
};

// The program's dump; StartPresentDumpFromEnvironment (re)starts it from
// KR_PRESENT_DUMP and KR_PRESENT_DUMP_LIMIT, numbering from 000 again.
PresentDump& ProgramPresentDump();
void StartPresentDumpFromEnvironment();

}  // namespace plat
