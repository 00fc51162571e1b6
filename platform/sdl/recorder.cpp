// The session recorder of the SDL edge.
#include "platform/sdl/recorder.h"

#include <cstdlib>
#include <cstring>

#include "platform/os/input_script.h"
#include "platform/os/types.h"
#include "platform/os/window.h"

namespace plat::sdl {
namespace {

std::string ProgramName() {
    const std::string path = ProgramPath();
    return path.substr(path.find_last_of('/') + 1);
}

int SignedWord(std::uint32_t word) { return word >= 0x8000u ? static_cast<int>(word) - 0x10000 : static_cast<int>(word); }

bool MouseAction(std::uint32_t message, script::MouseAction& out) {
    switch (message) {
        case WM_MOUSEMOVE: out = script::MouseAction::Move; return true;
        case WM_LBUTTONDOWN: out = script::MouseAction::LeftDown; return true;
        case WM_LBUTTONUP: out = script::MouseAction::LeftUp; return true;
        case WM_LBUTTONDBLCLK: out = script::MouseAction::LeftDouble; return true;
        case WM_RBUTTONDOWN: out = script::MouseAction::RightDown; return true;
        case WM_RBUTTONUP: out = script::MouseAction::RightUp; return true;
        case WM_RBUTTONDBLCLK: out = script::MouseAction::RightDouble; return true;
        default: return false;
    }
}

}  // namespace

bool SessionRecorder::Open(const std::string& path, const std::string& programName) {
    Close();
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) return false;
    passesBegun_ = 0;
    clockTimes_ = 0;
    sticks_[0] = sticks_[1] = StickState{};
    failed_ = false;
    Line("# A session of " + programName + " recorded in its window. Replay it with the headless\n"
         "# program of the same game: --input <this file> --frames N");
    Line("count passes");
    return true;
}

bool SessionRecorder::Close() {
    if (file_ == nullptr) return !failed_;
    FlushClock();
    if (file_ == nullptr) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

void SessionRecorder::Line(const std::string& text) {
    if (file_ == nullptr) return;
    // Flushed line by line: a session that ends in a crash is still whole.
    if (std::fputs((text + "\n").c_str(), file_) >= 0 && std::fflush(file_) == 0) return;
    if (!failed_) std::fprintf(stderr, "writing the recording failed; it ends here\n");
    failed_ = true;
    std::fclose(file_);
    file_ = nullptr;
}

void SessionRecorder::Posted(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (file_ == nullptr || message == WM_SETCURSOR) return;  // the replay asks for the cursor with each move
    FlushClock();  // the file keeps the order in which things happened
    script::Event e;
    e.frame = passesBegun_ + 1;
    if (message == WM_KEYDOWN || message == WM_KEYUP) {
        e.kind = script::EventKind::Key;
        e.vk = static_cast<int>(wParam);
        e.down = message == WM_KEYDOWN;
    } else if (MouseAction(message, e.mouse)) {
        e.kind = script::EventKind::Mouse;
        e.x = SignedWord(LowWord(lParam));
        e.y = SignedWord(HighWord(lParam));
    } else {
        e.kind = script::EventKind::Message;
        e.message = message;
        e.wParam = wParam;
        e.lParam = lParam;
    }
    Line(script::FormatEvent(e));
}

void SessionRecorder::PumpEnded(bool queueEmpty) {
    if (file_ == nullptr || !queueEmpty) return;
    FlushClock();
    ++passesBegun_;
}

void SessionRecorder::SeedChosen(std::uint32_t seed) {
    FlushClock();
    script::Event e;
    e.kind = script::EventKind::Seed;
    e.seed = seed;
    Line(script::FormatEvent(e));
}

void SessionRecorder::ClockRead(std::uint32_t ms) {
    if (file_ == nullptr) return;
    if (clockTimes_ > 0 && clockTimes_ < UINT32_MAX && ms == clockValue_ && clockFrame_ == passesBegun_) {
        ++clockTimes_;
        return;
    }
    FlushClock();
    clockFrame_ = passesBegun_;
    clockValue_ = ms;
    clockTimes_ = 1;
}

void SessionRecorder::JoystickRead(int id, bool present, std::uint32_t x, std::uint32_t y, std::uint32_t buttons) {
    if (file_ == nullptr || id < 0 || id > 1) return;
    StickState& last = sticks_[id];
    script::Event e;
    e.kind = script::EventKind::Joystick;
    e.frame = passesBegun_;
    e.joystick = id;
    auto write = [&](script::JoystickAction action) {
        FlushClock();
        e.joystickAction = action;
        Line(script::FormatEvent(e));
    };
    if (present != last.present) {
        write(present ? script::JoystickAction::Plug : script::JoystickAction::Unplug);
        last = StickState{};
        last.present = present;
    }
    if (!present) return;
    if (x != last.x || y != last.y) {
        e.x = static_cast<int>(x & 0xFFFFu);
        e.y = static_cast<int>(y & 0xFFFFu);
        write(script::JoystickAction::Axes);
        last.x = x;
        last.y = y;
    }
    if (buttons != last.buttons) {
        e.buttons = buttons;
        write(script::JoystickAction::Buttons);
        last.buttons = buttons;
    }
}

void SessionRecorder::FlushClock() {
    if (clockTimes_ == 0) return;
    script::Event e;
    e.kind = script::EventKind::Clock;
    e.frame = clockFrame_;
    e.clock = clockValue_;
    e.times = clockTimes_;
    clockTimes_ = 0;
    Line(script::FormatEvent(e));
}

SessionRecorder& Recorder() {
    static SessionRecorder recorder;
    static bool started = false;
    if (!started) {
        started = true;
        const char* path = std::getenv("KR_RECORD");
        if (path != nullptr && *path != '\0' && !recorder.Open(path, ProgramName()))
            std::fprintf(stderr, "cannot write the recording '%s'; the session is not recorded\n", path);
    }
    return recorder;
}

int TakeRecordSwitch(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--record") != 0) continue;
        const std::string name = ProgramName();
        const char* program = name.c_str();
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            std::fprintf(stderr, "%s: missing value after --record\n", program);
            return 2;
        }
        if (!Recorder().Open(argv[i + 1], program)) {
            std::fprintf(stderr, "%s: cannot write the recording '%s'\n", program, argv[i + 1]);
            return 2;
        }
        for (int j = i + 2; j <= argc; ++j) argv[j - 2] = argv[j];  // argv[argc] is null
        argc -= 2;
        return 0;
    }
    return 0;
}

}  // namespace plat::sdl
