// krSystem: the application shell. One program-wide record, krSystemState,
// holds the window, start-up flags, frame clock, scenes, wait timers, error
// flag and the keyboard and mouse fields; the operations are free functions
// in the krSystem namespace.
#pragma once
#include <cstdint>

#include "platform/os/types.h"

struct krSystemStateRecord {
    // Window and start-up.
    plat::HWND mainWindow = 0;
    std::uintptr_t instance = 0;
    char commandLine[256] = {};
    std::int32_t startupFlags = 0;
    std::int32_t fullScreen = 1;
    std::int32_t defaultWidth = 0, defaultHeight = 0;
    std::int32_t keepCursorClipped = 0;
    std::int32_t active = 0;
    std::int32_t cursorShown = 1;
    std::int32_t messageBoxOpen = 0;
    std::int32_t closeState = 0;
    std::int32_t shutdownDone = 0;
    bool instanceMutex = false;
    std::int32_t imeEnabled = 0;
    std::int32_t popupWindow = 0;
    std::int32_t sysKeyMode = 0;

    // Frame clock and scenes.
    float frameTime = 0.0f;
    std::uint32_t frameStamp = 0;
    std::int32_t scene = 0;
    std::int32_t nextScene = 0;
    std::int32_t previousScene = 0;
    std::int32_t sceneChanged = 0;
    std::int32_t blink = 1;
    std::uint32_t blinkDeadline = 0;
    std::int32_t clientLeft = 0, clientTop = 0;

    // Pacing and wait timers.
    std::uint8_t pacingEnabled = 0;
    std::uint32_t framePeriod = 0;
    std::uint32_t pacingStamp = 0;
    std::uint32_t waitDeadline[12] = {};  // slots 1..10 timers, 11 Delay

    // Errors and folders.
    std::int32_t errorRaised = 0;
    char saveRoot[256] = {};
    char baseFolder[256] = {};
    char folderName[128] = {};

    // Keyboard and mouse.
    std::int32_t mouseX = 0, mouseY = 0;
    std::int32_t prevMouseX = 0, prevMouseY = 0;
    std::int32_t mouseDX = 0, mouseDY = 0;
    std::int32_t leftDown = 0, rightDown = 0;
    std::int32_t leftPressed = 0, rightPressed = 0;
    std::int32_t leftClick = 0, rightClick = 0;
    std::int32_t leftDoubleClick = 0, rightDoubleClick = 0;
    std::int32_t buttonDown = 0;
    std::int32_t lastButton = 0;
    std::int32_t heldKey = 0;
    std::int32_t lastKey = 0;
    std::int32_t backgroundKey = 0;
    std::int32_t inputSuspended = 0;
    std::int32_t captureKey = 0;
    std::int32_t captureLeft = 0;
    std::int32_t shiftToggle = 0;
    std::int32_t watchedKey = 0, watchedKeyCount = 0;
    std::int32_t cursorClipped = 0;
};

extern krSystemStateRecord krSystemState;

// The two steps a game gives the shell: its start-up step and its frame.
struct krGameSteps {
    void (*startup)() = nullptr;
    void (*frame)() = nullptr;
    // The window caption and single-instance name; null keeps the game's.
    const char* title = nullptr;
};

constexpr std::uint32_t krIdleWait = 999999999u;

namespace krSystem {

// ---- entry, window and main loop ----
void SetGameSteps(const krGameSteps& steps);
// The program entry: start-up, the message loop, and 0 when it ends.
int Entry(const char* commandLine, int showCommand);
void InitState();
int CheckInstance(const char* title);
void EnableIME(int flag);
// Shows the main window as the entry does: hidden with start-up flag 4, and
// top-most in a window unless flag 1 is set.
void ShowMainWindow(int showCommand);
// One pass of frame work of the message loop (exposed for tests).
void FrameWork();
// Runs the message loop until WM_QUIT; returns its exit code.
int MessageLoop();
// A program's main: joins the arguments into the command line (cut to 255
// bytes), runs the process-start step, the entry and the process-exit step.
int Main(int argc, char** argv);
const char* WindowTitle();

// ---- window procedure and shut-down ----
std::intptr_t WindowProc(plat::HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
void SetActive(int flag);
int Shutdown();
void SetSysKeyMode(int mode);

// ---- frame pacing and wait timers ----
void ProcessStart();
void ProcessExit();
int SetFrameRate(std::uint32_t rate);
void SetPacing(int flag);
int WaitFrame();
void ResetFrameClock();
void MeasureFrame();
int SetWait(int number, std::uint32_t ms);
int InitWait(int number);
int CheckWait(int number);
void Delay(std::uint32_t ms);
int ResetTimersAndKeys();

// ---- errors, messages, log and system services ----
int ReportError(const char* label, const char* message, int code = 0);
int ErrorRaised();
int ShutdownOnError();
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
int Ask(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* GetBaseFolder(int redirect);
void ReadSaveRoot(const char* fileName);
const char* SystemFolder();
void SaveNumber(const char* fileName, std::int32_t value);
std::int32_t LoadNumber(const char* fileName);
const char* GetCommandLine();
void GetDate(int* year, int* month, int* day, char* weekday);
void GetTime(int* hour, int* minute, int* second);
std::int32_t GetDiskFree(char drive);
std::uint32_t GetFreeMemory();
int GetOSVersion();
int GetScreenBits();
int IsWindowed();
int CheckColorDepth(const char* settingsFile);

// ---- keyboard and mouse ----
void KeyDown(int vk);
void KeyUp(int vk);
void MouseMove(std::intptr_t lParam);
void MouseButton(std::uint32_t message);
void PollKey(int vk, std::int32_t& state);
int WaitRelease(const int* codes);
void SuspendInput();
void ResumeInput();
void WatchKey(int vk);
int WatchedKeyCount();
void MoveCursor(int x, int y);
void ConfineCursor(int left, int top, int right, int bottom);
void ConfineCursorToScreen();
void FreeCursor();
int IsCursorClipped();
// Press-state transition shared by keys and joystick buttons.
std::int32_t NextPressState(std::int32_t previous, bool down);
// True while polled input is held back (transition, background, suspension).
bool InputHeldBack();

}  // namespace krSystem
