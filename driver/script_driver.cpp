// The script driver: argument parsing, the scripted messages and clock
// handed to the headless edge between frames, and the outputs of a run.
//
// Events of frame k are posted once frame k-1 has ended, in the first
// look at the message queue after it; a clock event takes effect when the
// queue has run dry, just before the frame work of the main loop begins.
// Frames are game frames, or passes of the main loop in a script that says
// "count passes" (a recording: the window's edge sees passes, not frames).
#include "driver/script_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "driver/frame_outputs.h"
#include "platform/headless/headless.h"
#include "platform/os/atomic_file.h"
#include "platform/images/present_dump.h"
#include "platform/os/backend.h"
#include "platform/os/input_script.h"
#include "platform/os/same_file.h"
#include "platform/os/window.h"
#include "platform/os/random.h"

namespace krScriptDriver {
namespace {

constexpr int kWriteFailed = 1;

struct Options {
    long frames = 0;
    std::string input, trace, screenshot, audio;
    bool allowErrors = false;  // an engine error leaves the exit status alone
};

// A wrong argument: the one line to print.
struct BadArgument {
    std::string line;
};

class Session {
public:
    explicit Session(const Program& program) : program_(program) {}

    int Main(int argc, char** argv);

private:
    bool Parse(int argc, char** argv, std::string& complaint);
    std::string CheckSameFiles() const;
    std::string CheckOutputs();
    int Play(char* programName);
    int Finish(int result);

    void Startup();
    void Frame();
    void Pump();
    void Deliver(long coming);
    void BeginFrame();
    void MoveStick(const plat::script::Event& e);

    const Program& program_;
    Options options_;
    bool helpAsked_ = false;
    plat::script::Script script_;
    std::size_t nextEvent_ = 0;
    long framesDone_ = 0;
    long passesBegun_ = 0;
    long delivered_ = 0;
    // Clock readings and joystick events of the frame about to begin.
    std::vector<plat::script::Event> pendingAtStart_;
    struct Stick {
        bool present = false;
        std::uint32_t x = 32767, y = 32767, buttons = 0;
    };
    Stick sticks_[2];
    std::unique_ptr<plat::AtomicFile> trace_;  // replaces the old trace only when complete
    bool screenshotWritten_ = false;
    FrameAudio audio_;
};

Session* active = nullptr;

bool ParseFrames(const std::string& text, long& out) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < 1 || value > plat::script::kMaxFrame) return false;
    out = value;
    return true;
}

const Switch* FindSwitch(const Program& program, const std::string& name) {
    for (const Switch& s : program.switches)
        if (s.name == name) return &s;
    return nullptr;
}

bool Session::Parse(int argc, char** argv, std::string& complaint) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            helpAsked_ = true;
            return true;
        }
    }
    bool haveFrames = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--allow-errors") {
            options_.allowErrors = true;
            continue;
        }
        std::string* text = nullptr;
        const Switch* own = FindSwitch(program_, name);
        if (name == "--input") text = &options_.input;
        else if (name == "--screenshot") text = &options_.screenshot;
        else if (name == "--audio") text = &options_.audio;
        else if (name == "--trace" && program_.trace) text = &options_.trace;
        else if (name != "--frames" && own == nullptr) {
            complaint = "unknown option '" + name + "'";
            return false;
        }
        if (i + 1 >= argc) {
            complaint = "missing value after " + name;
            return false;
        }
        const std::string value = argv[++i];
        if (text != nullptr) {
            if (value.empty()) {
                complaint = name + " wants a file name";
                return false;
            }
            *text = value;
        } else if (name == "--frames") {
            if (!ParseFrames(value, options_.frames)) {
                complaint = "--frames wants a whole number from 1, got '" + value + "'";
                return false;
            }
            haveFrames = true;
        } else if (std::string wrong = own->take(value); !wrong.empty()) {
            complaint = name + " " + wrong + ", got '" + value + "'";
            return false;
        }
    }
    if (!haveFrames) {
        complaint = "--frames is required";
        return false;
    }
    return true;
}

// An output named as the input script, or as another output, would destroy
// what the run reads or writes: refused before anything is written.
std::string Session::CheckSameFiles() const {
    const std::pair<const char*, const std::string*> outputs[] = {
        {"--trace", &options_.trace}, {"--screenshot", &options_.screenshot}, {"--audio", &options_.audio}};
    for (std::size_t i = 0; i < std::size(outputs); ++i) {
        const auto& [name, path] = outputs[i];
        if (path->empty()) continue;
        if (!options_.input.empty() && plat::SameFile(*path, options_.input))
            return std::string(name) + " '" + *path + "' is the input script; it would be overwritten";
        for (std::size_t j = i + 1; j < std::size(outputs); ++j)
            if (!outputs[j].second->empty() && plat::SameFile(*path, *outputs[j].second))
                return std::string(name) + " and " + outputs[j].first + " name the same file '" + *path + "'";
    }
    return "";
}

std::string Session::CheckOutputs() {
    if (!options_.trace.empty()) {
        trace_ = std::make_unique<plat::AtomicFile>(options_.trace);
        if (!trace_->IsOpen()) return "cannot write the trace file '" + options_.trace + "'";
    }
    if (!options_.screenshot.empty() && !CanWrite(options_.screenshot))
        return "cannot write the screenshot '" + options_.screenshot + "'";
    if (!options_.audio.empty() && !CanWrite(options_.audio))
        return "cannot write the sound to '" + options_.audio + "'";
    return "";
}

int Session::Main(int argc, char** argv) {
    std::string complaint;
    if (!Parse(argc, argv, complaint)) {
        std::fprintf(stderr, "%s: %s (see --help)\n", program_.name.c_str(), complaint.c_str());
        return kBadArguments;
    }
    if (helpAsked_) {
        std::fputs(Usage(program_).c_str(), stdout);
        return 0;
    }
    const bool scriptRead = options_.input.empty() || plat::script::ReadScript(options_.input, script_, complaint);
    if (scriptRead && program_.prepare) complaint = program_.prepare();
    if (complaint.empty()) complaint = CheckSameFiles();
    if (complaint.empty()) complaint = CheckOutputs();
    if (!complaint.empty()) {
        trace_.reset();
        std::fprintf(stderr, "%s: %s\n", program_.name.c_str(), complaint.c_str());
        return kBadArguments;
    }
    return Play(argv[0]);
}

int Session::Play(char* programName) {
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    // A recording starts with the readings its program made before the
    // first pass.
    for (; nextEvent_ < script_.events.size() && script_.events[nextEvent_].frame == 0; ++nextEvent_)
        pendingAtStart_.push_back(script_.events[nextEvent_]);
    BeginFrame();
    active = this;
    krSystemState.errorRaised = 0;  // errors of an earlier run in this process are not this run's
    plat::headless::SetPumpHook([] { active->Pump(); });
    krGameSteps steps = program_.steps;  // the game's window size, icon and title, with counted steps
    steps.startup = [] { active->Startup(); };
    steps.frame = [] { active->Frame(); };
    krSystem::SetGameSteps(steps);
    char* programOnly[] = {programName, nullptr};
    const int result = krSystem::Main(1, programOnly);
    plat::headless::SetPumpHook(nullptr);
    active = nullptr;
    return Finish(result);
}

int Session::Finish(int result) {
    if (program_.finish) program_.finish(framesDone_);
    if (trace_ != nullptr && !trace_->Commit()) {
        std::fprintf(stderr, "%s: cannot write the trace file '%s'\n", program_.name.c_str(), options_.trace.c_str());
        result = kWriteFailed;
    }
    if (framesDone_ < options_.frames)
        std::fprintf(stderr, "%s: the run ended after %ld of %ld frames\n", program_.name.c_str(), framesDone_,
                     options_.frames);
    if (!options_.screenshot.empty() && !screenshotWritten_) {
        std::fprintf(stderr, "%s: no screenshot written to '%s'\n", program_.name.c_str(), options_.screenshot.c_str());
        result = kWriteFailed;
    }
    if (!audio_.Close() && !options_.audio.empty()) {
        std::fprintf(stderr, "%s: cannot write the sound to '%s'\n", program_.name.c_str(), options_.audio.c_str());
        result = kWriteFailed;
    }
    if (plat::ProgramPresentDump().Failed()) {
        std::fprintf(stderr, "%s: cannot write the frame dump\n", program_.name.c_str());
        result = kWriteFailed;
    }
    // An automated run of a game whose picture is missing must fail, though
    // the game itself carries on after the engine's report.
    if (krSystemState.errorRaised != 0 && !options_.allowErrors && result == 0) {
        std::fprintf(stderr, "%s: the engine reported an error during the run (exit status %d; --allow-errors ignores it)\n",
                     program_.name.c_str(), kEngineError);
        result = kEngineError;
    }
    return result;
}

void Session::Startup() {
    plat::SeedRandom(script_.seed);  // the recorded seed, else 1: the same random effects in every run
    if (program_.steps.startup) program_.steps.startup();
    audio_.Open(options_.audio);  // the mixer's output format is set now
}

void Session::Frame() {
    if (program_.steps.frame) program_.steps.frame();
    audio_.Frame();
    const long k = ++framesDone_;
    if (trace_ != nullptr) program_.trace(trace_->Stream(), k);
    if (k < options_.frames) return;
    if (!options_.screenshot.empty()) screenshotWritten_ = WriteBackScreen(options_.screenshot);
    plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
}

// Every look at the message queue comes here before the queue is read.
void Session::Pump() {
    if (krSystemState.mainWindow == 0) return;
    const long coming = (script_.countsPasses ? passesBegun_ : framesDone_) + 1;
    if (delivered_ < coming) Deliver(coming);
    if (plat::PendingMessageCount() != 0) return;
    // The queue is dry: the main loop's frame work comes next.
    BeginFrame();
    ++passesBegun_;
}

// The frame that begins now: its joysticks as the script says, and its
// clock reading as the script says from the first reading on.
void Session::BeginFrame() {
    std::vector<plat::headless::ClockReading> readings;
    for (const plat::script::Event& e : pendingAtStart_) {
        if (e.kind == plat::script::EventKind::Clock) readings.push_back({e.clock, e.times});
        if (e.kind == plat::script::EventKind::Joystick) MoveStick(e);
    }
    pendingAtStart_.clear();
    if (readings.empty()) return;
    plat::headless::SetClock(readings.front().ms);
    plat::headless::SetClockReadings(readings);
}

void Session::MoveStick(const plat::script::Event& e) {
    using plat::script::JoystickAction;
    Stick& s = sticks_[e.joystick];
    switch (e.joystickAction) {
        case JoystickAction::Plug: s = Stick{}; s.present = true; break;
        case JoystickAction::Unplug: s = Stick{}; break;
        case JoystickAction::Axes: s.x = static_cast<std::uint32_t>(e.x); s.y = static_cast<std::uint32_t>(e.y); break;
        case JoystickAction::Buttons: s.buttons = e.buttons; break;
    }
    plat::headless::SetJoystick(e.joystick, s.present, s.x, s.y, s.buttons);
}

void Session::Deliver(long coming) {
    delivered_ = coming;
    const std::vector<plat::script::Event>& events = script_.events;
    for (; nextEvent_ < events.size() && events[nextEvent_].frame <= coming; ++nextEvent_) {
        const plat::script::Event& e = events[nextEvent_];
        if (e.frame != coming) continue;  // its frame never came (the game skipped none; a recording may)
        if (e.kind == plat::script::EventKind::Clock || e.kind == plat::script::EventKind::Joystick) {
            pendingAtStart_.push_back(e);
            continue;
        }
        if (e.kind == plat::script::EventKind::Mouse) {
            // The pointer is where the message says, as seen from the desktop.
            const plat::Point origin = plat::ClientOrigin(krSystemState.mainWindow);
            plat::headless::SetCursorDesktopPos(origin.x + e.x, origin.y + e.y);
            if (e.mouse == plat::script::MouseAction::Move)
                plat::PostMessage(krSystemState.mainWindow, plat::WM_SETCURSOR, krSystemState.mainWindow,
                                  plat::MakeLParam(static_cast<int>(plat::HTCLIENT), static_cast<int>(plat::WM_MOUSEMOVE)));
        }
        std::uint32_t message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        plat::script::EventMessage(e, message, wParam, lParam);
        plat::PostMessage(krSystemState.mainWindow, message, wParam, lParam);
    }
}

}  // namespace

std::string Usage(const Program& program) {
    std::string text = "usage: " + program.name + " --frames N [--input FILE] [--screenshot FILE] [--audio FILE]";
    text += " [--allow-errors]";
    if (program.trace) text += " [--trace FILE]";
    for (const Switch& s : program.switches) text += " [" + s.name + " " + s.valueName + "]";
    text += "\n\n"
            "  --frames N         game frames to run, then the window closes\n"
            "  --input FILE       input script: '<frame> <key> down|up' lines, mouse, clock and\n"
            "                     message lines; a recording made with KR_RECORD replays as it is\n"
            "  --screenshot FILE  the back screen after the last frame, as a 24-bit BMP\n"
            "  --audio FILE       everything played, as a WAV file\n";
    if (program.trace) text += "  --trace FILE       one line per game frame\n";
    for (const Switch& s : program.switches) {
        std::string head = "  " + s.name + " " + s.valueName;
        head.resize(std::max<std::size_t>(head.size() + 1, 21), ' ');
        text += head + s.help + "\n";
    }
    text += "  --allow-errors     exit 0 even when the engine reported an error (else exit 3)\n"
            "  --help             this text\n";
    if (!program.usageNotes.empty()) text += "\n" + program.usageNotes;
    return text;
}

int Run(const Program& program, int argc, char** argv) {
    Session session(program);
    return session.Main(argc, argv);
}

}  // namespace krScriptDriver
