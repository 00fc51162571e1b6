// The SDL2 backend: one real, resizable window that shows the front surface
// at a whole-number scale, SDL events as window messages, the cursor,
// message boxes, the single-instance guard, the millisecond clock and two
// joysticks. SDL's video starts with the first question about the display or
// the window.
#include "platform/sdl/sdl_backend.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/os/notice.h"
#include "platform/os/window_placement.h"
#include "platform/sdl/audio_device.h"
#include "platform/sdl/events.h"
#include "platform/sdl/instance_guard.h"
#include "platform/sdl/joysticks.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_internal.h"

namespace plat::sdl {
namespace {

constexpr Uint32 kWaitSliceMs = 50;  // also how often a waiting program looks for raise requests
constexpr int kDefaultRefreshHz = 60;

class SdlBackend final : public Backend {
public:
    const char* Name() const override { return "sdl"; }

    // ---- window ----

    bool CreateWindow(const WindowDesc& desc) override {
        if (window_) DestroyWindow();
        if (!StartVideo()) return false;
        Uint32 flags = SDL_WINDOW_RESIZABLE | (desc.hidden ? SDL_WINDOW_HIDDEN : 0) |
                       (fullScreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        width_ = std::max(1, desc.width);
        height_ = std::max(1, desc.height);
        // The window opens at a whole multiple of the client size around the
        // same centre, on the desktop as it is now (the engine's reading may
        // have come before the display knew its size); the picture inside
        // follows whatever size it gets.
        const int scale = StartScale(width_, height_);
        const SDL_Point at = Placement(desc, scale);
        window_ = SDL_CreateWindow(desc.captionUtf8.c_str(), at.x, at.y, width_ * scale, height_ * scale, flags);
        if (!window_) return false;
        KeepOnDesktop();
        SDL_SetWindowMinimumSize(window_, width_, height_);
        front_ = CreateSurface(width_, height_, DesktopFormat());
        if (!front_ || !presenter_.Create(window_, width_, height_, front_->format)) {
            DestroyWindow();
            return false;
        }
        SDL_StopTextInput();  // key messages only; no input method
        SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
        events_.Reset();
        announcePending_ = !desc.hidden;
        return true;
    }

    void DestroyWindow() override {
        presenter_.Destroy();
        if (window_) SDL_DestroyWindow(window_);
        window_ = nullptr;
        DestroySurface(front_);
        front_ = nullptr;
        events_.Reset();
        fullScreen_ = false;
        announcePending_ = false;
    }

    void ShowWindow(bool visible) override {
        if (!window_) return;
        if (!visible) {
            SDL_HideWindow(window_);
            return;
        }
        SDL_ShowWindow(window_);
        announcePending_ = true;
        PresentFront();
    }

    void MinimizeWindow() override {
        if (window_) SDL_MinimizeWindow(window_);
    }

    void SetTopmost(bool topmost) override {
        if (window_) SDL_SetWindowAlwaysOnTop(window_, topmost ? SDL_TRUE : SDL_FALSE);
    }

    void SetIcon(const std::vector<std::uint32_t>& argb, int width, int height) override {
        if (!window_ || argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
        SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(argb.data()), width, height,
                                                               32, width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (icon == nullptr) return;
        SDL_SetWindowIcon(window_, icon);  // SDL keeps its own copy
        SDL_FreeSurface(icon);
    }

    Point ClientOrigin() override {
        Point p;
        if (window_ && !fullScreen_) SDL_GetWindowPosition(window_, &p.x, &p.y);
        return p;
    }

    void DesktopSize(int& width, int& height) override {
        width = height = 0;
        if (window_ && fullScreen_) {
            width = width_;
            height = height_;
            return;
        }
        SDL_DisplayMode mode;
        int display = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
        if (!StartVideo()) return;
        if (SDL_GetDesktopDisplayMode(display, &mode) == 0 && mode.w > 0 && mode.h > 0) {
            width = mode.w;
            height = mode.h;
            return;
        }
        // A display still starting may have no mode yet; its bounds may be
        // known. Else 0 x 0: the caller then leaves the placement to SDL.
        SDL_Rect bounds{0, 0, 0, 0};
        if (SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
            width = bounds.w;
            height = bounds.h;
        }
    }

    Surface* FrontSurface() override { return front_; }

    void PresentFront() override {
        if (front_) presenter_.Present(*front_);
    }

    // The message box is a window of its own, stacked over ours; show the
    // last whole frame under it.
    void FlipToGDISurface() override { PresentFront(); }

    void AllowScreenSaver() override {
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_EnableScreenSaver();
    }

    void WaitForVerticalBlank() override {
        // No access to the real blank: sleep to the next tick of the
        // display's refresh period on a steady grid.
        const Uint64 frequency = SDL_GetPerformanceFrequency();
        const Uint64 now = SDL_GetPerformanceCounter();
        if (vblankEpoch_ == 0) vblankEpoch_ = now;
        const Uint64 period = frequency / static_cast<Uint64>(RefreshRate());
        const Uint64 next = vblankEpoch_ + ((now - vblankEpoch_) / period + 1) * period;
        SDL_Delay(static_cast<Uint32>(((next - now) * 1000 + frequency - 1) / frequency));
    }

    bool SetFullScreen(bool on) override {
        if (on == fullScreen_) return true;
        if (window_ && SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
        fullScreen_ = on;
        if (window_ && MainWindow() != 0) {
            Point origin = ClientOrigin();
            PostRecorded(WM_MOVE, 0, MakeLParam(origin.x, origin.y));
        }
        return true;
    }

    // ---- events ----

    void PumpEvents() override {
        PumpSdlEvents();
        // An empty queue now means that a pass of frame work follows.
        Recorder().PumpEnded(PendingMessageCount() == 0);
    }

    void PumpSdlEvents() {
        if (int raises = guard_.PollRaiseRequests()) {
            raisesSeen_ += raises;
            RaiseWindow();
        }
        Announce();
        if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
        SDL_Event event;
        while (SDL_PollEvent(&event)) Handle(event);
    }

    void WaitEvents() override {
        if (!SDL_WasInit(SDL_INIT_EVENTS)) {
            SDL_Delay(kWaitSliceMs);
            return;
        }
        SDL_WaitEventTimeout(nullptr, static_cast<int>(kWaitSliceMs));
    }

    // ---- cursor ----

    void SetCursorVisible(bool visible) override {
        cursorVisible_ = visible;
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    bool GetCursorPos(Point& desktop) override {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
        int x = 0, y = 0;
        if (window_ && (SDL_GetMouseFocus() == window_ || VirtualDisplay())) {
            SDL_GetMouseState(&x, &y);
            desktop = WindowToDesktop(x, y);
            return true;
        }
        SDL_GetGlobalMouseState(&x, &y);
        if (window_) {
            int wx = 0, wy = 0;
            SDL_GetWindowPosition(window_, &wx, &wy);
            desktop = WindowToDesktop(x - wx, y - wy);
        } else {
            desktop = Point{x, y};
        }
        return true;
    }

    bool SetCursorPos(int x, int y) override {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
        if (!window_) return SDL_WarpMouseGlobal(x, y) == 0;
        const SDL_Point p = DesktopToWindow(x, y);
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(window_, &wx, &wy);
        if (!fullScreen_ && SDL_WarpMouseGlobal(wx + p.x, wy + p.y) == 0) return true;
        SDL_WarpMouseInWindow(window_, p.x, p.y);
        return true;
    }

    void ClipCursor(const Rect* rect) override {
        if (!window_) return;
        SDL_Rect area;
        // SDL confines only to the window, so the rectangle is cut to it.
        if (!rect || !WindowArea(*rect, area)) {
            SDL_SetWindowMouseRect(window_, nullptr);
            return;
        }
        SDL_SetWindowMouseRect(window_, &area);
    }

    // ---- message boxes ----

    int MessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
        SDL_Window* parent = window_ && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_HIDDEN) ? window_ : nullptr;
        return ShowMessageBox(parent, text, caption, flags);
    }

    void Beep() override {
        if (isatty(STDERR_FILENO)) std::fputs("\a", stderr);
    }

    // ---- single instance ----

    bool CreateInstanceLock(const std::string& name, bool& alreadyExists) override {
        return guard_.Acquire(name, alreadyExists);
    }
    void ReleaseInstanceLock() override { guard_.Release(); }
    bool RaiseOtherInstance(const std::string& name) override { return InstanceGuard::RequestRaise(name); }

    // ---- time ----

    std::uint32_t Ticks() override {
        const std::uint32_t now = SDL_GetTicks();
        Recorder().ClockRead(now);
        return now;
    }
    void Sleep(std::uint32_t ms) override { SDL_Delay(ms); }
    std::uint32_t RandomSeed() override {
        const std::uint32_t seed = Backend::RandomSeed();
        Recorder().SeedChosen(seed);
        return seed;
    }

    // ---- joysticks ----

    bool ReadJoystick(int id, JoystickReading& out) override {
        const bool present = joysticks_.Read(id, out);
        Recorder().JoystickRead(id, present, out.x, out.y, out.buttons);
        return present;
    }
    void JoystickConfigChanged() override {
        if (joysticks_.Start()) joysticks_.Rescan();
    }

    // ---- audio ----

    bool OpenAudio(const audio::PcmFormat& format) override { return audio_.Open(format); }
    void CloseAudio() override { audio_.Close(); }
    bool AudioRunsInRealTime() const override { return true; }

    // ---- for the tests ----

    SDL_Window* Window() const { return window_; }
    sdl::Presenter& Presentation() { return presenter_; }
    int RaisesSeen() const { return raisesSeen_; }
    Joysticks& Sticks() { return joysticks_; }

private:
    static void PostRecorded(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        PostMessage(MainWindow(), message, wParam, lParam);
        Recorder().Posted(message, wParam, lParam);
    }

    // Where the window opens: the request (grown about its centre by the
    // scale) kept on the display's usable area, or centred by SDL when the
    // display does not know its size.
    SDL_Point Placement(const WindowDesc& desc, int scale) const {
        const Rect desktop = UsableDesktop();
        const int w = width_ * scale, h = height_ * scale;
        Point requested{desc.x, desc.y};
        if (requested.x != kWindowCentred) requested.x -= (w - width_) / 2;
        if (requested.y != kWindowCentred) requested.y -= (h - height_) / 2;
        const Point kept = KeptOnDesktop(desktop, requested, w, h);
        return SDL_Point{kept.x == kWindowCentred ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : kept.x,
                         kept.y == kWindowCentred ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : kept.y};
    }

    // The first display's area that windows may use; empty when unknown.
    static Rect UsableDesktop() {
        SDL_Rect area{0, 0, 0, 0};
        if (SDL_GetDisplayUsableBounds(0, &area) != 0 || area.w <= 0 || area.h <= 0) {
            if (SDL_GetDisplayBounds(0, &area) != 0) return Rect{};
        }
        return Rect{area.x, area.y, area.x + area.w, area.y + area.h};
    }

    // Once made, the window is moved onto the desktop if it is not on it: the
    // display may have learnt its size only while the window was being made.
    void KeepOnDesktop() {
        const Rect desktop = UsableDesktop();
        if (!DesktopKnown(desktop)) return;
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        SDL_GetWindowSize(window_, &w, &h);
        const Point kept = KeptOnDesktop(desktop, Point{x, y}, w, h);
        if (kept.x != x || kept.y != y) SDL_SetWindowPosition(window_, kept.x, kept.y);
    }

    // KR_WINDOW_SCALE=N opens the window at N times the client size (1 to
    // 8, and never so large that the size no longer fits an int).
    static int StartScale(int width, int height) {
        const char* text = std::getenv("KR_WINDOW_SCALE");
        if (!text || !*text) return 1;
        char* end = nullptr;
        long scale = std::strtol(text, &end, 10);
        if (*end != '\0' || scale < 1 || scale > 8) {
            Notice(std::string("KR_WINDOW_SCALE=") + text + " is no whole number from 1 to 8; the window opens at scale " +
                   (*end == '\0' && scale > 8 ? "8" : "1"));
            if (*end != '\0' || scale < 1) return 1;
        }
        scale = std::min(scale, 8L);
        while (scale > 1 && (width > 16384 / scale || height > 16384 / scale)) --scale;
        return static_cast<int>(scale);
    }

    static bool StartVideo() {
        if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // the close button gives one WM_CLOSE
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the click that activates counts
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
        if (asked && *asked) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        // Left to itself SDL would fall back to a display nobody sees (the
        // program would run invisibly); only real displays count, and only
        // those whose environment says they exist (a client library tried
        // without one complains on standard error).
        for (const char* driver : RealDisplayDrivers()) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
        return false;
    }

    static std::vector<const char*> RealDisplayDrivers() {
        std::vector<const char*> drivers;
        auto set = [](const char* name) {
            const char* v = std::getenv(name);
            return v && *v;
        };
        if (set("DISPLAY")) drivers.push_back("x11");
        if (set("WAYLAND_DISPLAY")) drivers.push_back("wayland");
        if (access("/dev/dri", F_OK) == 0) drivers.push_back("KMSDRM");
        drivers.push_back("windows");  // Windows' own desktop; SDL has it only there
        return drivers;
    }

    // The dummy and offscreen drivers have no desktop: the mouse lives only
    // in the window.
    static bool VirtualDisplay() {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
    }

    int RefreshRate() const {
        SDL_DisplayMode mode;
        if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
        return kDefaultRefreshHz;
    }

    ViewMapping View() const {
        ViewMapping view;
        view.destination = presenter_.WindowDestination();
        view.logicalWidth = width_;
        view.logicalHeight = height_;
        view.fullScreen = fullScreen_;
        return view;
    }

    // The engine's desktop holds the client area at its logical size at the
    // client origin (the desktop origin in full screen), whatever the scale
    // the window shows it at: a window point maps through the picture's
    // place in the window, so the cursor over the picture is over the
    // client area, and over the bars it is outside.
    Point WindowToDesktop(int x, int y) {
        SDL_Point p = OutputToLogical(presenter_.WindowDestination(), width_, height_, x, y);
        Point origin = ClientOrigin();
        return Point{origin.x + p.x, origin.y + p.y};
    }

    SDL_Point DesktopToWindow(int x, int y) {
        Point origin = ClientOrigin();
        return LogicalToOutput(presenter_.WindowDestination(), width_, height_, x - origin.x, y - origin.y);
    }

    // A desktop rectangle (right and bottom exclusive) in window
    // coordinates, cut to the window; false when nothing of it is inside.
    bool WindowArea(const Rect& rect, SDL_Rect& area) {
        if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
        SDL_Point topLeft = DesktopToWindow(rect.left, rect.top);
        SDL_Point bottomRight = DesktopToWindow(rect.right - 1, rect.bottom - 1);
        int w = 0, h = 0;
        SDL_GetWindowSize(window_, &w, &h);
        int left = std::max(0, topLeft.x), top = std::max(0, topLeft.y);
        int right = std::min(w, bottomRight.x + 1), bottom = std::min(h, bottomRight.y + 1);
        if (right <= left || bottom <= top) return false;
        area = SDL_Rect{left, top, right - left, bottom - top};
        return true;
    }

    void Handle(const SDL_Event& event) {
        switch (event.type) {
            case SDL_JOYDEVICEADDED:
                joysticks_.OnDeviceAdded(event.jdevice.which);
                return;
            case SDL_JOYDEVICEREMOVED:
                joysticks_.OnDeviceRemoved(event.jdevice.which);
                return;
            case SDL_AUDIODEVICEADDED:
                if (!event.adevice.iscapture) audio_.OnDeviceAdded();
                return;
            case SDL_AUDIODEVICEREMOVED:
                if (!event.adevice.iscapture) audio_.OnDeviceRemoved(event.adevice.which);
                return;
            case SDL_RENDER_DEVICE_RESET:
                presenter_.Recreate();
                PresentFront();
                return;
            case SDL_RENDER_TARGETS_RESET:
                PresentFront();
                return;
            default:
                break;
        }
        if (!window_ || MainWindow() == 0) return;
        const Uint32 id = SDL_GetWindowID(window_);
        if (event.type == SDL_WINDOWEVENT && event.window.windowID == id &&
            (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
            PresentFront();  // lost or resized: show the last frame again at its new place
            return;
        }
        events_.Translate(event, id, View());
    }

    // After the window is first shown: its position, and the activation if
    // it already has the focus (the focus event may have come before the
    // window procedure existed).
    void Announce() {
        if (!announcePending_ || !window_ || MainWindow() == 0) return;
        const Uint32 flags = SDL_GetWindowFlags(window_);
        if (flags & SDL_WINDOW_HIDDEN) return;
        announcePending_ = false;
        Point origin = ClientOrigin();
        PostRecorded(WM_MOVE, 0, MakeLParam(origin.x, origin.y));
        if (flags & SDL_WINDOW_INPUT_FOCUS) events_.SetActive(true);
    }

    void RaiseWindow() {
        if (!window_) return;
        if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
    }

    SDL_Window* window_ = nullptr;
    int width_ = 0, height_ = 0;  // the client (logical) size
    Surface* front_ = nullptr;
    sdl::Presenter presenter_;
    EventTranslator events_;
    InstanceGuard guard_;
    Joysticks joysticks_;
    AudioDevice audio_;
    bool fullScreen_ = false;
    bool cursorVisible_ = true;
    bool announcePending_ = false;
    int raisesSeen_ = 0;
    Uint64 vblankEpoch_ = 0;
};

SdlBackend& Self() {
    static SdlBackend backend;
    return backend;
}

}  // namespace

Backend& Instance() { return Self(); }

SDL_Window* MainSdlWindow() { return Self().Window(); }

void SetPresentCapture(bool on) { Self().Presentation().SetCapture(on); }

const std::vector<std::uint32_t>& LastPresentedFrame(int& width, int& height) {
    width = Self().Presentation().LastFrameWidth();
    height = Self().Presentation().LastFrameHeight();
    return Self().Presentation().LastFrame();
}

int RaiseRequestsSeen() { return Self().RaisesSeen(); }

SDL_Joystick* JoystickSlot(int id) { return Self().Sticks().Slot(id); }

}  // namespace plat::sdl
