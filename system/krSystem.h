/// @file
/// krSystem: the application shell. One program-wide record, krSystemState,
/// holds the window, start-up flags, frame clock, scenes, wait timers, error
/// flag and the keyboard and mouse fields; the operations are free functions
/// in the krSystem namespace.
#pragma once
#include <cstdint>

#include "platform/os/types.h"

/// The shell's program-wide state: window, frame clock, scenes, timers, errors, keyboard and mouse.
struct krSystemStateRecord {
    // Window and start-up.
    /// The main window.
    plat::HWND mainWindow = 0;
    /// The module instance, used to find the program's folder.
    std::uintptr_t instance = 0;
    /// The command-line text given to the entry.
    char commandLine[256] = {};
    /// Start-up bits: 1 ordinary z-order (else top-most), 2 run frames while inactive, 4 create the window hidden.
    std::int32_t startupFlags = 0;
    /// 1 exclusive full screen, 0 a window (the entry sets 0).
    std::int32_t fullScreen = 1;
    /// @{
    /// The screen size that krDraw::Screen uses when asked for the default (width -1).
    std::int32_t defaultWidth = 0, defaultHeight = 0;
    /// @}
    /// 1 keeps the cursor confined to the screen area.
    std::int32_t keepCursorClipped = 0;
    /// 1 while the program is the active one.
    std::int32_t active = 0;
    /// 1 while the program shows the mouse cursor.
    std::int32_t cursorShown = 1;
    /// 1 while a message box is up.
    std::int32_t messageBoxOpen = 0;
    /// Shut-down progress: 0 running, 1 the window asked to close, 2 shut down.
    std::int32_t closeState = 0;
    /// 1 once krSystem::Shutdown has run; later calls do nothing.
    std::int32_t shutdownDone = 0;
    /// True while this copy holds the single-instance lock.
    bool instanceMutex = false;
    /// The last flag given to krSystem::EnableIME.
    std::int32_t imeEnabled = 0;
    /// 1 for a borderless window covering the desktop (the entry keeps 0).
    std::int32_t popupWindow = 0;
    /// System keys (Alt, F10): 0 swallowed, 1 handled as ordinary keys and passed on, 2 as 1 but Alt itself
    /// swallowed.
    std::int32_t sysKeyMode = 0;

    // Frame clock and scenes.
    /// Length of the last frame in seconds; time-based movement multiplies by it.
    float frameTime = 0.0f;
    /// Clock reading (milliseconds) when frameTime was last measured.
    std::uint32_t frameStamp = 0;
    /// The current scene; the main loop runs the game frame while it is 1.
    std::int32_t scene = 0;
    /// The scene entered when a covering transition ends.
    std::int32_t nextScene = 0;
    /// The scene seen at the end of the previous loop pass.
    std::int32_t previousScene = 0;
    /// 1 during the first frame of a scene.
    std::int32_t sceneChanged = 0;
    /// Blink flag for blinking displays: 1 for 1000 ms, then 0 for 200 ms.
    std::int32_t blink = 1;
    /// Clock time of the next blink toggle.
    std::uint32_t blinkDeadline = 0;
    /// @{
    /// Desktop position of the client area's top-left corner.
    std::int32_t clientLeft = 0, clientTop = 0;
    /// @}

    // Pacing and wait timers.
    /// 1 while krSystem::WaitFrame paces frames by the clock.
    std::uint8_t pacingEnabled = 0;
    /// Milliseconds per frame: 1000 / the rate given to krSystem::SetFrameRate.
    std::uint32_t framePeriod = 0;
    /// Clock time the pacing wait counts the next period from.
    std::uint32_t pacingStamp = 0;
    std::uint32_t waitDeadline[12] = {};  ///< slots 1..10 timers, 11 Delay

    // Errors and folders.
    /// 1 once krSystem::ReportError has reported an error.
    std::int32_t errorRaised = 0;
    /// The folder read by krSystem::ReadSaveRoot.
    char saveRoot[256] = {};
    /// The program's folder with a trailing separator.
    char baseFolder[256] = {};
    /// The folder name krSystem::ReadSaveRoot found.
    char folderName[128] = {};

    // Keyboard and mouse.
    /// @{
    /// Cursor position in client coordinates.
    std::int32_t mouseX = 0, mouseY = 0;
    /// @}
    /// @{
    /// Cursor position at the end of the previous frame.
    std::int32_t prevMouseX = 0, prevMouseY = 0;
    /// @}
    /// @{
    /// Cursor movement since the previous frame.
    std::int32_t mouseDX = 0, mouseDY = 0;
    /// @}
    /// @{
    /// 1 while the button is held.
    std::int32_t leftDown = 0, rightDown = 0;
    /// @}
    /// @{
    /// Latched press: set by a button press, cleared only by its reader.
    std::int32_t leftPressed = 0, rightPressed = 0;
    /// @}
    /// @{
    /// 1 when the button went down since the last frame.
    std::int32_t leftClick = 0, rightClick = 0;
    /// @}
    /// @{
    /// 1 when the button was double-clicked since the last frame.
    std::int32_t leftDoubleClick = 0, rightDoubleClick = 0;
    /// @}
    /// The button that went down last while it is held: 1 left, 2 right, else 0.
    std::int32_t buttonDown = 0;
    /// The button pressed last (1 or 2); cleared only by krSystem::WaitRelease.
    std::int32_t lastButton = 0;
    /// Virtual-key code of the last key pressed, while it is held.
    std::int32_t heldKey = 0;
    /// Virtual-key code of the last key pressed; cleared only by krSystem::WaitRelease.
    std::int32_t lastKey = 0;
    /// The key pressed while the scrolling background runs (the background scrolls by it).
    std::int32_t backgroundKey = 0;
    /// 1 while keys and the left button go only to captureKey and captureLeft.
    std::int32_t inputSuspended = 0;
    /// The key pressed while input is suspended.
    std::int32_t captureKey = 0;
    /// 1 while the left button is held during a suspension.
    std::int32_t captureLeft = 0;
    /// Inverted at every release of Shift.
    std::int32_t shiftToggle = 0;
    /// @{
    /// The key chosen by krSystem::WatchKey and the count of its releases.
    std::int32_t watchedKey = 0, watchedKeyCount = 0;
    /// @}
    /// 1 while the program confines the cursor.
    std::int32_t cursorClipped = 0;
};

/// The program-wide shell state.
extern krSystemStateRecord krSystemState;

// The two steps a game gives the shell: its start-up step and its frame.
/// The two steps a game gives the shell: its start-up step and its frame.
struct krGameSteps {
    /// Runs once after the window is made: sets up the screen, loads assets, sets scene 1.
    void (*startup)() = nullptr;
    /// Runs once per frame while scene is 1: reads input, draws, ends with krDraw::Present.
    void (*frame)() = nullptr;
    /// The window caption and single-instance name; null keeps the game's.
    const char* title = nullptr;
    /// The window's client size in pixels; 0 keeps the default of 800 x 600. A screen of
    /// another size (krDraw::Screen) is shown centred in it at the largest whole scale that
    /// fits, or shrunk with its aspect kept when even its own size does not fit.
    int windowWidth = 0;
    /// The window's client height in pixels; 0 keeps the default (see windowWidth).
    int windowHeight = 0;
    /// A BMP picture for the window's icon (at most 256 x 256), relative to the program's folder
    /// (or an absolute path); the colour of its top-left pixel is transparent. Null: no icon.
    const char* icon = nullptr;
};

/// The deadline of an idle wait timer.
constexpr std::uint32_t krIdleWait = 999999999u;

/// The application shell: entry, window, main loop, pacing, timers, errors, keyboard and mouse.
namespace krSystem {

// ---- entry, window and main loop ----
/// Gives the shell the game's start-up step, frame step and title; call it before krSystem::Main.
void SetGameSteps(const krGameSteps& steps);
/// The program entry: start-up, the message loop, and 0 when it ends.
int Entry(const char* commandLine, int showCommand);
/// Sets every field of krSystemState to its initial value (the entry's first step).
void InitState();
/// Returns 1 when this is the only running copy of the program titled so, else 0 after bringing the other copy to
/// the front.
int CheckInstance(const char* title);
/// Enables (1) or disables (0) the input method editor and records the flag.
void EnableIME(int flag);
/// Shows the main window as the entry does: hidden with start-up flag 4, and
/// top-most in a window unless flag 1 is set.
void ShowMainWindow(int showCommand);
/// One pass of frame work of the message loop (exposed for tests).
void FrameWork();
/// Runs the message loop until WM_QUIT; returns its exit code.
int MessageLoop();
/// A program's main: joins the arguments into the command line (cut to 255
/// bytes), runs the process-start step, the entry and the process-exit step.
int Main(int argc, char** argv);
/// The window caption and single-instance name: the game's title.
const char* WindowTitle();

// ---- window procedure and shut-down ----
/// The main window's procedure: turns window messages into changes of krSystemState and of the input state.
std::intptr_t WindowProc(plat::HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
/// Sets krSystemState.active.
void SetActive(int flag);
/// The orderly shut-down: releases fonts, sound, the screen and the single-instance lock, then closes the window.
/// Returns 1; safe to call more than once.
int Shutdown();
/// Sets how system keys are handled (0, 1 or 2; see krSystemStateRecord::sysKeyMode).
void SetSysKeyMode(int mode);

// ---- frame pacing and wait timers ----
/// The process-start step: 1-ms timer resolution, 60 frames per second, paced frames.
void ProcessStart();
/// The process-exit step: gives back the timer resolution.
void ProcessExit();
/// Sets the frames per second that pacing aims at (period 1000 / rate ms). Returns 1.
int SetFrameRate(std::uint32_t rate);
/// Turns clock pacing on (1) or off (0); off waits for the vertical blank instead.
void SetPacing(int flag);
/// The pacing wait after each game frame: sleeps out the rest of the frame period. Returns 1.
int WaitFrame();
/// Restarts the frame clock: frameTime 0, frameStamp now.
void ResetFrameClock();
/// Measures frameTime since frameStamp and restarts the measurement.
void MeasureFrame();
/// Arms wait timer 1 to 10 to expire ms milliseconds from now. Returns 1, or 0 after an error report for another
/// number.
int SetWait(int number, std::uint32_t ms);
/// Puts wait timer 1 to 10 to idle. Returns 1, or 0 after an error report for another number.
int InitWait(int number);
/// Returns 1 when wait timer 1 to 10 has expired, else 0.
int CheckWait(int number);
/// Blocks for at least ms milliseconds, then restarts the frame clock.
void Delay(std::uint32_t ms);
/// Puts every wait timer to idle and resets key handling (called by krDraw::Screen). Returns 1.
int ResetTimersAndKeys();

// ---- errors, messages, log and system services ----
/// The engine's one error report: shows the message under the label and sets the error flag. Returns 0.
int ReportError(const char* label, const char* message, int code = 0);
/// A load that could not read its file: the same report as ReportError (the box text unchanged), and one line
/// naming the file as the system names it ("<program>: <label>: cannot read <path>") on standard error and in the
/// debug log. Returns 0.
int ReportLoadError(const char* label, const char* message, const char* file);
/// Returns 1 once an error has been reported, else 0.
int ErrorRaised();
/// Shuts down when an error has been reported; returns the error flag.
int ShutdownOnError();
/// Shows a formatted message in a message box and waits for OK.
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Asks a formatted yes/no question in a message box: 1 for yes, 0 for no.
int Ask(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Writes a formatted line to the debug log.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// The program's folder with a trailing separator (redirect 1: the save folder read by krSystem::ReadSaveRoot, when
/// one is set).
const char* GetBaseFolder(int redirect);
/// Reads the save-folder redirection file of that name from the system folder.
void ReadSaveRoot(const char* fileName);
/// The folder holding the save-folder redirection file ($KR_SYSTEM_FOLDER, else $XDG_CONFIG_HOME, else ~/.config).
const char* SystemFolder();
/// Writes a 32-bit number into a file of the program's folder.
void SaveNumber(const char* fileName, std::int32_t value);
/// Reads the 32-bit number that krSystem::SaveNumber wrote (0 when the file cannot be read).
std::int32_t LoadNumber(const char* fileName);
/// The command-line text given to the entry.
const char* GetCommandLine();
/// Today's date: year, month 1 to 12, day and the weekday's name.
void GetDate(int* year, int* month, int* day, char* weekday);
/// The time of day: hour, minute, second.
void GetTime(int* hour, int* minute, int* second);
/// Free bytes of the file system holding the program's folder, capped at 2^31 - 1.
std::int32_t GetDiskFree(char drive);
/// Available physical memory in bytes.
std::uint32_t GetFreeMemory();
/// The system's version number (major * 1000 + minor * 10).
int GetOSVersion();
/// The desktop's bits per pixel.
int GetScreenBits();
/// Returns 1 in a window, 0 in full-screen mode.
int IsWindowed();
/// Before krDraw::Screen: asks to continue when the desktop depth does not suit. Returns 1 to go on, 0 when the
/// program is shutting down.
int CheckColorDepth(const char* settingsFile);

// ---- keyboard and mouse ----
/// A key went down (from the window procedure): records it; Escape shuts the program down.
void KeyDown(int vk);
/// A key went up (from the window procedure): release bookkeeping.
void KeyUp(int vk);
/// The cursor moved (from the window procedure); lParam holds x and y.
void MouseMove(std::intptr_t lParam);
/// A mouse button message (from the window procedure): button bookkeeping.
void MouseButton(std::uint32_t message);
/// Advances a press state from the key's current state: 0 up, 1 just went down, 3 held, 2 just went up. Call once
/// per frame per key; reads 0 while input is held back. vk is a virtual-key code: the `plat::VK_*` constants of
/// "platform/os/types.h" (VK_LEFT 37, VK_UP 38, VK_RIGHT 39, VK_DOWN 40, VK_SPACE 32, VK_RETURN 13, VK_ESCAPE 27,
/// VK_SHIFT 16, ...), and a letter or digit as its upper-case character ('C' 67, '1' 49).
void PollKey(int vk, std::int32_t& state);
/// Reports a whole press and release of one of the listed codes (ending with 0; 1 and 2 the mouse buttons): that
/// code, else 0.
int WaitRelease(const int* codes);
/// Suspends input: keys and the left button go only to the capture fields.
void SuspendInput();
/// Ends a suspension and clears the held key.
void ResumeInput();
/// Chooses a key whose releases are counted, and zeroes the count.
void WatchKey(int vk);
/// The number of releases of the watched key.
int WatchedKeyCount();
/// Places the cursor at a point of the client area.
void MoveCursor(int x, int y);
/// Confines the cursor to a desktop rectangle.
void ConfineCursor(int left, int top, int right, int bottom);
/// Confines the cursor to the screen area.
void ConfineCursorToScreen();
/// Removes any cursor confinement.
void FreeCursor();
/// Returns 1 while the cursor is confined.
int IsCursorClipped();
/// Press-state transition shared by keys and joystick buttons.
std::int32_t NextPressState(std::int32_t previous, bool down);
/// True while polled input is held back (transition, background, suspension).
bool InputHeldBack();

}  // namespace krSystem
