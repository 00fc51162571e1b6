// starter-headless: the starter on the engine's headless edge, in virtual
// time, with keys from a script; after the last frame it writes the screen.
//
//   starter-headless --frames N [--input FILE] [--screenshot FILE.bmp]
//
// Script lines are "<frame> <key> <down|up>" (frames from 1; blank lines and
// lines starting with '#' are skipped); keys are LEFT, UP, RIGHT, DOWN,
// SPACE and ESCAPE. The events of frame k reach the game before its frame k.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "game.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr long kMaxFrames = 1000000;

struct KeyEvent {
    long frame;
    int key;
    bool down;
};

struct Run {
    long frames = 0;
    std::string screenshot;
    std::vector<KeyEvent> events;
    std::size_t nextEvent = 0;
    long framesDone = 0;
    bool screenshotWritten = false;
} run;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "starter-headless: %s\nusage: starter-headless --frames N [--input FILE] [--screenshot FILE]\n",
                 message.c_str());
    std::exit(2);
}

long Number(const char* text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return -1;
    return value;
}

int KeyCode(const char* name) {
    static const struct {
        const char* name;
        int key;
    } keys[] = {{"LEFT", plat::VK_LEFT}, {"UP", plat::VK_UP},       {"RIGHT", plat::VK_RIGHT},
                {"DOWN", plat::VK_DOWN}, {"SPACE", plat::VK_SPACE}, {"ESCAPE", plat::VK_ESCAPE}};
    for (const auto& k : keys)
        if (std::strcmp(name, k.name) == 0) return k.key;
    return 0;
}

std::vector<KeyEvent> ReadScript(const char* path) {
    std::FILE* f = std::fopen(path, "r");
    if (f == nullptr) Fail(std::string("cannot read the input script '") + path + "'");
    std::vector<KeyEvent> events;
    char line[256];
    for (int number = 1; std::fgets(line, sizeof line, f) != nullptr; ++number) {
        char frame[16], key[16], action[8], extra[2];
        const int fields = std::sscanf(line, "%15s %15s %7s %1s", frame, key, action, extra);
        if (fields <= 0 || frame[0] == '#') continue;
        KeyEvent e{fields == 3 ? Number(frame, 1, kMaxFrames) : -1, fields == 3 ? KeyCode(key) : 0,
                   std::strcmp(action, "down") == 0};
        if (e.frame < 0 || e.key == 0 || (!e.down && std::strcmp(action, "up") != 0)) {
            std::fclose(f);
            Fail(std::string(path) + ":" + std::to_string(number) + ": expected '<frame> <key> <down|up>'");
        }
        events.push_back(e);
    }
    std::fclose(f);
    return events;
}

void ParseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc) Fail("missing value after " + name);
        if (name == "--frames") {
            run.frames = Number(argv[i + 1], 1, kMaxFrames);
            if (run.frames < 0) Fail("--frames wants a whole number from 1");
        } else if (name == "--input") {
            run.events = ReadScript(argv[i + 1]);
        } else if (name == "--screenshot") {
            run.screenshot = argv[i + 1];
        } else {
            Fail("unknown option '" + name + "'");
        }
    }
    if (run.frames == 0) Fail("--frames is required");
}

// Posts the scripted keys of the coming frame when the engine pumps its
// messages; events are taken in frame order whatever the script's order.
void DeliverKeys() {
    const long coming = run.framesDone + 1;
    if (krSystemState.mainWindow == 0) return;
    for (KeyEvent& e : run.events) {
        if (e.frame != coming) continue;
        plat::PostMessage(krSystemState.mainWindow, e.down ? plat::WM_KEYDOWN : plat::WM_KEYUP,
                          static_cast<std::uintptr_t>(e.key), e.down ? 1 : static_cast<std::intptr_t>(0xC0000001u));
        e.frame = -1;  // delivered
    }
}

// krDraw::SaveScreen writes into the program's folder; the picture is then
// moved to where it was asked for.
bool WriteScreenshot() {
    const std::string name = "starter-headless-shot.bmp";
    if (krDraw::SaveScreen(name.c_str(), krScreen.screenWidth, krScreen.screenHeight) == 0) return false;
    const std::string written = std::string(krSystem::GetBaseFolder(0)) + name;
    return std::rename(written.c_str(), run.screenshot.c_str()) == 0;
}

void CountedFrame() {
    StarterFrame();
    if (++run.framesDone < run.frames) return;
    if (!run.screenshot.empty()) run.screenshotWritten = WriteScreenshot();
    plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    ParseArguments(argc, argv);
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::SetPumpHook(&DeliverKeys);
    krSystem::SetGameSteps(krGameSteps{&StarterStartup, &CountedFrame, kStarterTitle});
    char* programOnly[] = {argv[0], nullptr};
    int result = krSystem::Main(1, programOnly);
    std::printf("%ld frames\n", run.framesDone);
    if (!run.screenshot.empty() && !run.screenshotWritten) {
        std::fprintf(stderr, "starter-headless: no screenshot written to '%s'\n", run.screenshot.c_str());
        result = 1;
    }
    return result;
}
