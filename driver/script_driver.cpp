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
#include "platform/os/backend.h"
#include "platform/os/input_script.h"
#include "platform/os/window.h"
#include "platform/os/random.h"

namespace krScriptDriver {
namespace {

constexpr int kWriteFailed = 1;

struct Options {
    long frames = 0;
    std::string input, trace, screenshot, audio;
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
    std::string CheckOutputs();
    int Play(char* programName);
    int Finish(int result);

    void Startup();
    void Frame();
    void Pump();
    void Deliver(long coming);

    const Program& program_;
    Options options_;
    bool helpAsked_ = false;
    plat::script::Script script_;
    std::size_t nextEvent_ = 0;
    long framesDone_ = 0;
    long passesBegun_ = 0;
    long delivered_ = 0;
    bool clockPending_ = false;
    std::uint32_t pendingClock_ = 0;
    std::FILE* trace_ = nullptr;
    bool screenshotWritten_ = false;
    FrameAudio audio_;
    std::unique_ptr<FrameDump> dump_;
    int presentsSeen_ = 0;
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

std::string Session::CheckOutputs() {
    if (!options_.trace.empty()) {
        trace_ = std::fopen(options_.trace.c_str(), "w");
        if (trace_ == nullptr) return "cannot write the trace file '" + options_.trace + "'";
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
    if (complaint.empty()) complaint = CheckOutputs();
    if (!complaint.empty()) {
        if (trace_ != nullptr) std::fclose(trace_);
        std::fprintf(stderr, "%s: %s\n", program_.name.c_str(), complaint.c_str());
        return kBadArguments;
    }
    return Play(argv[0]);
}

int Session::Play(char* programName) {
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    // A recording starts at the clock its program started with.
    if (!script_.events.empty() && script_.events.front().frame == 0) {
        plat::headless::SetClock(script_.events.front().clock);
        ++nextEvent_;
    }
    if (const char* folder = std::getenv("KR_PRESENT_DUMP"); folder != nullptr && *folder != '\0')
        dump_ = std::make_unique<FrameDump>(folder);
    active = this;
    plat::headless::SetPumpHook([] { active->Pump(); });
    krSystem::SetGameSteps(krGameSteps{[] { active->Startup(); }, [] { active->Frame(); }, program_.steps.title});
    char* programOnly[] = {programName, nullptr};
    const int result = krSystem::Main(1, programOnly);
    plat::headless::SetPumpHook(nullptr);
    active = nullptr;
    return Finish(result);
}

int Session::Finish(int result) {
    if (program_.finish) program_.finish(framesDone_);
    if (trace_ != nullptr && std::fclose(trace_) != 0) {
        std::fprintf(stderr, "%s: writing the trace failed\n", program_.name.c_str());
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
    if (dump_ && dump_->Failed()) {
        std::fprintf(stderr, "%s: cannot write the frame dump\n", program_.name.c_str());
        result = kWriteFailed;
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
    if (trace_ != nullptr) program_.trace(trace_, k);
    if (k < options_.frames) return;
    if (!options_.screenshot.empty()) screenshotWritten_ = WriteBackScreen(options_.screenshot);
    plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
}

// Every look at the message queue comes here before the queue is read.
void Session::Pump() {
    if (krSystemState.mainWindow == 0) return;
    if (dump_ && plat::headless::PresentCount() != presentsSeen_) {
        presentsSeen_ = plat::headless::PresentCount();
        if (const plat::Surface* front = plat::FrontSurface()) dump_->Offer(*front);
    }
    const long coming = (script_.countsPasses ? passesBegun_ : framesDone_) + 1;
    if (delivered_ < coming) Deliver(coming);
    if (plat::PendingMessageCount() != 0) return;
    // The queue is dry: the main loop's frame work comes next.
    if (clockPending_) plat::headless::SetClock(pendingClock_);
    clockPending_ = false;
    ++passesBegun_;
}

void Session::Deliver(long coming) {
    delivered_ = coming;
    const std::vector<plat::script::Event>& events = script_.events;
    for (; nextEvent_ < events.size() && events[nextEvent_].frame <= coming; ++nextEvent_) {
        const plat::script::Event& e = events[nextEvent_];
        if (e.frame != coming) continue;  // its frame never came (the game skipped none; a recording may)
        if (e.kind == plat::script::EventKind::Clock) {
            clockPending_ = true;
            pendingClock_ = e.clock;
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
    text += "  --help             this text\n";
    if (!program.usageNotes.empty()) text += "\n" + program.usageNotes;
    return text;
}

int Run(const Program& program, int argc, char** argv) {
    Session session(program);
    return session.Main(argc, argv);
}

}  // namespace krScriptDriver
