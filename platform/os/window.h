// The window-system services of the platform layer: one main window, a
// message queue delivering classic window messages to a window procedure,
// key state, the cursor, message boxes, the single-instance lock, the
// millisecond clock, the desktop, the front surface and joystick readings.
//
// The message queue, key state, cursor counter and message-box text
// conversion live here once; a Backend (platform/os/backend.h) is only the edge
// towards the operating system, and one backend is active at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pixels/surface.h"
#include "platform/os/types.h"

namespace plat {

using WndProc = std::intptr_t (*)(HWND, std::uint32_t, std::uintptr_t, std::intptr_t);

struct Message {
    HWND hwnd = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// ---- window class and window ----
bool RegisterWindowClass(const char* className, WndProc proc, std::uint32_t style);
// Creates the main window. x, y, width and height are the outer rectangle in
// desktop coordinates; this platform draws no frame, so the outer size is
// the client size. caption is CP932. Returns 0 when no window can be made.
HWND CreateMainWindow(const char* className, const char* caption, std::uint32_t style, int x, int y,
                      int width, int height);
HWND MainWindow();
bool IsWindow(HWND hwnd);
void ShowWindow(HWND hwnd, int showCommand);
void UpdateWindow(HWND hwnd);
void SetTopmost(HWND hwnd, bool topmost);
void MinimizeWindow(HWND hwnd);
// Sends WM_DESTROY to the window procedure, then destroys the window.
bool DestroyWindow(HWND hwnd);
int GetSystemMetrics(int index);
// Desktop position of the client area's top-left corner.
Point ClientOrigin(HWND hwnd);
// Gives the window an icon: the picture with its top-left pixel's colour
// transparent (the picture is copied).
void SetWindowIcon(HWND hwnd, const Surface& picture);
// The icon as ARGB8888 pixels, rows top-down: opaque, except the pixels of
// the top-left pixel's colour, which are fully transparent.
std::vector<std::uint32_t> IconPixels(const Surface& picture);

// ---- messages ----
void PostMessage(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
void PostQuitMessage(int exitCode);
// Takes the next message without waiting (the backend's events are pumped
// into the queue first). False when none waits.
bool PeekMessage(Message& out);
// Blocks until a message waits.
void WaitMessage();
// Updates the key state for key messages, then calls the window procedure.
std::intptr_t DispatchMessage(const Message& msg);
// Calls the window procedure directly.
std::intptr_t SendMessage(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
// The system's default handling: WM_CLOSE destroys the window, Alt+F4 as a
// system key asks to close, SC_CLOSE closes, SC_MINIMIZE minimises and
// SC_SCREENSAVE lets the screen saver start; the rest is ignored.
std::intptr_t DefWindowProc(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
std::size_t PendingMessageCount();
// Work the main thread does each time it looks for messages, before the
// backend's events: results of other threads (the end of a MIDI piece)
// become posted messages here. Adding a hook twice adds it once.
void AddMainThreadHook(void (*hook)());

// Key state as the messages taken so far left it: bit 0x80 set while down.
std::int16_t GetKeyState(int vk);
void ClearKeyState();

// ---- cursor ----
// Moves the display counter by one; the cursor shows while it is >= 0.
int ShowCursor(bool show);
int CursorDisplayCounter();
bool GetCursorPos(Point& desktop);
bool SetCursorPos(int x, int y);
// Confines the cursor to a desktop rectangle; nullptr frees it.
void ClipCursor(const Rect* rect);
bool CursorClipRect(Rect& out);
// The window's cursor shape: the arrow, or none (the cursor disappears over
// the window whatever the display counter says).
void SetCursorShape(bool arrow);

// ---- message boxes ----
// text and caption are CP932. Returns IDOK, IDYES or IDNO.
int MessageBox(HWND owner, const char* text, const char* caption, std::uint32_t flags);
void MessageBeep(std::uint32_t type);

// ---- single-instance lock ----
// Takes a named lock shared by every process of the user. alreadyExists is
// true when another process holds it (the lock is then not taken).
bool CreateInstanceLock(const char* name, bool& alreadyExists);
void ReleaseInstanceLock();
// Asks the copy that holds the lock to bring its window to the front.
bool RaiseOtherInstance(const char* name);

// ---- time ----
std::uint32_t TimeGetTime();  // milliseconds, wraps at 32 bits
void Sleep(std::uint32_t ms);
std::uint32_t RandomSeed();  // the seed for the program's random numbers

// ---- program and files ----
// Full path of the running program.
std::string ProgramPath();
// Turns a name written with '\' or '/' into a path of this system; a relative
// component that does not exist with its exact case is looked up
// case-insensitively.
std::string ResolvePath(const std::string& name);

// ---- display ----
// Bits per pixel of the desktop as its mode reports them: 16 unless
// KR_DESKTOP_BITS says 24 or 32. KR_DESKTOP_BITS=15 chooses a 5-5-5 desktop,
// which reports 16 bits like a 5-6-5 one.
int DesktopBits();
// The desktop's pixel format (5-5-5 for KR_DESKTOP_BITS=15).
PixelFormat DesktopFormat();
// The visible surface of the main window (client size, desktop format);
// created with the window, nullptr before.
Surface* FrontSurface();
// Shows the front surface in the window.
void PresentFront();
// Full-screen mode: the logical screen scaled over the whole display with its
// aspect kept (on), or the ordinary window (off). While it is on, desktop
// coordinates are those of the logical screen, as after a display-mode change.
// False when the display refuses the switch.
bool SetFullScreen(bool on);
void WaitForVerticalBlank();
// Makes sure that what the system draws itself (message boxes) shows over
// the display, as full-screen mode needs before a box comes up.
void FlipToGDISurface();

// ---- joysticks ----
struct JoystickReading {
    std::uint32_t x = 0, y = 0;  // 0..65535, centre near 32767
    std::uint32_t buttons = 0;   // bit n-1 = button n
};
// False when the joystick is absent or unplugged.
bool ReadJoystick(int id, JoystickReading& out);
void JoystickConfigChanged();

}  // namespace plat
