// pokotanba-replay: the game and engine on the headless backend, driven by a
// script of key events, writing one trace line per game frame and, on
// request, a 24-bit BMP of the back screen after the last frame.
//
//   pokotanba-replay --frames N [--input FILE] [--trace FILE]
//                    [--screenshot FILE] [--variant 0|1]
//
// Script lines are "<frame> <key> <down|up>" (frames from 1; blank lines and
// lines starting with '#' are skipped). The events of frame k reach the
// window as key messages before game frame k runs. Runs in virtual time.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "game/game_state.h"
#include "platform/os/backend.h"
#include "platform/images/bmp.h"
#include "platform/headless/headless.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

namespace {

constexpr long kMaxFrames = 100000000;
constexpr int kBadArguments = 2;

struct KeyEvent {
    long frame = 0;
    int vk = 0;
    bool down = false;
};

struct Options {
    long frames = 0;
    std::string input, trace, screenshot;
    int variant = 1;
};

struct ReplayState {
    Options options;
    std::vector<KeyEvent> events;  // sorted by frame, file order kept
    std::size_t nextEvent = 0;
    long framesDone = 0;
    long deliveredFrame = 0;
    std::FILE* trace = nullptr;
    bool screenshotWritten = false;
    bool screenshotFailed = false;
};

ReplayState replay;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "pokotanba-replay: %s\n", message.c_str());
    std::fprintf(stderr, "usage: pokotanba-replay --frames N [--input FILE] [--trace FILE] "
                         "[--screenshot FILE] [--variant 0|1]\n");
    std::exit(kBadArguments);
}

// A whole decimal number within [low, high], or false.
bool ParseNumber(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    errno = 0;
    long value = std::strtol(text.c_str(), nullptr, 10);
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
        } else if (name == "--input") {
            o.input = value;
        } else if (name == "--trace") {
            o.trace = value;
        } else if (name == "--screenshot") {
            o.screenshot = value;
        } else if (name == "--variant") {
            long v = 0;
            if (!ParseNumber(value, 0, 1, v)) Fail("--variant wants 0 or 1, got '" + value + "'");
            o.variant = static_cast<int>(v);
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
    if (upper == "LEFT") return plat::VK_LEFT;
    if (upper == "UP") return plat::VK_UP;
    if (upper == "RIGHT") return plat::VK_RIGHT;
    if (upper == "DOWN") return plat::VK_DOWN;
    if (upper == "C") return 'C';
    if (upper == "V") return 'V';
    if (upper == "ESCAPE") return plat::VK_ESCAPE;
    long code = 0;
    if (ParseNumber(name, 1, 255, code)) return static_cast<int>(code);
    return 0;
}

void FailAtLine(const std::string& file, int line, const char* what) {
    Fail(file + ":" + std::to_string(line) + ": " + what);
}

std::vector<KeyEvent> ReadScript(const std::string& path) {
    std::vector<KeyEvent> events;
    if (path.empty()) return events;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) Fail("cannot read the input script '" + path + "'");
    char buffer[512];
    int line = 0;
    while (std::fgets(buffer, sizeof buffer, f) != nullptr) {
        ++line;
        if (std::strchr(buffer, '\n') == nullptr && !std::feof(f)) FailAtLine(path, line, "line too long");
        char frameText[32], keyText[32], actionText[32], extra[2];
        int fields = std::sscanf(buffer, "%31s %31s %31s %1s", frameText, keyText, actionText, extra);
        if (fields <= 0 || frameText[0] == '#') continue;
        if (fields != 3) FailAtLine(path, line, "expected '<frame> <key> <down|up>'");
        KeyEvent e;
        if (!ParseNumber(frameText, 1, kMaxFrames, e.frame)) FailAtLine(path, line, "frame must be a number from 1");
        e.vk = KeyCode(keyText);
        if (e.vk == 0) FailAtLine(path, line, "key must be LEFT, UP, RIGHT, DOWN, C, V, ESCAPE or a code 1-255");
        const std::string action = actionText;
        if (action != "down" && action != "up") FailAtLine(path, line, "action must be down or up");
        e.down = action == "down";
        events.push_back(e);
    }
    std::fclose(f);
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.frame < b.frame; });
    return events;
}

// Posts the key messages of the coming frame once the previous frame ended.
void DeliverScriptedKeys() {
    const long coming = replay.framesDone + 1;
    if (replay.deliveredFrame >= coming || krSystemState.mainWindow == 0) return;
    replay.deliveredFrame = coming;
    while (replay.nextEvent < replay.events.size() && replay.events[replay.nextEvent].frame <= coming) {
        const KeyEvent& e = replay.events[replay.nextEvent++];
        if (e.frame != coming) continue;
        // A key-up message carries the previous-state and transition bits.
        const std::intptr_t lParam = e.down ? 1 : static_cast<std::intptr_t>(0xC0000001u);
        plat::PostMessage(krSystemState.mainWindow, e.down ? plat::WM_KEYDOWN : plat::WM_KEYUP,
                          static_cast<std::uintptr_t>(e.vk), lParam);
    }
}

// Writes the back screen as a 24-bit BMP.
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

void TraceFrame(long k) {
    std::FILE* t = replay.trace;
    if (t == nullptr) return;
    const PlayerRecord& p = player;
    std::fprintf(t, "%ld P %.9g %.9g %d %d %d", k, playerX, playerY, p.facing, p.swinging, p.animFrame);
    for (int i = 0; i < kFollowerCount; ++i) {
        const FollowerRecord& f = followers[i];
        std::fprintf(t, " F%d %d %.9g %.9g %d %d %d", i, f.state, f.posX, f.posY, f.facing, f.slot,
                     followerHitInFrame[i]);
    }
    std::fprintf(t, " T %d %d\n", tree.fallState, tree.fallFrame);
}

void TracedFrame() {
    GameFrame();
    const long k = ++replay.framesDone;
    TraceFrame(k);
    if (k < replay.options.frames) return;
    if (!replay.options.screenshot.empty()) {
        replay.screenshotWritten = WriteScreenshot(replay.options.screenshot);
        replay.screenshotFailed = !replay.screenshotWritten;
    }
    plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    replay.options = ParseOptions(argc, argv);
    replay.events = ReadScript(replay.options.input);
    if (!replay.options.trace.empty()) {
        replay.trace = std::fopen(replay.options.trace.c_str(), "w");
        if (replay.trace == nullptr) Fail("cannot write the trace file '" + replay.options.trace + "'");
    }
    gameVariant = replay.options.variant;

    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    plat::headless::SetPumpHook(&DeliverScriptedKeys);
    krSystem::SetGameSteps(krGameSteps{&GameStartup, &TracedFrame});
    char* programOnly[] = {argv[0], nullptr};
    int result = krSystem::Main(1, programOnly);

    if (replay.trace != nullptr && std::fclose(replay.trace) != 0) {
        std::fprintf(stderr, "pokotanba-replay: writing the trace failed\n");
        result = 1;
    }
    if (replay.framesDone < replay.options.frames) {
        std::fprintf(stderr, "pokotanba-replay: the game ended after %ld of %ld frames\n", replay.framesDone,
                     replay.options.frames);
    }
    if (replay.screenshotFailed || (!replay.options.screenshot.empty() && !replay.screenshotWritten)) {
        std::fprintf(stderr, "pokotanba-replay: no screenshot written to '%s'\n",
                     replay.options.screenshot.c_str());
        result = 1;
    }
    return result;
}
