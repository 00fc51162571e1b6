// The edge of the platform layer towards the operating system. The shared
// logic of platform/os/window.cpp calls these operations of the active backend.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/os/window.h"

namespace plat {

struct WindowDesc {
    std::string captionUtf8;
    int x = 0, y = 0;
    int width = 0, height = 0;
    bool hidden = false;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;

    // Window. The backend creates the front surface of the client size.
    virtual bool CreateWindow(const WindowDesc& desc) = 0;
    virtual void DestroyWindow() = 0;
    virtual void ShowWindow(bool visible) = 0;
    virtual void MinimizeWindow() = 0;
    virtual void SetTopmost(bool topmost) = 0;
    virtual Point ClientOrigin() = 0;
    // The window's icon, ARGB8888 pixels with rows top-down.
    virtual void SetIcon(const std::vector<std::uint32_t>& argb, int width, int height) {}
    virtual void DesktopSize(int& width, int& height) = 0;
    virtual Surface* FrontSurface() = 0;
    virtual void PresentFront() = 0;
    virtual void WaitForVerticalBlank() = 0;
    // Before a message box: the system's own windows must show over the
    // display. Nothing to do where the display is an ordinary window.
    virtual void FlipToGDISurface() {}
    // The default handling of SC_SCREENSAVE: the screen saver may start.
    virtual void AllowScreenSaver() {}
    // A backend without a display of its own has nothing to switch.
    virtual bool SetFullScreen(bool on) { return true; }

    // Events become posted messages (plat::PostMessage).
    virtual void PumpEvents() = 0;
    // Blocks until an event may have arrived.
    virtual void WaitEvents() = 0;

    // Cursor.
    virtual void SetCursorVisible(bool visible) = 0;
    virtual bool GetCursorPos(Point& desktop) = 0;
    virtual bool SetCursorPos(int x, int y) = 0;
    virtual void ClipCursor(const Rect* rect) = 0;

    // Message box with UTF-8 texts; returns IDOK, IDYES or IDNO.
    virtual int MessageBox(const std::string& textUtf8, const std::string& captionUtf8, std::uint32_t flags) = 0;
    virtual void Beep() = 0;

    // Single-instance lock.
    virtual bool CreateInstanceLock(const std::string& name, bool& alreadyExists) = 0;
    virtual void ReleaseInstanceLock() = 0;
    virtual bool RaiseOtherInstance(const std::string& name) = 0;

    // Time.
    virtual std::uint32_t Ticks() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // The seed of the program's random numbers: the calendar time, unless
    // the edge replays a session that fixed it.
    virtual std::uint32_t RandomSeed();

    // Joysticks.
    virtual bool ReadJoystick(int id, JoystickReading& out) = 0;
    virtual void JoystickConfigChanged() = 0;

    // Audio output: opens the default device at `format`; from then on the
    // device pulls plat::audio::Mix by itself (or, headless, tests pull it).
    // False when there is no device. The mixer's lock is the only lock.
    virtual bool OpenAudio(const audio::PcmFormat& format) { return false; }
    virtual void CloseAudio() {}
    // True where a device pulls the mix by itself in real time (slow set-up
    // is then better done ahead, off the main thread).
    virtual bool AudioRunsInRealTime() const { return false; }
};

// Makes a backend the active one (not owned). Until one is set, a headless
// backend is used.
void SetBackend(Backend* backend);
Backend& ActiveBackend();

}  // namespace plat
