// krshowcase-headless: the showcase on the headless backend, in virtual
// time, driven by a script of key events; writes the back screen after the
// last frame and, on request, everything it played as a WAV file. Prints
// the scene it ended in.
//
//   krshowcase-headless --frames N [--scene NAME] [--input FILE]
//                       [--screenshot FILE] [--audio FILE]
//
// Script lines are "<frame> <key> <down|up>" (frames from 1; blank lines and
// lines starting with '#' are skipped); keys are LEFT, UP, RIGHT, DOWN,
// SPACE, RETURN, TAB, SHIFT, PGUP, PGDN, HOME, END, ESCAPE, a letter or
// digit, or a decimal virtual-key code. The events of frame k reach the
// window before showcase frame k runs.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/os/backend.h"
#include "platform/images/bmp.h"
#include "platform/headless/headless.h"
#include "platform/os/window.h"
#include "showcase/headless_audio.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr long kMaxFrames = 10000000;
constexpr int kBadArguments = 2;

struct KeyEvent {
    long frame = 0;
    int vk = 0;
    bool down = false;
};

struct Options {
    long frames = 0;
    std::string scene, input, screenshot, audio;
};

struct Run {
    Options options;
    std::vector<KeyEvent> events;
    std::size_t nextEvent = 0;
    long framesDone = 0;
    long deliveredFrame = 0;
    bool screenshotWritten = false;
    HeadlessAudio audio;
};

Run run;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "krshowcase-headless: %s\n", message.c_str());
    std::fprintf(stderr, "usage: krshowcase-headless --frames N [--scene NAME] [--input FILE] "
                         "[--screenshot FILE] [--audio FILE]\nscenes:");
    for (const ShowcaseScene& s : ShowcaseScenes()) std::fprintf(stderr, " %s", s.name);
    std::fprintf(stderr, "\n");
    std::exit(kBadArguments);
}

bool ParseNumber(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < low || value > high) return false;
    out = value;
    return true;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    bool haveFrames = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) Fail("missing value after " + name);
        const std::string value = argv[++i];
        if (name == "--frames") {
            if (!ParseNumber(value, 1, kMaxFrames, o.frames)) Fail("--frames wants a whole number from 1, got '" + value + "'");
            haveFrames = true;
        } else if (name == "--scene") {
            o.scene = value;
        } else if (name == "--input") {
            o.input = value;
        } else if (name == "--screenshot") {
            o.screenshot = value;
        } else if (name == "--audio") {
            o.audio = value;
        } else {
            Fail("unknown option '" + name + "'");
        }
    }
    if (!haveFrames) Fail("--frames is required");
    return o;
}

int KeyCode(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct Named {
        const char* name;
        int vk;
    };
    static const Named named[] = {{"LEFT", plat::VK_LEFT},     {"UP", plat::VK_UP},       {"RIGHT", plat::VK_RIGHT},
                                  {"DOWN", plat::VK_DOWN},     {"SPACE", plat::VK_SPACE}, {"RETURN", plat::VK_RETURN},
                                  {"TAB", plat::VK_TAB},       {"SHIFT", plat::VK_SHIFT}, {"PGUP", plat::VK_PRIOR},
                                  {"PGDN", plat::VK_NEXT},     {"HOME", plat::VK_HOME},   {"END", plat::VK_END},
                                  {"ESCAPE", plat::VK_ESCAPE}};
    for (const Named& n : named)
        if (upper == n.name) return n.vk;
    if (upper.size() == 1 && std::isalnum(static_cast<unsigned char>(upper[0]))) return upper[0];
    long code = 0;
    if (ParseNumber(name, 1, 255, code)) return static_cast<int>(code);
    return 0;
}

std::vector<KeyEvent> ReadScript(const std::string& path) {
    std::vector<KeyEvent> events;
    if (path.empty()) return events;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) Fail("cannot read the input script '" + path + "'");
    char buffer[512];
    int line = 0;
    auto failAt = [&](const char* what) {
        std::fclose(f);
        Fail(path + ":" + std::to_string(line) + ": " + what);
    };
    while (std::fgets(buffer, sizeof buffer, f) != nullptr) {
        ++line;
        if (std::strchr(buffer, '\n') == nullptr && !std::feof(f)) failAt("line too long");
        char frameText[32], keyText[32], actionText[32], extra[2];
        const int fields = std::sscanf(buffer, "%31s %31s %31s %1s", frameText, keyText, actionText, extra);
        if (fields <= 0 || frameText[0] == '#') continue;
        if (fields != 3) failAt("expected '<frame> <key> <down|up>'");
        KeyEvent e;
        if (!ParseNumber(frameText, 1, kMaxFrames, e.frame)) failAt("frame must be a number from 1");
        e.vk = KeyCode(keyText);
        if (e.vk == 0) failAt("unknown key (see the list at the top of the program's source)");
        const std::string action = actionText;
        if (action != "down" && action != "up") failAt("action must be down or up");
        e.down = action == "down";
        events.push_back(e);
    }
    std::fclose(f);
    std::stable_sort(events.begin(), events.end(), [](const KeyEvent& a, const KeyEvent& b) { return a.frame < b.frame; });
    return events;
}

void DeliverScriptedKeys() {
    const long coming = run.framesDone + 1;
    if (run.deliveredFrame >= coming || krSystemState.mainWindow == 0) return;
    run.deliveredFrame = coming;
    while (run.nextEvent < run.events.size() && run.events[run.nextEvent].frame <= coming) {
        const KeyEvent& e = run.events[run.nextEvent++];
        if (e.frame != coming) continue;
        const std::intptr_t lParam = e.down ? 1 : static_cast<std::intptr_t>(0xC0000001u);
        plat::PostMessage(krSystemState.mainWindow, e.down ? plat::WM_KEYDOWN : plat::WM_KEYUP,
                          static_cast<std::uintptr_t>(e.vk), lParam);
    }
}

bool WriteScreenshot(const std::string& path) {
    const plat::Surface* back = krScreen.back;
    if (back == nullptr || back->pixels == nullptr) return false;
    std::vector<std::uint32_t> xrgb(static_cast<std::size_t>(back->width) * static_cast<std::size_t>(back->height));
    std::size_t at = 0;
    for (int y = 0; y < back->height; ++y) {
        for (int x = 0; x < back->width; ++x) {
            std::uint8_t r = 0, g = 0, b = 0;
            plat::UnmapRGB(back->format, plat::GetPixel(*back, x, y), r, g, b);
            xrgb[at++] = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        }
    }
    return plat::WriteBmp24(path, xrgb.data(), back->width, back->height);
}

void Startup() {
    std::srand(1);  // the same random effects in every run
    ShowcaseStartup();
    run.audio.Open(run.options.audio);  // the mixer's output format is set now
}

void CountedFrame() {
    ShowcaseFrame();
    run.audio.Frame();
    const long k = ++run.framesDone;
    if (k < run.options.frames) return;
    if (!run.options.screenshot.empty()) run.screenshotWritten = WriteScreenshot(run.options.screenshot);
    plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    run.options = ParseOptions(argc, argv);
    if (!run.options.scene.empty()) {
        const int index = FindShowcaseScene(run.options.scene);
        if (index < 0) Fail("unknown scene '" + run.options.scene + "'");
        SetShowcaseStartScene(index);
    }
    run.events = ReadScript(run.options.input);

    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    plat::headless::SetPumpHook(&DeliverScriptedKeys);
    krSystem::SetGameSteps(krGameSteps{&Startup, &CountedFrame, kShowcaseTitle});
    char* programOnly[] = {argv[0], nullptr};
    int result = krSystem::Main(1, programOnly);

    const int last = CurrentShowcaseScene();
    std::printf("scene %s after %ld frames\n", last >= 0 ? ShowcaseScenes()[last].name : "-", run.framesDone);
    if (run.framesDone < run.options.frames)
        std::fprintf(stderr, "krshowcase-headless: the showcase ended after %ld of %ld frames\n", run.framesDone,
                     run.options.frames);
    if (!run.options.screenshot.empty() && !run.screenshotWritten) {
        std::fprintf(stderr, "krshowcase-headless: no screenshot written to '%s'\n", run.options.screenshot.c_str());
        result = 1;
    }
    if (!run.audio.Close() && !run.options.audio.empty()) {
        std::fprintf(stderr, "krshowcase-headless: cannot write the sound to '%s'\n", run.options.audio.c_str());
        result = 1;
    }
    return result;
}
