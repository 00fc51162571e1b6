// The SDL edge on SDL's dummy video driver: synthetic SDL events become the
// right window messages, a present shows the front surface's pixels in every
// depth, full-screen scaling maps the mouse back, the cursor, message boxes,
// the cross-process instance guard, joysticks (SDL's virtual devices) and the
// shell's ways out running on real SDL events.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/cp932.h"
#include "platform/headless/headless.h"
#include "platform/sdl/instance_guard.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/window.h"
#include "system/krSystem.h"

namespace {

using plat::Message;

std::intptr_t QuietProc(plat::HWND, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

class SdlBackendTest : public testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }

    void SetUp() override {
        plat::headless::ResetWindowSystem();
        plat::SetBackend(&plat::sdl::Instance());
        plat::RegisterWindowClass("SDLTEST", &QuietProc, 0);
    }

    void TearDown() override {
        if (plat::MainWindow()) plat::DestroyWindow(plat::MainWindow());
        plat::sdl::SetPresentCapture(false);
        plat::ClipCursor(nullptr);
        Drain();
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::ResetWindowSystem();
        unsetenv("KR_DESKTOP_BITS");
    }

    // Creates the window at (100, 50) and shows it; the messages of the
    // showing are returned.
    std::vector<Message> Open() {
        hwnd = plat::CreateMainWindow("SDLTEST", "ポコタンバ！", 0, 100, 50, 800, 600);
        EXPECT_NE(hwnd, 0u) << SDL_GetError();
        plat::ShowWindow(hwnd, plat::SW_SHOWNORMAL);
        return Drain();
    }

    static std::vector<Message> Drain() {
        std::vector<Message> all;
        Message m;
        while (plat::PeekMessage(m)) {
            if (m.message != plat::WM_QUIT) all.push_back(m);
        }
        return all;
    }

    static Uint32 WindowId() { return SDL_GetWindowID(plat::sdl::MainSdlWindow()); }

    static std::vector<Message> After(SDL_Event e) {
        SDL_PushEvent(&e);
        return Drain();
    }

    static SDL_Event Key(Uint32 type, SDL_Scancode code, SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = WindowId();
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        return e;
    }

    static SDL_Event Button(Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = WindowId();
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = clicks;
        e.button.x = x;
        e.button.y = y;
        return e;
    }

    static SDL_Event Motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = WindowId();
        e.motion.x = x;
        e.motion.y = y;
        return e;
    }

    static SDL_Event Window(Uint8 event, int data1 = 0, int data2 = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = WindowId();
        e.window.event = event;
        e.window.data1 = data1;
        e.window.data2 = data2;
        return e;
    }

    plat::HWND hwnd = 0;
};

constexpr std::intptr_t Bit(int n) { return static_cast<std::intptr_t>(1) << n; }

// ---- window ----

TEST_F(SdlBackendTest, WindowHasCaptionClientSizeAndNoResizingAndAnnouncesItsPlace) {
    hwnd = plat::CreateMainWindow("SDLTEST", "ポコタンバ！", 0, 100, 50, 800, 600);
    ASSERT_NE(hwnd, 0u) << SDL_GetError();
    SDL_Window* w = plat::sdl::MainSdlWindow();
    EXPECT_STREQ(SDL_GetWindowTitle(w), reinterpret_cast<const char*>(u8"ポコタンバ！"));
    int width = 0, height = 0;
    SDL_GetWindowSize(w, &width, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN) << "shown only by ShowWindow";
    EXPECT_TRUE(Drain().empty()) << "a hidden window announces nothing";

    plat::ShowWindow(hwnd, plat::SW_SHOWNORMAL);
    EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN);
    std::vector<Message> shown = Drain();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].message, plat::WM_MOVE);
    EXPECT_EQ(shown[0].lParam, plat::MakeLParam(100, 50));
    EXPECT_EQ(plat::ClientOrigin(hwnd).x, 100);

    plat::Surface* front = plat::FrontSurface();
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->width, 800);
    EXPECT_EQ(front->height, 600);
    EXPECT_EQ(front->format.bits, 16);
}

// ---- keys ----

struct KeyCase {
    const char* name;
    Uint32 type;
    SDL_Scancode code;
    SDL_Keycode sym;
    Uint16 mod;
    Uint8 repeat;
    std::uint32_t message;
    int vk;
    std::intptr_t lParam;
};

constexpr std::intptr_t Scan(int s) { return static_cast<std::intptr_t>(s) << 16; }
constexpr std::intptr_t kUp = Bit(30) | Bit(31);

const KeyCase kKeyCases[] = {
    {"letter", SDL_KEYDOWN, SDL_SCANCODE_C, 'c', 0, 0, plat::WM_KEYDOWN, 'C', 1 | Scan(0x2E)},
    {"letter up", SDL_KEYUP, SDL_SCANCODE_V, 'v', 0, 0, plat::WM_KEYUP, 'V', 1 | Scan(0x2F) | kUp},
    {"auto-repeat", SDL_KEYDOWN, SDL_SCANCODE_Z, 'z', 0, 1, plat::WM_KEYDOWN, 'Z', 1 | Scan(0x2C) | Bit(30)},
    {"letter by layout", SDL_KEYDOWN, SDL_SCANCODE_Q, 'a', 0, 0, plat::WM_KEYDOWN, 'A', 1 | Scan(0x10)},
    {"digit", SDL_KEYDOWN, SDL_SCANCODE_5, '5', 0, 0, plat::WM_KEYDOWN, '5', 1 | Scan(0x06)},
    {"digit zero", SDL_KEYDOWN, SDL_SCANCODE_0, '0', 0, 0, plat::WM_KEYDOWN, '0', 1 | Scan(0x0B)},
    {"arrow", SDL_KEYDOWN, SDL_SCANCODE_LEFT, SDLK_LEFT, 0, 0, plat::WM_KEYDOWN, plat::VK_LEFT,
     1 | Scan(0x4B) | Bit(24)},
    {"arrow up", SDL_KEYUP, SDL_SCANCODE_DOWN, SDLK_DOWN, 0, 0, plat::WM_KEYUP, plat::VK_DOWN,
     1 | Scan(0x50) | Bit(24) | kUp},
    {"F1", SDL_KEYDOWN, SDL_SCANCODE_F1, SDLK_F1, 0, 0, plat::WM_KEYDOWN, plat::VK_F1, 1 | Scan(0x3B)},
    {"F12", SDL_KEYDOWN, SDL_SCANCODE_F12, SDLK_F12, 0, 0, plat::WM_KEYDOWN, plat::VK_F12, 1 | Scan(0x58)},
    {"Escape", SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 0, plat::WM_KEYDOWN, plat::VK_ESCAPE,
     1 | Scan(0x01)},
    {"Enter", SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, 0, 0, plat::WM_KEYDOWN, plat::VK_RETURN,
     1 | Scan(0x1C)},
    {"keypad Enter", SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0, 0, plat::WM_KEYDOWN, plat::VK_RETURN,
     1 | Scan(0x1C) | Bit(24)},
    {"Space", SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 0, 0, plat::WM_KEYDOWN, plat::VK_SPACE, 1 | Scan(0x39)},
    {"keypad 7", SDL_KEYDOWN, SDL_SCANCODE_KP_7, SDLK_KP_7, 0, 0, plat::WM_KEYDOWN, plat::VK_NUMPAD0 + 7,
     1 | Scan(0x47)},
    {"left Shift", SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0, 0, plat::WM_KEYDOWN, plat::VK_SHIFT,
     1 | Scan(0x2A)},
    {"right Shift", SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, 0, plat::WM_KEYDOWN, plat::VK_SHIFT,
     1 | Scan(0x36)},
    {"right Ctrl", SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, 0, plat::WM_KEYDOWN, plat::VK_CONTROL,
     1 | Scan(0x1D) | Bit(24)},
    {"Alt itself", SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT, 0, plat::WM_SYSKEYDOWN, plat::VK_MENU,
     1 | Scan(0x38) | Bit(29)},
    {"Alt released", SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT, 0, 0, plat::WM_SYSKEYUP, plat::VK_MENU,
     1 | Scan(0x38) | kUp},
    {"Alt combination", SDL_KEYDOWN, SDL_SCANCODE_X, 'x', KMOD_LALT, 0, plat::WM_SYSKEYDOWN, 'X',
     1 | Scan(0x2D) | Bit(29)},
    {"Alt+F4", SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_RALT, 0, plat::WM_SYSKEYDOWN, 0x73,
     1 | Scan(0x3E) | Bit(29)},
    {"F10", SDL_KEYDOWN, SDL_SCANCODE_F10, SDLK_F10, 0, 0, plat::WM_SYSKEYDOWN, plat::VK_F10, 1 | Scan(0x44)},
    {"F10 up", SDL_KEYUP, SDL_SCANCODE_F10, SDLK_F10, 0, 0, plat::WM_SYSKEYUP, plat::VK_F10, 1 | Scan(0x44) | kUp},
    {"Ctrl+Alt is ordinary", SDL_KEYDOWN, SDL_SCANCODE_X, 'x', KMOD_LALT | KMOD_LCTRL, 0, plat::WM_KEYDOWN, 'X',
     1 | Scan(0x2D)},
};

TEST_F(SdlBackendTest, KeysBecomeKeyMessagesWithVirtualKeyAndContextBits) {
    Open();
    for (const KeyCase& c : kKeyCases) {
        std::vector<Message> got = After(Key(c.type, c.code, c.sym, c.mod, c.repeat));
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(got[0].hwnd, hwnd) << c.name;
        EXPECT_EQ(got[0].message, c.message) << c.name;
        EXPECT_EQ(got[0].wParam, static_cast<std::uintptr_t>(c.vk)) << c.name;
        EXPECT_EQ(got[0].lParam, c.lParam) << c.name << std::hex << " got 0x" << got[0].lParam;
    }
}

TEST_F(SdlBackendTest, UnknownKeysAndOtherWindowsEventsAreIgnored) {
    Open();
    EXPECT_TRUE(After(Key(SDL_KEYDOWN, SDL_SCANCODE_F20, SDLK_F20)).empty());
    EXPECT_TRUE(After(Key(SDL_KEYDOWN, SDL_SCANCODE_MUTE, SDLK_MUTE)).empty());
    SDL_Event e = Key(SDL_KEYDOWN, SDL_SCANCODE_A, 'a');
    e.key.windowID = WindowId() + 100;
    EXPECT_TRUE(After(e).empty());
    SDL_Event m = Motion(5, 5);
    m.motion.windowID = WindowId() + 100;
    EXPECT_TRUE(After(m).empty());
}

TEST_F(SdlBackendTest, DispatchedKeysReachTheKeyState) {
    Open();
    SDL_Event down = Key(SDL_KEYDOWN, SDL_SCANCODE_UP, SDLK_UP);
    SDL_PushEvent(&down);
    Message m;
    ASSERT_TRUE(plat::PeekMessage(m));
    plat::DispatchMessage(m);
    EXPECT_TRUE(plat::GetKeyState(plat::VK_UP) & 0x80);
    SDL_Event up = Key(SDL_KEYUP, SDL_SCANCODE_UP, SDLK_UP);
    SDL_PushEvent(&up);
    ASSERT_TRUE(plat::PeekMessage(m));
    plat::DispatchMessage(m);
    EXPECT_FALSE(plat::GetKeyState(plat::VK_UP) & 0x80);
}

// ---- mouse ----

TEST_F(SdlBackendTest, MouseMovesAndButtonsInClientCoordinatesWithDoubleClicks) {
    Open();
    std::vector<Message> got = After(Motion(10, 20));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_MOUSEMOVE);
    EXPECT_EQ(got[0].lParam, plat::MakeLParam(10, 20));
    EXPECT_EQ(got[0].wParam, 0u);

    struct Step {
        SDL_Event event;
        std::uint32_t message;
        std::uintptr_t flags;
    };
    const Step steps[] = {
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 1), plat::WM_LBUTTONDOWN, plat::MK_LBUTTON},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 40, 1), plat::WM_LBUTTONUP, 0},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 2), plat::WM_LBUTTONDBLCLK, plat::MK_LBUTTON},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 40, 2), plat::WM_LBUTTONUP, 0},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 3), plat::WM_LBUTTONDOWN, plat::MK_LBUTTON},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 30, 40, 1), plat::WM_RBUTTONDOWN,
         plat::MK_LBUTTON | plat::MK_RBUTTON},
        {Motion(31, 41), plat::WM_MOUSEMOVE, plat::MK_LBUTTON | plat::MK_RBUTTON},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 31, 41, 1), plat::WM_LBUTTONUP, plat::MK_RBUTTON},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 31, 41, 2), plat::WM_RBUTTONDBLCLK, plat::MK_RBUTTON},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 31, 41, 2), plat::WM_RBUTTONUP, 0},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        got = After(steps[i].event);
        ASSERT_EQ(got.size(), 1u) << "step " << i;
        EXPECT_EQ(got[0].message, steps[i].message) << "step " << i;
        EXPECT_EQ(got[0].wParam, steps[i].flags) << "step " << i;
    }
    EXPECT_EQ(got[0].lParam, plat::MakeLParam(31, 41));
    EXPECT_TRUE(After(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1)).empty());
}

// ---- activation, moves, closing ----

TEST_F(SdlBackendTest, FocusMovesAndCloseBecomeActivationMoveAndCloseMessages) {
    Open();
    std::vector<Message> got = After(Window(SDL_WINDOWEVENT_FOCUS_GAINED));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_ACTIVATEAPP);
    EXPECT_EQ(got[0].wParam, 1u);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "no screen saver while active";
    EXPECT_TRUE(After(Window(SDL_WINDOWEVENT_FOCUS_GAINED)).empty()) << "no second activation";

    got = After(Window(SDL_WINDOWEVENT_FOCUS_LOST));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_ACTIVATEAPP);
    EXPECT_EQ(got[0].wParam, 0u);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());

    got = After(Window(SDL_WINDOWEVENT_MOVED, -8, 30));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_MOVE);
    EXPECT_EQ(got[0].lParam, plat::MakeLParam(-8, 30));

    got = After(Window(SDL_WINDOWEVENT_CLOSE));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_CLOSE);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    got = After(quit);
    ASSERT_EQ(got.size(), 1u) << "a termination signal closes like the close button";
    EXPECT_EQ(got[0].message, plat::WM_CLOSE);
}

// ---- present ----

// Expands the front surface's pixel at (x, y) to 8-bit components.
std::uint32_t Expected(const plat::Surface& s, int x, int y) {
    std::uint8_t r, g, b;
    plat::UnmapRGB(s.format, plat::GetPixel(s, x, y), r, g, b);
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

// Keeps only the top bits of each component that the format holds.
std::uint32_t Reduce(std::uint32_t rgb, const plat::PixelFormat& f) {
    int rBits = 8, gBits = 8, bBits = 8;
    if (f.bits == 15) rBits = gBits = bBits = 5;
    if (f.bits == 16) rBits = bBits = 5, gBits = 6;
    auto top = [](std::uint32_t c, int bits) { return (c & 0xFF) >> (8 - bits); };
    return (top(rgb >> 16, rBits) << 16) | (top(rgb >> 8, gBits) << 8) | top(rgb, bBits);
}

TEST_F(SdlBackendTest, PresentShowsTheFrontSurfaceInEveryDepth) {
    for (int bits : {15, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        Open();
        plat::Surface* front = plat::FrontSurface();
        ASSERT_NE(front, nullptr);
        ASSERT_EQ(front->format.bits, bits);
        for (int y = 0; y < front->height; ++y)
            for (int x = 0; x < front->width; ++x)
                plat::PutPixel(*front, x, y,
                               plat::MapRGB(front->format, static_cast<std::uint8_t>(x * 7),
                                            static_cast<std::uint8_t>(y * 5), static_cast<std::uint8_t>(x ^ y)));
        plat::sdl::SetPresentCapture(true);
        plat::PresentFront();
        int w = 0, h = 0;
        const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(w, h);
        ASSERT_EQ(w, 800);
        ASSERT_EQ(h, 600);
        ASSERT_EQ(shown.size(), 800u * 600u);
        int mismatches = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (Reduce(shown[y * w + x], front->format) != Reduce(Expected(*front, x, y), front->format))
                    ++mismatches;
        EXPECT_EQ(mismatches, 0);
        plat::DestroyWindow(hwnd);
    }
}

TEST_F(SdlBackendTest, PresentDumpWritesEachDistinctFrameOnce) {
    char folder[] = "/tmp/kr-dump-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("KR_PRESENT_DUMP", folder, 1);
    Open();
    unsetenv("KR_PRESENT_DUMP");
    plat::Surface* front = plat::FrontSurface();
    plat::FillRect(front, nullptr, 0x001F);
    plat::PresentFront();
    plat::PresentFront();  // the same picture again: no new file
    plat::FillRect(front, nullptr, 0xF800);
    plat::PresentFront();
    const std::string base = folder;
    auto exists = [&](const char* name) { return access((base + name).c_str(), F_OK) == 0; };
    // The window showed black once when it appeared, then blue and red.
    EXPECT_TRUE(exists("/frame_000.bmp"));
    EXPECT_TRUE(exists("/frame_001.bmp"));
    EXPECT_TRUE(exists("/frame_002.bmp"));
    EXPECT_FALSE(exists("/frame_003.bmp"));

    std::FILE* f = std::fopen((base + "/frame_002.bmp").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> bmp(54 + 800 * 600 * 3);
    ASSERT_EQ(std::fread(bmp.data(), 1, bmp.size(), f), bmp.size());
    std::fclose(f);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24);                // bits per pixel
    EXPECT_EQ(bmp[54 + 2] & 0xF8, 0xF8);   // red
    EXPECT_EQ(bmp[54 + 0], 0);             // no blue
    for (const char* name : {"/frame_000.bmp", "/frame_001.bmp", "/frame_002.bmp"}) std::remove((base + name).c_str());
    rmdir(folder);
}

TEST(SdlLetterbox, KeepsTheAspectAndMapsPositionsBothWays) {
    SDL_Rect wide = plat::sdl::LetterboxRect(1920, 1080, 800, 600);
    EXPECT_EQ(wide.x, 240);
    EXPECT_EQ(wide.y, 0);
    EXPECT_EQ(wide.w, 1440);
    EXPECT_EQ(wide.h, 1080);
    SDL_Rect tall = plat::sdl::LetterboxRect(1000, 1000, 800, 600);
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 125);
    EXPECT_EQ(tall.w, 1000);
    EXPECT_EQ(tall.h, 750);
    SDL_Rect same = plat::sdl::LetterboxRect(800, 600, 800, 600);
    EXPECT_EQ(same.w, 800);
    EXPECT_EQ(same.x, 0);
    EXPECT_EQ(plat::sdl::LetterboxRect(0, 600, 800, 600).w, 0);

    SDL_Point corner = plat::sdl::OutputToLogical(wide, 800, 600, 1679, 1079);
    EXPECT_EQ(corner.x, 799);
    EXPECT_EQ(corner.y, 599);
    SDL_Point bar = plat::sdl::OutputToLogical(wide, 800, 600, 239, 0);
    EXPECT_EQ(bar.x, -1) << "the bar is outside the logical screen";
    for (int x : {0, 1, 399, 798, 799}) {
        for (int y : {0, 300, 599}) {
            SDL_Point out = plat::sdl::LogicalToOutput(wide, 800, 600, x, y);
            SDL_Point back = plat::sdl::OutputToLogical(wide, 800, 600, out.x, out.y);
            EXPECT_EQ(back.x, x);
            EXPECT_EQ(back.y, y);
        }
    }
}

TEST_F(SdlBackendTest, FullScreenScalesTheScreenAndMapsTheMouseBack) {
    Open();
    ASSERT_TRUE(plat::SetFullScreen(true));
    SDL_Window* w = plat::sdl::MainSdlWindow();
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    std::vector<Message> got = Drain();
    bool movedToOrigin = false;
    for (const Message& m : got) movedToOrigin |= m.message == plat::WM_MOVE && m.lParam == plat::MakeLParam(0, 0);
    EXPECT_TRUE(movedToOrigin);
    EXPECT_EQ(plat::GetSystemMetrics(plat::SM_CXSCREEN), 800) << "the desktop is the logical screen";

    plat::Surface* front = plat::FrontSurface();
    plat::FillRect(front, nullptr, 0);
    plat::Rect lastColumn{799, 0, 800, 600};
    plat::FillRect(front, &lastColumn, 0xFFFF);
    plat::sdl::SetPresentCapture(true);
    plat::PresentFront();
    const SDL_Rect dst = plat::sdl::LetterboxRect(ww, wh, 800, 600);
    int cw = 0, ch = 0;
    const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(cw, ch);
    ASSERT_EQ(cw, dst.w);
    ASSERT_EQ(ch, dst.h);
    EXPECT_EQ(shown[static_cast<std::size_t>(ch / 2) * cw + cw - 1] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shown[static_cast<std::size_t>(ch / 2) * cw + cw / 2] & 0xFFFFFF, 0u);

    got = After(Motion(dst.x + dst.w - 1, dst.y + dst.h - 1));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].lParam, plat::MakeLParam(799, 599));

    ASSERT_TRUE(plat::SetFullScreen(false));
    EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// ---- cursor ----

TEST_F(SdlBackendTest, CursorShowsHidesMovesAndIsConfinedToTheWindowPart) {
    Open();
    plat::ShowCursor(false);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    plat::ShowCursor(false);
    plat::ShowCursor(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE) << "the counter is still below zero";
    plat::ShowCursor(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

    ASSERT_TRUE(plat::SetCursorPos(130, 90));
    plat::Point p;
    ASSERT_TRUE(plat::GetCursorPos(p));
    EXPECT_EQ(p.x, 130);
    EXPECT_EQ(p.y, 90);

    SDL_Window* w = plat::sdl::MainSdlWindow();
    plat::Rect inside{110, 70, 210, 270};
    plat::ClipCursor(&inside);
    const SDL_Rect* area = SDL_GetWindowMouseRect(w);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->x, 10);
    EXPECT_EQ(area->y, 20);
    EXPECT_EQ(area->w, 100);
    EXPECT_EQ(area->h, 200);

    plat::Rect overhanging{0, 0, 300, 200};  // starts left of and above the window
    plat::ClipCursor(&overhanging);
    area = SDL_GetWindowMouseRect(w);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->x, 0);
    EXPECT_EQ(area->y, 0);
    EXPECT_EQ(area->w, 200);
    EXPECT_EQ(area->h, 150);

    plat::Rect outside{2000, 2000, 2100, 2100};
    plat::ClipCursor(&outside);
    EXPECT_EQ(SDL_GetWindowMouseRect(w), nullptr);
    plat::ClipCursor(&inside);
    plat::ClipCursor(nullptr);
    EXPECT_EQ(SDL_GetWindowMouseRect(w), nullptr);
}

// ---- message boxes ----

TEST_F(SdlBackendTest, MessageBoxWithoutADisplayPrintsAndGivesTheDefaultAnswer) {
    Open();
    std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    std::string wayland = getenv("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    int ok = plat::MessageBox(hwnd, "読み込めません", "エラー発生", plat::MB_SYSTEMMODAL | plat::MB_ICONEXCLAMATION);
    int yesNo = plat::MessageBox(hwnd, "フルスクリーンにしますか？", "確認", plat::MB_YESNO | plat::MB_ICONQUESTION);
    std::string err = testing::internal::GetCapturedStderr();
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    EXPECT_EQ(ok, plat::IDOK);
    EXPECT_EQ(yesNo, plat::IDNO);
    EXPECT_NE(err.find(reinterpret_cast<const char*>(u8"[エラー発生] 読み込めません")), std::string::npos) << err;
    EXPECT_NE(err.find(reinterpret_cast<const char*>(u8"[確認] フルスクリーンにしますか？")), std::string::npos) << err;
}

// ---- single instance ----

std::string UniqueLock(const char* what) { return std::string("kr-test-") + what + "-" + std::to_string(getpid()); }

TEST(SdlInstanceGuard, SecondHolderIsRefusedUntilTheFirstLets) {
    const std::string name = UniqueLock("refuse");
    plat::sdl::InstanceGuard first, second;
    bool exists = true;
    ASSERT_TRUE(first.Acquire(name, exists));
    EXPECT_FALSE(exists);
    ASSERT_TRUE(second.Acquire(name, exists));
    EXPECT_TRUE(exists);
    EXPECT_FALSE(second.Held());
    first.Release();
    ASSERT_TRUE(second.Acquire(name, exists));
    EXPECT_FALSE(exists);
    EXPECT_TRUE(second.Held());
}

TEST(SdlInstanceGuard, LockOfAKilledHolderIsFreed) {
    const std::string name = UniqueLock("crash");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        plat::sdl::InstanceGuard guard;
        bool exists = false;
        char ok = guard.Acquire(name, exists) && !exists ? 1 : 0;
        (void)!write(ready[1], &ok, 1);
        for (;;) pause();
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(ok, 1);

    plat::sdl::InstanceGuard mine;
    bool exists = false;
    ASSERT_TRUE(mine.Acquire(name, exists));
    EXPECT_TRUE(exists) << "held by the child";
    EXPECT_TRUE(plat::sdl::InstanceGuard::RequestRaise(name));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(mine.Acquire(name, exists));
    EXPECT_FALSE(exists) << "the dead holder left no stale lock";
}

TEST(SdlInstanceGuard, RaiseRequestsArriveAndJunkIsDroppedWithoutBlocking) {
    const std::string name = UniqueLock("raise");
    plat::sdl::InstanceGuard holder;
    bool exists = true;
    ASSERT_TRUE(holder.Acquire(name, exists));
    EXPECT_FALSE(plat::sdl::InstanceGuard::RequestRaise(UniqueLock("nobody")));

    // Junk: a wrong word, a cut-off request, a silent connection.
    const std::string socketName = plat::sdl::InstanceSocketName(name);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, socketName.data(), socketName.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
    std::vector<int> junk;
    for (const char* text : {"garbage\n", "rai", ""}) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), length), 0);
        if (*text) {
            ASSERT_GT(send(fd, text, std::strlen(text), 0), 0);
        }
        junk.push_back(fd);
    }
    close(junk[1]);  // the cut-off request ends
    int raises = 0;
    for (int i = 0; i < 5; ++i) raises += holder.PollRaiseRequests();
    EXPECT_EQ(raises, 0);

    ASSERT_TRUE(plat::sdl::InstanceGuard::RequestRaise(name));
    ASSERT_TRUE(plat::sdl::InstanceGuard::RequestRaise(name));
    for (int i = 0; i < 5; ++i) raises += holder.PollRaiseRequests();
    EXPECT_EQ(raises, 2);
    close(junk[0]);
    close(junk[2]);
}

TEST(SdlInstanceGuard, OverlongNamesAreCutButStayDistinct) {
    std::string a = plat::sdl::InstanceSocketName(std::string(300, 'x') + "a");
    std::string b = plat::sdl::InstanceSocketName(std::string(300, 'x') + "b");
    EXPECT_LE(a.size(), sizeof(sockaddr_un::sun_path) - 1);
    EXPECT_NE(a, b);
    plat::sdl::InstanceGuard guard;
    bool exists = true;
    EXPECT_TRUE(guard.Acquire(std::string(300, 'y') + std::to_string(getpid()), exists));
    EXPECT_FALSE(exists);
}

TEST_F(SdlBackendTest, RaiseRequestThroughThePlatformReachesTheHolder) {
    Open();
    const std::string name = UniqueLock("platform");
    bool exists = true;
    ASSERT_TRUE(plat::CreateInstanceLock(name.c_str(), exists));
    EXPECT_FALSE(exists);
    int before = plat::sdl::RaiseRequestsSeen();
    EXPECT_TRUE(plat::RaiseOtherInstance(name.c_str()));
    Drain();
    EXPECT_EQ(plat::sdl::RaiseRequestsSeen(), before + 1);
    plat::ReleaseInstanceLock();
    EXPECT_FALSE(plat::RaiseOtherInstance(name.c_str()));
}

// ---- joysticks ----

class SdlJoystickTest : public SdlBackendTest {
protected:
    void SetUp() override {
        SdlBackendTest::SetUp();
        plat::JoystickConfigChanged();  // starts SDL's joystick service
        Drain();
        if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real joystick is plugged in";
    }
    void TearDown() override {
        for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) {
            if (SDL_JoystickIsVirtual(index)) SDL_JoystickDetachVirtual(index);
        }
        Drain();
        SdlBackendTest::TearDown();
    }

    static int Attach(int axes, int buttons, int hats) {
        int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
        Drain();
        return index < 0 ? -1 : SDL_JoystickGetDeviceInstanceID(index);
    }
    static void Detach(SDL_JoystickID instance) {
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == instance) SDL_JoystickDetachVirtual(index);
        }
        Drain();
    }
};

TEST_F(SdlJoystickTest, ReadsAxesAndButtonsAndFailsWhenAbsent) {
    SDL_JoystickID pad = Attach(2, 6, 0);
    if (pad < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    plat::JoystickReading r;
    ASSERT_TRUE(plat::ReadJoystick(0, r));
    EXPECT_NEAR(static_cast<int>(r.x), 32767, 1);
    EXPECT_NEAR(static_cast<int>(r.y), 32767, 1);
    EXPECT_EQ(r.buttons, 0u);

    SDL_Joystick* j = plat::sdl::JoystickSlot(0);
    ASSERT_NE(j, nullptr);
    SDL_JoystickSetVirtualAxis(j, 0, -32768);
    SDL_JoystickSetVirtualAxis(j, 1, 32767);
    SDL_JoystickSetVirtualButton(j, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(j, 5, SDL_PRESSED);
    Drain();
    ASSERT_TRUE(plat::ReadJoystick(0, r));
    EXPECT_EQ(r.x, 0u);
    EXPECT_EQ(r.y, 65535u);
    EXPECT_EQ(r.buttons, 0x21u);

    EXPECT_FALSE(plat::ReadJoystick(1, r));
    EXPECT_FALSE(plat::ReadJoystick(2, r));
    EXPECT_FALSE(plat::ReadJoystick(-1, r));

    Detach(pad);
    EXPECT_FALSE(plat::ReadJoystick(0, r)) << "unplugged";
}

TEST_F(SdlJoystickTest, HotPluggedDevicesTakeFreeSlots) {
    SDL_JoystickID a = Attach(2, 4, 0);
    if (a < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    SDL_JoystickID b = Attach(2, 4, 0);
    ASSERT_NE(plat::sdl::JoystickSlot(1), nullptr);
    EXPECT_EQ(SDL_JoystickInstanceID(plat::sdl::JoystickSlot(1)), b);
    Detach(a);
    plat::JoystickReading r;
    EXPECT_FALSE(plat::ReadJoystick(0, r));
    EXPECT_TRUE(plat::ReadJoystick(1, r)) << "the other slot keeps its device";
    SDL_JoystickID c = Attach(2, 4, 0);
    ASSERT_NE(plat::sdl::JoystickSlot(0), nullptr);
    EXPECT_EQ(SDL_JoystickInstanceID(plat::sdl::JoystickSlot(0)), c);
    EXPECT_TRUE(plat::ReadJoystick(0, r));
}

TEST_F(SdlJoystickTest, DeviceWithoutAxesSteersWithItsHat) {
    SDL_JoystickID pad = Attach(0, 2, 1);
    if (pad < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    SDL_JoystickSetVirtualHat(plat::sdl::JoystickSlot(0), 0, SDL_HAT_LEFTDOWN);
    Drain();
    plat::JoystickReading r;
    ASSERT_TRUE(plat::ReadJoystick(0, r));
    EXPECT_EQ(r.x, 0u);
    EXPECT_EQ(r.y, 65535u);
}

// ---- the shell on real SDL events ----

class SdlShellTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        suffix = "-shell-test-" + std::to_string(getpid());
        setenv("KR_INSTANCE_SUFFIX", suffix.c_str(), 1);
        plat::headless::ResetWindowSystem();
        plat::SetBackend(&plat::sdl::Instance());
        krSystemState = krSystemStateRecord{};
        krSystem::ProcessStart();
    }
    void TearDown() override {
        krSystem::SetGameSteps(krGameSteps{});
        if (plat::MainWindow()) plat::DestroyWindow(plat::MainWindow());
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::ResetWindowSystem();
        unsetenv("KR_INSTANCE_SUFFIX");
    }

    static void Push(SDL_Event e) { SDL_PushEvent(&e); }

    std::string suffix;
};

// Pushed from the game's start-up step, once the window exists.
void PushEscape() {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(plat::sdl::MainSdlWindow());
    e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    e.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&e);
}

void PushCloseButton() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(plat::sdl::MainSdlWindow());
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
}

TEST_F(SdlShellTest, EscapeEndsTheProgramWithOneShutDown) {
    krSystem::SetGameSteps(krGameSteps{&PushEscape, nullptr});
    EXPECT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_EQ(krSystemState.closeState, 2);
    EXPECT_EQ(plat::sdl::MainSdlWindow(), nullptr);
    EXPECT_FALSE(krSystemState.instanceMutex) << "the lock was let go";
}

TEST_F(SdlShellTest, CloseButtonEndsTheProgramWithOneShutDown) {
    krSystem::SetGameSteps(krGameSteps{&PushCloseButton, nullptr});
    EXPECT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_EQ(krSystemState.closeState, 2);
    EXPECT_EQ(plat::sdl::MainSdlWindow(), nullptr);
}

TEST_F(SdlShellTest, SecondCopyRaisesTheFirstAndEndsWithoutAWindow) {
    plat::sdl::InstanceGuard firstCopy;
    bool exists = true;
    ASSERT_TRUE(firstCopy.Acquire(plat::Cp932ToUtf8((std::string(krSystem::WindowTitle()) + ":KrMutex").c_str()),
                                  exists));
    ASSERT_FALSE(exists);
    krSystem::SetGameSteps(krGameSteps{&PushEscape, nullptr});
    EXPECT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
    EXPECT_EQ(plat::sdl::MainSdlWindow(), nullptr);
    EXPECT_EQ(plat::MainWindow(), 0u);
    int raises = 0;
    for (int i = 0; i < 5; ++i) raises += firstCopy.PollRaiseRequests();
    EXPECT_EQ(raises, 1);
}

}  // namespace
