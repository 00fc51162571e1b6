// Recording a session in the window as an input script (format in
// platform/os/input_script.h): every message the SDL edge posts (keys,
// mouse, activation, moves, close) and the clock the frames see, so that the
// headless script driver replays the session frame for frame.
//
// Frame numbers count passes of the main loop: a look at the queue that
// finds it empty is followed by one pass of frame work, and the events
// posted before it belong to that pass. Every clock reading the program
// makes is recorded, in order, under the pass it was made in (frame 0:
// before the first pass, start-up included); readings in a row that give
// the same value share one line, written when the value changes. Joystick
// readings are recorded the same way, as what changed: plugged, unplugged,
// axes, buttons.
//
// Started by KR_RECORD=<file> or by a program's --record <file> switch.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace plat::sdl {

class SessionRecorder {
public:
    SessionRecorder() = default;
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;
    ~SessionRecorder() { Close(); }

    // Starts a recording into `path` (replacing any running one); false
    // when the file cannot be written.
    bool Open(const std::string& path, const std::string& programName);
    // Ends the recording; false when some of it could not be written.
    bool Close();
    bool Recording() const { return file_ != nullptr; }

    // A message the edge posted to the main window.
    void Posted(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // The edge's events are pumped; `queueEmpty` when nothing waits now.
    void PumpEnded(bool queueEmpty);
    // A clock reading handed to the program.
    void ClockRead(std::uint32_t ms);
    // The seed the program's random numbers start from.
    void SeedChosen(std::uint32_t seed);
    // A joystick reading handed to the program (present false: no device);
    // what changed since the last one is recorded.
    void JoystickRead(int id, bool present, std::uint32_t x, std::uint32_t y, std::uint32_t buttons);

private:
    void Line(const std::string& text);
    // Writes the readings held back (the same value read again and again).
    void FlushClock();

    std::FILE* file_ = nullptr;
    long passesBegun_ = 0;
    long clockFrame_ = 0;
    std::uint32_t clockValue_ = 0;
    std::uint32_t clockTimes_ = 0;  // 0: no reading held back
    struct StickState {
        bool present = false;
        std::uint32_t x = kCentre, y = kCentre, buttons = 0;
    };
    static constexpr std::uint32_t kCentre = 32767;  // where a replay's plugged stick starts
    StickState sticks_[2];
    bool failed_ = false;
};

// The edge's recorder; on first use it starts recording when KR_RECORD
// names a file (a file that cannot be written is reported on standard
// error, and the program runs unrecorded).
SessionRecorder& Recorder();

// For a windowed program's main: takes "--record <file>" out of the
// arguments and starts recording. Returns 0, or 2 after one line on
// standard error when the value is missing or the file cannot be written.
int TakeRecordSwitch(int& argc, char** argv);

}  // namespace plat::sdl
