// The window system's shared logic: window class and window bookkeeping, the
// message queue and dispatch, key state, the cursor's display counter, message
// boxes, the clock and file names. The active backend supplies the OS edge.
#include "platform/os/window.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/os/notice.h"
#include "platform/images/present_dump.h"
#include "platform/os/backend.h"
#include "platform/text/cp932.h"
#include "platform/headless/headless.h"

namespace plat {
namespace {

struct WindowSystem {
    std::map<std::string, WndProc> classes;
    HWND window = 0;
    WndProc proc = nullptr;
    std::deque<Message> queue;
    bool quitPosted = false;
    int quitCode = 0;
    bool keyDown[256] = {};
    int cursorCounter = 0;
    bool cursorArrow = true;
    bool clipped = false;
    Rect clipRect;
};

WindowSystem& System() {
    static WindowSystem ws;
    return ws;
}

Backend* activeBackend = nullptr;

constexpr HWND kMainWindow = 1;

void UpdateCursorVisibility() {
    ActiveBackend().SetCursorVisible(System().cursorCounter >= 0 && System().cursorArrow);
}

void RecordKey(const Message& msg) {
    bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    if ((down || up) && msg.wParam < 256) System().keyDown[msg.wParam] = down;
}

}  // namespace

void SetBackend(Backend* backend) { activeBackend = backend; }

Backend& ActiveBackend() {
    if (!activeBackend) activeBackend = &headless::Instance();
    return *activeBackend;
}

// ---- window class and window ----

bool RegisterWindowClass(const char* className, WndProc proc, std::uint32_t) {
    if (!className || !proc) return false;
    System().classes[className] = proc;
    return true;
}

HWND CreateMainWindow(const char* className, const char* caption, std::uint32_t, int x, int y, int width,
                      int height) {
    WindowSystem& ws = System();
    auto found = ws.classes.find(className ? className : "");
    if (found == ws.classes.end() || ws.window != 0) return 0;
    WindowDesc desc;
    desc.captionUtf8 = Cp932ToUtf8(caption ? caption : "");
    desc.x = x;
    desc.y = y;
    desc.width = width;
    desc.height = height;
    desc.hidden = true;  // shown by ShowWindow
    if (!ActiveBackend().CreateWindow(desc)) return 0;
    StartPresentDumpFromEnvironment();  // each window's frames are numbered from 000
    ws.window = kMainWindow;
    ws.proc = found->second;
    ws.quitPosted = false;
    return ws.window;
}

HWND MainWindow() { return System().window; }

bool IsWindow(HWND hwnd) { return hwnd != 0 && hwnd == System().window; }

void ShowWindow(HWND hwnd, int showCommand) {
    if (!IsWindow(hwnd)) return;
    if (showCommand == SW_MINIMIZE)
        ActiveBackend().MinimizeWindow();
    else
        ActiveBackend().ShowWindow(showCommand != SW_HIDE);
}

void UpdateWindow(HWND) {}

void SetTopmost(HWND hwnd, bool topmost) {
    if (IsWindow(hwnd)) ActiveBackend().SetTopmost(topmost);
}

void MinimizeWindow(HWND hwnd) {
    if (IsWindow(hwnd)) ActiveBackend().MinimizeWindow();
}

bool DestroyWindow(HWND hwnd) {
    WindowSystem& ws = System();
    if (!IsWindow(hwnd)) return false;
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    ActiveBackend().DestroyWindow();
    ws.window = 0;
    ws.proc = nullptr;
    return true;
}

int GetSystemMetrics(int index) {
    int w = 0, h = 0;
    switch (index) {
        case SM_CXSCREEN:
            ActiveBackend().DesktopSize(w, h);
            return w;
        case SM_CYSCREEN:
            ActiveBackend().DesktopSize(w, h);
            return h;
        default:
            return 0;  // this platform's windows have no frame of their own to measure
    }
}

Point ClientOrigin(HWND hwnd) { return IsWindow(hwnd) ? ActiveBackend().ClientOrigin() : Point{}; }

std::vector<std::uint32_t> IconPixels(const Surface& picture) {
    std::vector<std::uint32_t> argb;
    if (picture.pixels == nullptr || picture.width < 1 || picture.height < 1) return argb;
    argb.reserve(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    const std::uint32_t key = GetPixel(picture, 0, 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t pixel = GetPixel(picture, x, y);
            std::uint8_t r = 0, g = 0, b = 0;
            UnmapRGB(picture.format, pixel, r, g, b);
            argb.push_back(pixel == key ? 0u : 0xFF000000u | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b);
        }
    }
    return argb;
}

void SetWindowIcon(HWND hwnd, const Surface& picture) {
    if (!IsWindow(hwnd)) return;
    const std::vector<std::uint32_t> argb = IconPixels(picture);
    if (!argb.empty()) ActiveBackend().SetIcon(argb, picture.width, picture.height);
}

// ---- messages ----

void PostMessage(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    System().queue.push_back(Message{hwnd, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
    System().quitPosted = true;
    System().quitCode = exitCode;
}

std::vector<void (*)()>& MainThreadHooks() {
    static std::vector<void (*)()> hooks;
    return hooks;
}

void AddMainThreadHook(void (*hook)()) {
    auto& hooks = MainThreadHooks();
    if (hook && std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

bool PeekMessage(Message& out) {
    WindowSystem& ws = System();
    for (auto hook : MainThreadHooks()) hook();
    ActiveBackend().PumpEvents();
    if (!ws.queue.empty()) {
        out = ws.queue.front();
        ws.queue.pop_front();
        return true;
    }
    if (ws.quitPosted) {
        ws.quitPosted = false;
        out = Message{0, WM_QUIT, static_cast<std::uintptr_t>(ws.quitCode), 0};
        return true;
    }
    return false;
}

void WaitMessage() {
    WindowSystem& ws = System();
    if (!ws.queue.empty() || ws.quitPosted) return;
    ActiveBackend().WaitEvents();
}

std::intptr_t DispatchMessage(const Message& msg) {
    RecordKey(msg);
    if (!IsWindow(msg.hwnd) || !System().proc) return 0;
    return System().proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

std::intptr_t SendMessage(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!IsWindow(hwnd) || !System().proc) return 0;
    return System().proc(hwnd, message, wParam, lParam);
}

std::intptr_t DefWindowProc(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    constexpr std::intptr_t kAltDown = 1 << 29;  // context code of a system key message
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == 0x73 /* F4 */ && (lParam & kAltDown)) PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessage(hwnd, WM_CLOSE, 0, 0);
            if ((wParam & 0xFFF0) == SC_MINIMIZE) MinimizeWindow(hwnd);
            if ((wParam & 0xFFF0) == SC_SCREENSAVE) ActiveBackend().AllowScreenSaver();
            return 0;
        case WM_SETCURSOR:
            SetCursorShape(true);
            return 1;
        default:
            return 0;
    }
}

std::size_t PendingMessageCount() { return System().queue.size(); }

std::int16_t GetKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    return System().keyDown[vk] ? static_cast<std::int16_t>(0x8000 | 0x80) : 0;
}

void ClearKeyState() {
    for (bool& k : System().keyDown) k = false;
}

// ---- cursor ----

int ShowCursor(bool show) {
    System().cursorCounter += show ? 1 : -1;
    UpdateCursorVisibility();
    return System().cursorCounter;
}

int CursorDisplayCounter() { return System().cursorCounter; }

bool GetCursorPos(Point& desktop) { return ActiveBackend().GetCursorPos(desktop); }

bool SetCursorPos(int x, int y) { return ActiveBackend().SetCursorPos(x, y); }

void ClipCursor(const Rect* rect) {
    System().clipped = rect != nullptr;
    if (rect) System().clipRect = *rect;
    ActiveBackend().ClipCursor(rect);
}

bool CursorClipRect(Rect& out) {
    if (System().clipped) out = System().clipRect;
    return System().clipped;
}

void SetCursorShape(bool arrow) {
    if (System().cursorArrow == arrow) return;
    System().cursorArrow = arrow;
    UpdateCursorVisibility();
}

// ---- message boxes ----

int MessageBox(HWND, const char* text, const char* caption, std::uint32_t flags) {
    return ActiveBackend().MessageBox(Cp932ToUtf8(text ? text : ""), Cp932ToUtf8(caption ? caption : ""), flags);
}

void MessageBeep(std::uint32_t) { ActiveBackend().Beep(); }

// ---- single-instance lock ----

bool CreateInstanceLock(const char* name, bool& alreadyExists) {
    return ActiveBackend().CreateInstanceLock(Cp932ToUtf8(name), alreadyExists);
}

void ReleaseInstanceLock() { ActiveBackend().ReleaseInstanceLock(); }

bool RaiseOtherInstance(const char* name) { return ActiveBackend().RaiseOtherInstance(Cp932ToUtf8(name)); }

// ---- time ----

std::uint32_t TimeGetTime() { return ActiveBackend().Ticks(); }

void Sleep(std::uint32_t ms) { ActiveBackend().Sleep(ms); }

std::uint32_t Backend::RandomSeed() { return static_cast<std::uint32_t>(std::time(nullptr)); }

std::uint32_t RandomSeed() { return ActiveBackend().RandomSeed(); }

// ---- program and files ----

// ProgramPath is the system's: program_path_posix.cpp, program_path_win32.cpp.

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Finds an entry of dir whose name equals name ignoring ASCII case.
bool FindIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool ok = false;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    closedir(d);
    return ok;
}

}  // namespace

std::string ResolvePath(const std::string& name) {
    std::string path = Cp932ToUtf8(name.c_str());
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || Exists(path)) return path;

    // Walk the components, keeping each one that exists and looking up the
    // others without regard to case.
    std::string resolved = path[0] == '/' ? "/" : "";
    std::size_t pos = path[0] == '/' ? 1 : 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        std::string part = path.substr(pos, next - pos);
        if (!part.empty()) {
            std::string candidate = resolved + part;
            std::string found;
            if (!Exists(candidate) && FindIgnoringCase(resolved, part, found)) candidate = resolved + found;
            resolved = candidate;
            if (next < path.size()) resolved += '/';
        }
        pos = next + 1;
    }
    return resolved;
}

// ---- display ----

namespace {

// The depth KR_DESKTOP_BITS asks for: 15 (5-5-5), 16, 24 or 32.
int DesktopFormatBits() {
    const char* env = std::getenv("KR_DESKTOP_BITS");
    if (env && *env) {
        const std::string text = env;
        if (text == "15" || text == "16" || text == "24" || text == "32") return std::atoi(env);
        static bool told = false;  // the depth is asked for often; one line is enough
        if (!told) Notice("KR_DESKTOP_BITS=" + text + " is none of 15, 16, 24, 32; the desktop has 16 bits");
        told = true;
    }
    return 16;
}

}  // namespace

int DesktopBits() {
    // A 5-5-5 mode is a 16-bit mode with other masks.
    const int bits = DesktopFormatBits();
    return bits == 15 ? 16 : bits;
}

PixelFormat DesktopFormat() { return FormatForBits(DesktopFormatBits()); }

Surface* FrontSurface() { return ActiveBackend().FrontSurface(); }

void PresentFront() {
    ActiveBackend().PresentFront();
    PresentDump& dump = ProgramPresentDump();
    if (dump.Active())
        if (const Surface* front = ActiveBackend().FrontSurface()) dump.Offer(*front);
}

void FlipToGDISurface() { ActiveBackend().FlipToGDISurface(); }

bool SetFullScreen(bool on) { return ActiveBackend().SetFullScreen(on); }

void WaitForVerticalBlank() { ActiveBackend().WaitForVerticalBlank(); }

// ---- joysticks ----

bool ReadJoystick(int id, JoystickReading& out) { return ActiveBackend().ReadJoystick(id, out); }

void JoystickConfigChanged() { ActiveBackend().JoystickConfigChanged(); }

// ---- resetting (tests) ----

namespace headless {
void ResetWindowSystem() {
    WindowSystem& ws = System();
    ws.window = 0;
    ws.proc = nullptr;
    ws.queue.clear();
    ws.quitPosted = false;
    for (bool& k : ws.keyDown) k = false;
    ws.cursorCounter = 0;
    ws.cursorArrow = true;
    ws.clipped = false;
}
}  // namespace headless

}  // namespace plat
