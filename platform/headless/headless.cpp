// The headless backend: every OS service is simulated in memory so that tests
// and replays run without a display, in virtual time, repeatably.
#include "platform/headless/headless.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>

#include "platform/os/window_placement.h"

namespace plat::headless {
namespace {

constexpr int kReadsPerVirtualMs = 64;

class HeadlessBackend : public Backend {
public:
    const char* Name() const override { return "headless"; }

    bool CreateWindow(const WindowDesc& desc) override {
        if (failCreate) return false;
        DestroyFront();
        front = CreateSurface(std::max(1, desc.width), std::max(1, desc.height), DesktopFormat());
        if (!front) return false;
        exists = true;
        windowGone = false;
        passesAfterClose = 0;
        visible = !desc.hidden;
        minimized = false;
        caption = desc.captionUtf8;
        // Placed as the window system places it: on the desktop, centred when asked.
        origin = KeptOnDesktop(Rect{0, 0, desktopW, desktopH}, Point{desc.x, desc.y}, desc.width, desc.height);
        if (origin.x == kWindowCentred) origin.x = 0;
        if (origin.y == kWindowCentred) origin.y = 0;
        icon.clear();
        iconWidth = iconHeight = 0;
        return true;
    }
    void SetIcon(const std::vector<std::uint32_t>& argb, int width, int height) override {
        icon = argb;
        iconWidth = width;
        iconHeight = height;
    }
    void DestroyWindow() override {
        windowGone = exists;
        exists = false;
        visible = false;
        DestroyFront();
    }
    void ShowWindow(bool show) override { visible = show; }
    void MinimizeWindow() override { minimized = true; }
    void SetTopmost(bool t) override { topmost = t; }
    Point ClientOrigin() override { return origin; }
    void DesktopSize(int& w, int& h) override {
        w = desktopW;
        h = desktopH;
    }
    Surface* FrontSurface() override { return front; }
    void PresentFront() override {
        ++presents;
        Progress();
    }
    void FlipToGDISurface() override { ++flips; }
    void AllowScreenSaver() override { ++screenSaverStarts; }
    void WaitForVerticalBlank() override { Sleep(1); }

    void PumpEvents() override {
        CountPass();
        if (pumpHook) pumpHook();
    }
    void WaitEvents() override {
        CountPass();
        if (pumpHook) pumpHook();
    }

    // A program run by a test whose message loop a fault keeps from ending
    // would run for ever: after its window is gone (a shut-down that posts
    // no quit message), or spinning with neither a frame shown nor time
    // slept (start-up flags that wait for an activation no one sends). With
    // KR_HEADLESS_LOOP_BOUND set, either ends the program with status 125.
    void CountPass() {
        static const bool bounded = std::getenv("KR_HEADLESS_LOOP_BOUND") != nullptr;
        if (!bounded) return;
        ++passesIdle;
        if (windowGone) ++passesAfterClose;
        if (passesAfterClose <= kMaxPassesAfterClose && passesIdle <= kMaxIdlePasses) return;
        std::fprintf(stderr, "headless: the message loop %s\n",
                     passesAfterClose > kMaxPassesAfterClose ? "goes on after its window was destroyed"
                                                             : "spins without a frame or a wait");
        std::_Exit(125);
    }
    void Progress() { passesIdle = 0; }

    void SetCursorVisible(bool v) override { cursorVisible = v; }
    bool GetCursorPos(Point& p) override {
        p = cursor;
        return true;
    }
    bool SetCursorPos(int x, int y) override {
        cursor = Point{x, y};
        ApplyClip();
        return true;
    }
    void ClipCursor(const Rect* r) override {
        clipped = r != nullptr;
        if (r) clip = *r;
        ApplyClip();
    }

    int MessageBox(const std::string& text, const std::string& captionText, std::uint32_t flags) override {
        bool yesNo = (flags & MB_TYPEMASK) == MB_YESNO;
        int answer = yesNo ? IDNO : IDOK;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        boxes.push_back(BoxRecord{text, captionText, flags, answer, flips});
        std::fprintf(stderr, "[%s] %s\n", captionText.c_str(), text.c_str());
        return answer;
    }
    void Beep() override { ++beeps; }

    bool CreateInstanceLock(const std::string& name, bool& alreadyExists) override {
        alreadyExists = heldByOthers.count(name) > 0;
        if (!alreadyExists) lockHeld = true;
        return true;
    }
    void ReleaseInstanceLock() override { lockHeld = false; }
    bool RaiseOtherInstance(const std::string& name) override {
        raises.push_back(name);
        return heldByOthers.count(name) > 0;
    }

    std::uint32_t Ticks() override {
        if (!readings.empty()) {
            ClockReading& next = readings.front();
            clock = next.ms;
            readsSinceSleep = 1;  // as a reading just after SetClock
            if (--next.times == 0) readings.pop_front();
            return clock;
        }
        if (++readsSinceSleep >= kReadsPerVirtualMs) {
            readsSinceSleep = 0;
            ++clock;
        }
        return clock;
    }
    void Sleep(std::uint32_t ms) override {
        clock += ms;
        slept += ms;
        readsSinceSleep = 0;
        Progress();
    }

    bool ReadJoystick(int id, JoystickReading& out) override {
        if (id < 0 || id > 1 || !joyPresent[id]) return false;
        out = joy[id];
        return true;
    }
    void JoystickConfigChanged() override { ++configChanges; }

    bool OpenAudio(const audio::PcmFormat&) override { return !failAudio; }

    void ApplyClip() {
        if (!clipped) return;
        cursor.x = std::clamp(cursor.x, clip.left, std::max(clip.left, clip.right - 1));
        cursor.y = std::clamp(cursor.y, clip.top, std::max(clip.top, clip.bottom - 1));
    }
    void DestroyFront() {
        DestroySurface(front);
        front = nullptr;
    }

    // Window.
    bool failCreate = false, exists = false, visible = false, minimized = false, topmost = false;
    std::string caption;
    Point origin;
    int desktopW = 1920, desktopH = 1080;
    Surface* front = nullptr;
    int presents = 0;
    int flips = 0;
    int screenSaverStarts = 0;
    std::function<void()> pumpHook;
    // Loop bound.
    static constexpr std::uint64_t kMaxPassesAfterClose = 10000, kMaxIdlePasses = 1000000;
    bool windowGone = false;
    std::uint64_t passesAfterClose = 0, passesIdle = 0;
    // Cursor.
    bool cursorVisible = true, clipped = false;
    Point cursor;
    Rect clip;
    // Boxes.
    std::deque<int> answers;
    std::vector<BoxRecord> boxes;
    int beeps = 0;
    // Instance.
    std::set<std::string> heldByOthers;
    bool lockHeld = false;
    std::vector<std::string> raises;
    // Time.
    std::uint32_t clock = 0;
    std::deque<ClockReading> readings;  // given out before the clock runs by itself
    std::uint64_t slept = 0;
    int readsSinceSleep = 0;
    std::vector<std::uint32_t> icon;
    int iconWidth = 0, iconHeight = 0;
    // Joysticks.
    bool joyPresent[2] = {};
    JoystickReading joy[2];
    int configChanges = 0;
    // Audio.
    bool failAudio = false;
};

HeadlessBackend& Self() {
    static HeadlessBackend b;
    return b;
}

}  // namespace

Backend& Instance() { return Self(); }

void Reset() {
    ResetWindowSystem();
    HeadlessBackend& b = Self();
    b.DestroyFront();
    b.failCreate = b.exists = b.visible = b.minimized = b.topmost = false;
    b.caption.clear();
    b.origin = Point{};
    b.desktopW = 1920;
    b.desktopH = 1080;
    b.presents = 0;
    b.flips = 0;
    b.screenSaverStarts = 0;
    b.pumpHook = nullptr;
    b.windowGone = false;
    b.passesAfterClose = b.passesIdle = 0;
    b.cursorVisible = true;
    b.clipped = false;
    b.cursor = Point{};
    b.answers.clear();
    b.boxes.clear();
    b.beeps = 0;
    b.heldByOthers.clear();
    b.lockHeld = false;
    b.raises.clear();
    b.clock = 0;
    b.readings.clear();
    b.slept = 0;
    b.readsSinceSleep = 0;
    b.joyPresent[0] = b.joyPresent[1] = false;
    b.configChanges = 0;
    b.failAudio = false;
}

void SetClock(std::uint32_t ms) {
    Self().clock = ms;
    Self().readsSinceSleep = 0;
}
void SetClockReadings(const std::vector<ClockReading>& readings) {
    HeadlessBackend& b = Self();
    b.readings.clear();
    for (const ClockReading& r : readings)
        if (r.times > 0) b.readings.push_back(r);
}
void AdvanceClock(std::uint32_t ms) { Self().clock += ms; }
std::uint32_t Clock() { return Self().clock; }
std::uint64_t TotalSleptMs() { return Self().slept; }

void QueueAnswer(int answer) { Self().answers.push_back(answer); }
const std::vector<BoxRecord>& Boxes() { return Self().boxes; }
void ClearBoxes() { Self().boxes.clear(); }
int BeepCount() { return Self().beeps; }

void SetPumpHook(std::function<void()> hook) { Self().pumpHook = std::move(hook); }

bool WindowExists() { return Self().exists; }
bool WindowVisible() { return Self().visible; }
bool WindowTopmost() { return Self().topmost; }
bool WindowMinimized() { return Self().minimized; }
const std::string& WindowCaption() { return Self().caption; }
void SetClientOrigin(int x, int y) { Self().origin = Point{x, y}; }
const std::vector<std::uint32_t>& WindowIcon(int& width, int& height) {
    width = Self().iconWidth;
    height = Self().iconHeight;
    return Self().icon;
}
void SetDesktopSize(int width, int height) {
    Self().desktopW = width;
    Self().desktopH = height;
}
int PresentCount() { return Self().presents; }
void FailWindowCreation(bool fail) { Self().failCreate = fail; }

bool CursorVisible() { return Self().cursorVisible; }
void SetCursorDesktopPos(int x, int y) { Self().SetCursorPos(x, y); }

void MovePointer(int x, int y) {
    HeadlessBackend& b = Self();
    b.SetCursorPos(x, y);
    const HWND window = MainWindow();
    if (!b.exists || window == 0 || b.front == nullptr) return;
    const int cx = b.cursor.x - b.origin.x, cy = b.cursor.y - b.origin.y;
    if (cx < 0 || cy < 0 || cx >= b.front->width || cy >= b.front->height) return;
    // As the real edge does: the cursor shape is asked for, then the move.
    PostMessage(window, WM_SETCURSOR, window, MakeLParam(static_cast<int>(HTCLIENT), static_cast<int>(WM_MOUSEMOVE)));
    PostMessage(window, WM_MOUSEMOVE, 0, MakeLParam(cx, cy));
}

int FlipToGDICount() { return Self().flips; }
int ScreenSaverStarts() { return Self().screenSaverStarts; }

void SetHeldByOther(const std::string& name, bool held) {
    if (held)
        Self().heldByOthers.insert(name);
    else
        Self().heldByOthers.erase(name);
}
bool InstanceLockHeld() { return Self().lockHeld; }
const std::vector<std::string>& RaiseRequests() { return Self().raises; }

void SetJoystick(int id, bool present, std::uint32_t x, std::uint32_t y, std::uint32_t buttons) {
    if (id < 0 || id > 1) return;
    Self().joyPresent[id] = present;
    Self().joy[id] = JoystickReading{x, y, buttons};
}
int JoystickConfigChanges() { return Self().configChanges; }

void FailAudioDevice(bool fail) { Self().failAudio = fail; }

std::vector<std::uint8_t> RenderAudio(int frames) {
    frames = std::max(0, frames);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * audio::OutputFormat().BlockAlign());
    audio::Mix(out.data(), frames);
    return out;
}

std::vector<std::int16_t> RenderAudio16(int frames) {
    const audio::PcmFormat format = audio::OutputFormat();
    if (format.bits != 16) return {};
    std::vector<std::uint8_t> bytes = RenderAudio(frames);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

}  // namespace plat::headless
