// The headless backend: no window on screen, a virtual millisecond clock,
// scripted message-box answers, cursor, joysticks and other instances. Tests
// and replays drive it through the functions below.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/backend.h"

namespace plat::headless {

struct BoxRecord {
    std::string textUtf8;
    std::string captionUtf8;
    std::uint32_t flags = 0;
    int answer = 0;
    int flipsBefore = 0;  // FlipToGDISurface calls made before the box came up
};

Backend& Instance();

// Puts the backend and the shared window system back to a fresh state:
// clock 0, no window, empty queue, no scripted answers, no joysticks.
void Reset();
// Clears the shared window system only (queue, window, key state, cursor).
void ResetWindowSystem();

// Virtual clock. It advances by sleeps, and by 1 ms for every 64 readings
// taken without a sleep between them, so that busy waits end.
void SetClock(std::uint32_t ms);
// Readings the clock gives next, in order (a replay of recorded ones),
// replacing any not yet given; after the last the clock runs on from it.
struct ClockReading {
    std::uint32_t ms = 0;
    std::uint32_t times = 1;
};
void SetClockReadings(const std::vector<ClockReading>& readings);
void AdvanceClock(std::uint32_t ms);
std::uint32_t Clock();
std::uint64_t TotalSleptMs();

// Message boxes: answers are taken in order; without one, OK boxes answer
// IDOK and yes/no boxes IDNO. Every box is recorded and echoed to stderr.
void QueueAnswer(int answer);
const std::vector<BoxRecord>& Boxes();
void ClearBoxes();
int BeepCount();

// Called whenever the message queue is pumped or waited on; a test or the
// replay driver posts its scripted messages from here.
void SetPumpHook(std::function<void()> hook);

// Window.
bool WindowExists();
bool WindowVisible();
bool WindowTopmost();
bool WindowMinimized();
const std::string& WindowCaption();
void SetClientOrigin(int x, int y);
// The window's icon as ARGB8888 pixels (empty when it has none).
const std::vector<std::uint32_t>& WindowIcon(int& width, int& height);
void SetDesktopSize(int width, int height);
int PresentCount();
int FlipToGDICount();
// Times the default window procedure let the screen saver start.
int ScreenSaverStarts();
// When set, creating the window fails (no display).
void FailWindowCreation(bool fail);

// Cursor.
bool CursorVisible();
void SetCursorDesktopPos(int x, int y);
// Moves the pointer as a user would: over the window's client area this
// posts WM_SETCURSOR and then WM_MOUSEMOVE, as the real edge does.
void MovePointer(int desktopX, int desktopY);

// Single-instance lock: names held by "other processes".
void SetHeldByOther(const std::string& name, bool held);
bool InstanceLockHeld();
const std::vector<std::string>& RaiseRequests();

// Joysticks.
void SetJoystick(int id, bool present, std::uint32_t x = 32767, std::uint32_t y = 32767, std::uint32_t buttons = 0);
int JoystickConfigChanges();

// Audio. The device opens unless told to fail; nothing pulls the mix by
// itself: RenderAudio mixes `frames` frames of the output format into memory.
void FailAudioDevice(bool fail);
std::vector<std::uint8_t> RenderAudio(int frames);
// The same, for a 16-bit output format: the samples, channels interleaved.
std::vector<std::int16_t> RenderAudio16(int frames);

}  // namespace plat::headless
