// The SDL edge on SDL's dummy video driver: synthetic SDL events become the
// right window messages, a present shows the front surface in every depth,
// full-screen scaling maps the mouse back, the cursor, message boxes, the
// cross-process instance guard, joysticks (SDL's virtual devices) and the
// shell's ways out on real SDL events.
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

#include "platform/text/cp932.h"
#include "platform/headless/headless.h"
#include "platform/sdl/instance_guard.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/os/window.h"
#include "platform/os/window_placement.h"
#include "system/krSystem.h"

namespace {

using plat::Message;

const char* Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }
std::intptr_t QuietProc(plat::HWND, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }
Uint32 WindowId() { return SDL_GetWindowID(plat::sdl::MainSdlWindow()); }

std::vector<Message> Drain() {
    std::vector<Message> all;
    Message m;
    while (plat::PeekMessage(m)) {
        if (m.message != plat::WM_QUIT) all.push_back(m);
    }
    return all;
}

std::vector<Message> After(SDL_Event e) {
    SDL_PushEvent(&e);
    return Drain();
}

SDL_Event Key(Uint32 type, SDL_Scancode code, SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key = SDL_KeyboardEvent{type, 0, WindowId(), 0, repeat, 0, 0, SDL_Keysym{code, sym, mod, 0}};
    return e;
}

SDL_Event Mouse(Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.windowID = WindowId();
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button = SDL_MouseButtonEvent{type, 0, WindowId(), 0, button, 0, clicks, 0, x, y};
    }
    return e;
}

SDL_Event Window(Uint8 event, int data1 = 0, int data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = WindowId();
    e.window.event = event;
    e.window.data1 = data1;
    e.window.data2 = data2;
    return e;
}

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
        Drain();
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::ResetWindowSystem();
        unsetenv("KR_DESKTOP_BITS");
    }

    // The window at (100, 50), shown.
    void Open() {
        hwnd = plat::CreateMainWindow("SDLTEST", "ポコタンバ！", 0, 100, 50, 800, 600);
        ASSERT_NE(hwnd, 0u) << SDL_GetError();
        plat::ShowWindow(hwnd, plat::SW_SHOWNORMAL);
        Drain();
    }

    plat::HWND hwnd = 0;
};

// ---- window ----

TEST_F(SdlBackendTest, WindowHasCaptionClientSizeIsResizableAndAnnouncesItsPlaceWhenShown) {
    hwnd = plat::CreateMainWindow("SDLTEST", "ポコタンバ！", 0, 100, 50, 800, 600);
    ASSERT_NE(hwnd, 0u) << SDL_GetError();
    SDL_Window* w = plat::sdl::MainSdlWindow();
    EXPECT_STREQ(SDL_GetWindowTitle(w), Utf8(u8"ポコタンバ！"));
    int width = 0, height = 0;
    SDL_GetWindowSize(w, &width, &height);
    EXPECT_EQ(width * 10000 + height, 800 * 10000 + 600);
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_RESIZABLE);
    SDL_GetWindowMinimumSize(w, &width, &height);
    EXPECT_EQ(width * 10000 + height, 800 * 10000 + 600) << "never smaller than the picture";
    plat::ShowWindow(hwnd, plat::SW_HIDE);
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(Drain().empty()) << "a hidden window announces nothing";

    plat::ShowWindow(hwnd, plat::SW_SHOWNORMAL);
    EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN);
    std::vector<Message> shown = Drain();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].message, plat::WM_MOVE);
    EXPECT_EQ(shown[0].lParam, plat::MakeLParam(100, 50));
    ASSERT_NE(plat::FrontSurface(), nullptr);
    EXPECT_EQ(plat::FrontSurface()->format.bits, 16);
}

// ---- keys ----

constexpr std::intptr_t Bit(int n) { return static_cast<std::intptr_t>(1) << n; }
constexpr std::intptr_t Scan(int s) { return 1 | static_cast<std::intptr_t>(s) << 16; }  // with repeat count 1
constexpr std::intptr_t kUp = Bit(30) | Bit(31);
constexpr std::intptr_t kExt = Bit(24);
constexpr std::intptr_t kAlt = Bit(29);
constexpr Uint32 kDown = SDL_KEYDOWN, kRelease = SDL_KEYUP;

struct KeyCase {
    Uint32 type;
    SDL_Scancode code;
    SDL_Keycode sym;
    Uint16 mod;
    Uint8 repeat;
    std::uint32_t message;
    int vk;
    std::intptr_t lParam;
};

const KeyCase kKeyCases[] = {
    {kDown, SDL_SCANCODE_C, 'c', 0, 0, plat::WM_KEYDOWN, 'C', Scan(0x2E)},
    {kRelease, SDL_SCANCODE_V, 'v', 0, 0, plat::WM_KEYUP, 'V', Scan(0x2F) | kUp},
    {kDown, SDL_SCANCODE_Z, 'z', 0, 1, plat::WM_KEYDOWN, 'Z', Scan(0x2C) | Bit(30)},  // auto-repeat
    {kDown, SDL_SCANCODE_Q, 'a', 0, 0, plat::WM_KEYDOWN, 'A', Scan(0x10)},            // letter by layout
    {kDown, SDL_SCANCODE_0, '0', 0, 0, plat::WM_KEYDOWN, '0', Scan(0x0B)},
    {kDown, SDL_SCANCODE_5, '5', 0, 0, plat::WM_KEYDOWN, '5', Scan(0x06)},
    {kDown, SDL_SCANCODE_LEFT, SDLK_LEFT, 0, 0, plat::WM_KEYDOWN, plat::VK_LEFT, Scan(0x4B) | kExt},
    {kRelease, SDL_SCANCODE_DOWN, SDLK_DOWN, 0, 0, plat::WM_KEYUP, plat::VK_DOWN, Scan(0x50) | kExt | kUp},
    {kDown, SDL_SCANCODE_F12, SDLK_F12, 0, 0, plat::WM_KEYDOWN, plat::VK_F12, Scan(0x58)},
    {kDown, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 0, plat::WM_KEYDOWN, plat::VK_ESCAPE, Scan(0x01)},
    {kDown, SDL_SCANCODE_RETURN, SDLK_RETURN, 0, 0, plat::WM_KEYDOWN, plat::VK_RETURN, Scan(0x1C)},
    {kDown, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0, 0, plat::WM_KEYDOWN, plat::VK_RETURN, Scan(0x1C) | kExt},
    {kDown, SDL_SCANCODE_SPACE, SDLK_SPACE, 0, 0, plat::WM_KEYDOWN, plat::VK_SPACE, Scan(0x39)},
    {kDown, SDL_SCANCODE_KP_7, SDLK_KP_7, 0, 0, plat::WM_KEYDOWN, plat::VK_NUMPAD0 + 7, Scan(0x47)},
    {kDown, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, 0, plat::WM_KEYDOWN, plat::VK_SHIFT, Scan(0x36)},
    {kDown, SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, 0, plat::WM_KEYDOWN, plat::VK_CONTROL, Scan(0x1D) | kExt},
    {kDown, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT, 0, plat::WM_SYSKEYDOWN, plat::VK_MENU, Scan(0x38) | kAlt},
    {kRelease, SDL_SCANCODE_LALT, SDLK_LALT, 0, 0, plat::WM_SYSKEYUP, plat::VK_MENU, Scan(0x38) | kUp},
    {kDown, SDL_SCANCODE_F4, SDLK_F4, KMOD_RALT, 0, plat::WM_SYSKEYDOWN, 0x73, Scan(0x3E) | kAlt},
    {kDown, SDL_SCANCODE_F10, SDLK_F10, 0, 0, plat::WM_SYSKEYDOWN, plat::VK_F10, Scan(0x44)},
    {kRelease, SDL_SCANCODE_F10, SDLK_F10, 0, 0, plat::WM_SYSKEYUP, plat::VK_F10, Scan(0x44) | kUp},
    {kDown, SDL_SCANCODE_X, 'x', KMOD_LALT | KMOD_LCTRL, 0, plat::WM_KEYDOWN, 'X', Scan(0x2D)},  // Ctrl+Alt
};

TEST_F(SdlBackendTest, KeysBecomeKeyMessagesWithVirtualKeyAndContextBits) {
    Open();
    for (std::size_t i = 0; i < std::size(kKeyCases); ++i) {
        const KeyCase& c = kKeyCases[i];
        std::vector<Message> got = After(Key(c.type, c.code, c.sym, c.mod, c.repeat));
        ASSERT_EQ(got.size(), 1u) << "case " << i;
        EXPECT_EQ(got[0].message, c.message) << "case " << i;
        EXPECT_EQ(got[0].wParam, static_cast<std::uintptr_t>(c.vk)) << "case " << i;
        EXPECT_EQ(got[0].lParam, c.lParam) << "case " << i << std::hex << ": 0x" << got[0].lParam;
    }
}

TEST_F(SdlBackendTest, UnknownKeysMiddleButtonAndOtherWindowsAreIgnored) {
    Open();
    EXPECT_TRUE(After(Key(kDown, SDL_SCANCODE_F20, SDLK_F20)).empty());
    EXPECT_TRUE(After(Key(kDown, SDL_SCANCODE_MUTE, SDLK_MUTE)).empty());
    EXPECT_TRUE(After(Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1)).empty());
    SDL_Event e = Key(kDown, SDL_SCANCODE_A, 'a');
    e.key.windowID += 100;
    EXPECT_TRUE(After(e).empty());
}

// ---- mouse ----

TEST_F(SdlBackendTest, MouseMovesAndButtonsInClientCoordinatesWithDoubleClicks) {
    Open();
    using plat::MK_LBUTTON, plat::MK_RBUTTON;
    struct Step {
        SDL_Event event;
        std::uint32_t message;
        std::uintptr_t flags;
    };
    const Step steps[] = {
        {Mouse(SDL_MOUSEMOTION, 0, 10, 20), plat::WM_MOUSEMOVE, 0},
        {Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 1), plat::WM_LBUTTONDOWN, MK_LBUTTON},
        {Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 40, 1), plat::WM_LBUTTONUP, 0},
        {Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 2), plat::WM_LBUTTONDBLCLK, MK_LBUTTON},
        {Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 40, 2), plat::WM_LBUTTONUP, 0},
        {Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40, 3), plat::WM_LBUTTONDOWN, MK_LBUTTON},
        {Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 30, 40, 1), plat::WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON},
        {Mouse(SDL_MOUSEMOTION, 0, 31, 41), plat::WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON},
        {Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 31, 41, 1), plat::WM_LBUTTONUP, MK_RBUTTON},
        {Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 31, 41, 2), plat::WM_RBUTTONDBLCLK, MK_RBUTTON},
        {Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 799, 599, 2), plat::WM_RBUTTONUP, 0},
    };
    std::vector<Message> got;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        got = After(steps[i].event);
        if (steps[i].message == plat::WM_MOUSEMOVE) {  // the cursor shape is asked for first
            ASSERT_EQ(got.size(), 2u) << "step " << i;
            EXPECT_EQ(got[0].message, plat::WM_SETCURSOR);
            EXPECT_EQ(got[0].wParam, static_cast<std::uintptr_t>(hwnd));
            EXPECT_EQ(got[0].lParam, plat::MakeLParam(plat::HTCLIENT, plat::WM_MOUSEMOVE));
            got.erase(got.begin());
        }
        ASSERT_EQ(got.size(), 1u) << "step " << i;
        EXPECT_EQ(got[0].message, steps[i].message) << "step " << i;
        EXPECT_EQ(got[0].wParam, steps[i].flags) << "step " << i;
        if (i == 0) {
            EXPECT_EQ(got[0].lParam, plat::MakeLParam(10, 20));
        }
    }
    EXPECT_EQ(got[0].lParam, plat::MakeLParam(799, 599));
}

// ---- activation, moves, closing ----

TEST_F(SdlBackendTest, FocusMovesAndCloseBecomeActivationMoveAndCloseMessages) {
    Open();
    auto only = [](std::vector<Message> got, std::uint32_t message, std::uintptr_t w, std::intptr_t l) {
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].message, message);
        EXPECT_EQ(got[0].wParam, w);
        EXPECT_EQ(got[0].lParam, l);
    };
    only(After(Window(SDL_WINDOWEVENT_FOCUS_GAINED)), plat::WM_ACTIVATEAPP, 1, 0);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "no screen saver while active";
    EXPECT_TRUE(After(Window(SDL_WINDOWEVENT_FOCUS_GAINED)).empty()) << "no second activation";
    only(After(Window(SDL_WINDOWEVENT_FOCUS_LOST)), plat::WM_ACTIVATEAPP, 0, 0);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
    only(After(Window(SDL_WINDOWEVENT_MOVED, -8, 30)), plat::WM_MOVE, 0, plat::MakeLParam(-8, 30));
    only(After(Window(SDL_WINDOWEVENT_CLOSE)), plat::WM_CLOSE, 0, 0);
    SDL_Event quit{};
    quit.type = SDL_QUIT;  // a termination signal closes like the close button
    only(After(quit), plat::WM_CLOSE, 0, 0);
}

// ---- present ----

// A pixel as 8-bit components cut to the bits the format holds.
std::uint32_t Reduced(std::uint8_t r, std::uint8_t g, std::uint8_t b, int bits) {
    int rb = bits == 15 || bits == 16 ? 3 : 0, gb = bits == 15 ? 3 : bits == 16 ? 2 : 0;
    return (std::uint32_t(r >> rb) << 16) | (std::uint32_t(g >> gb) << 8) | std::uint32_t(b >> rb);
}

TEST_F(SdlBackendTest, PresentShowsTheFrontSurfaceInEveryDepth) {
    for (int bits : {15, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        Open();
        plat::Surface& front = *plat::FrontSurface();
        ASSERT_EQ(front.format.bits, bits);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                plat::PutPixel(front, x, y, plat::MapRGB(front.format, x * 7, y * 5, x ^ y));
        plat::sdl::SetPresentCapture(true);
        plat::PresentFront();
        int w = 0, h = 0;
        const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(w, h);
        ASSERT_EQ(w * 10000 + h, 800 * 10000 + 600);
        int mismatches = 0;
        for (int y = 0; y < 600; ++y) {
            for (int x = 0; x < 800; ++x) {
                std::uint8_t r, g, b;
                plat::UnmapRGB(front.format, plat::GetPixel(front, x, y), r, g, b);
                std::uint32_t s = shown[y * 800 + x];
                mismatches += Reduced(s >> 16, s >> 8, s, bits) != Reduced(r, g, b, bits);
            }
        }
        EXPECT_EQ(mismatches, 0);
        plat::DestroyWindow(hwnd);
    }
}

// The flip to the system surface, made before a message box shows, puts
// the front surface on the window: the box stands over the last frame, not
// over whatever the window held before.
TEST_F(SdlBackendTest, FlipToTheSystemSurfacePresentsTheFrontSurface) {
    Open();
    plat::Surface& front = *plat::FrontSurface();
    plat::sdl::SetPresentCapture(true);
    plat::FillRect(&front, nullptr, plat::MapRGB(front.format, 0, 0, 0));
    plat::PresentFront();
    const plat::Rect band{0, 100, 800, 200};
    plat::FillRect(&front, &band, plat::MapRGB(front.format, 255, 255, 255));
    plat::FlipToGDISurface();
    int w = 0, h = 0;
    const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(w, h);
    ASSERT_EQ(w * 10000 + h, 800 * 10000 + 600);
    const std::uint32_t bright = shown[150 * 800 + 400];
    EXPECT_TRUE((bright >> 16 & 0xFF) >= 0xF8 && (bright >> 8 & 0xFF) >= 0xF8 && (bright & 0xFF) >= 0xF8)
        << std::hex << bright << ": the band drawn after the last present is white";
    EXPECT_EQ(shown[50 * 800 + 400] & 0xFFFFFF, 0u);
}

TEST(SdlLetterbox, KeepsTheAspectAndMapsPositionsBothWays) {
    auto same = [](SDL_Rect r, SDL_Rect e) { return r.x == e.x && r.y == e.y && r.w == e.w && r.h == e.h; };
    const SDL_Rect wide = plat::sdl::LetterboxRect(1920, 1080, 800, 600);
    EXPECT_TRUE(same(wide, {240, 0, 1440, 1080}));
    EXPECT_TRUE(same(plat::sdl::LetterboxRect(1000, 1000, 800, 600), {0, 125, 1000, 750}));
    EXPECT_TRUE(same(plat::sdl::LetterboxRect(800, 600, 800, 600), {0, 0, 800, 600}));
    EXPECT_TRUE(same(plat::sdl::LetterboxRect(0, 600, 800, 600), {0, 0, 0, 0}));
    EXPECT_EQ(plat::sdl::OutputToLogical(wide, 800, 600, 1679, 1079).x, 799);
    EXPECT_EQ(plat::sdl::OutputToLogical(wide, 800, 600, 239, 0).x, -1) << "the bar is outside";
    for (int x : {0, 1, 399, 799}) {
        for (int y : {0, 300, 599}) {
            SDL_Point out = plat::sdl::LogicalToOutput(wide, 800, 600, x, y);
            SDL_Point back = plat::sdl::OutputToLogical(wide, 800, 600, out.x, out.y);
            EXPECT_EQ(back.x * 10000 + back.y, x * 10000 + y);
        }
    }
}

TEST(SdlIntegerScale, TakesTheLargestWholeScaleThatFitsCentredAndLetterboxesWhenTooSmall) {
    auto same = [](SDL_Rect r, SDL_Rect e) { return r.x == e.x && r.y == e.y && r.w == e.w && r.h == e.h; };
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(800, 600, 800, 600), {0, 0, 800, 600}));
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(1599, 1199, 800, 600), {399, 299, 800, 600}));
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(1600, 1200, 800, 600), {0, 0, 1600, 1200}));
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(1920, 1080, 800, 600), {560, 240, 800, 600}))
        << "the height decides";
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(3840, 2160, 800, 600), {720, 180, 2400, 1800}));
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(400, 600, 800, 600), {0, 150, 400, 300}))
        << "smaller than the picture: fitted";
    EXPECT_TRUE(same(plat::sdl::IntegerScaleRect(-5, 600, 800, 600), {0, 0, 0, 0}));
    const SDL_Rect three{720, 180, 2400, 1800};
    EXPECT_EQ(plat::sdl::OutputToLogical(three, 800, 600, 720 + 3 * 17 + 2, 180 + 3 * 5).x, 17);
    EXPECT_EQ(plat::sdl::OutputToLogical(three, 800, 600, 719, 180).x, -1) << "the bar is outside";
}

// KR_WINDOW_SCALE for one test.
class SdlScaledWindowTest : public SdlBackendTest {
protected:
    void SetUp() override {
        setenv("KR_WINDOW_SCALE", "2", 1);
        SdlBackendTest::SetUp();
    }
    void TearDown() override {
        unsetenv("KR_WINDOW_SCALE");
        SdlBackendTest::TearDown();
    }
};

TEST_F(SdlScaledWindowTest, ShowsThePixelsDoubledAndClicksArriveInScreenCoordinates) {
    Open();
    SDL_Window* w = plat::sdl::MainSdlWindow();
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    ASSERT_EQ(ww * 10000 + wh, 1600 * 10000 + 1200);
    plat::Surface& front = *plat::FrontSurface();
    ASSERT_EQ(front.width * 10000 + front.height, 800 * 10000 + 600) << "the screen keeps its size";
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) plat::PutPixel(front, x, y, plat::MapRGB(front.format, x * 7, y * 5, x ^ y));
    plat::sdl::SetPresentCapture(true);
    plat::PresentFront();
    int cw = 0, ch = 0;
    const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(cw, ch);
    ASSERT_EQ(cw * 10000 + ch, 1600 * 10000 + 1200);
    int mismatches = 0;
    for (int y = 0; y < 1200; ++y) {
        for (int x = 0; x < 1600; ++x) {
            std::uint8_t r, g, b;
            plat::UnmapRGB(front.format, plat::GetPixel(front, x / 2, y / 2), r, g, b);
            std::uint32_t s = shown[static_cast<std::size_t>(y) * 1600 + x];
            mismatches += Reduced(s >> 16, s >> 8, s, 16) != Reduced(r, g, b, 16);
        }
    }
    EXPECT_EQ(mismatches, 0) << "every screen pixel is a 2 x 2 block";

    for (auto [x, y] : {std::pair{0, 0}, {123, 456}, {799, 599}}) {
        for (int odd : {0, 1}) {
            std::vector<Message> got = After(Mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2 * x + odd, 2 * y + odd));
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].message, plat::WM_LBUTTONDOWN);
            EXPECT_EQ(got[0].lParam, plat::MakeLParam(x, y)) << x << "," << y << " +" << odd;
            After(Mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 2 * x + odd, 2 * y + odd));
        }
    }
    ASSERT_TRUE(plat::SetCursorPos(100 + 30, 50 + 40));
    plat::Point p;
    ASSERT_TRUE(plat::GetCursorPos(p));
    EXPECT_EQ(p.x * 10000 + p.y, 130 * 10000 + 90) << "the cursor round-trips in screen coordinates";
}

TEST_F(SdlBackendTest, ResizedWindowShowsTheLargestWholeScaleCentredAndMapsTheMouseThroughIt) {
    Open();
    SDL_Window* w = plat::sdl::MainSdlWindow();
    plat::Surface& front = *plat::FrontSurface();
    plat::FillRect(&front, nullptr, 0);
    plat::Rect corner{799, 599, 800, 600};
    plat::FillRect(&front, &corner, 0xFFFF);
    plat::sdl::SetPresentCapture(true);
    struct Case {
        int width, height;
        SDL_Rect dst;
    };
    for (const Case& c : {Case{1700, 1300, {50, 50, 1600, 1200}}, Case{1000, 700, {100, 50, 800, 600}},
                          Case{2500, 1900, {50, 50, 2400, 1800}}}) {
        SCOPED_TRACE(c.width);
        SDL_SetWindowSize(w, c.width, c.height);
        Drain();  // the resize reaches the renderer and the picture is shown again
        plat::PresentFront();
        int cw = 0, ch = 0;
        const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(cw, ch);
        ASSERT_EQ(cw * 10000 + ch, c.dst.w * 10000 + c.dst.h);
        const int scale = c.dst.w / 800;
        auto at = [&](int x, int y) {
            std::uint32_t s = shown[static_cast<std::size_t>(y) * cw + x];
            return Reduced(s >> 16, s >> 8, s, 16);
        };
        EXPECT_EQ(at(cw - scale, ch - scale), Reduced(255, 255, 255, 16)) << "the corner pixel, whole";
        EXPECT_EQ(at(cw - scale - 1, ch - scale - 1), 0u);
        // Each move asks for the cursor shape first; only the move itself is looked at.
        auto moveTo = [](int x, int y) {
            std::vector<Message> got = After(Mouse(SDL_MOUSEMOTION, 0, x, y));
            std::erase_if(got, [](const Message& m) { return m.message == plat::WM_SETCURSOR; });
            return got;
        };
        std::vector<Message> got = moveTo(c.dst.x + c.dst.w - 1, c.dst.y + c.dst.h - 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].lParam, plat::MakeLParam(799, 599));
        got = moveTo(c.dst.x - 1, c.dst.y);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].lParam, plat::MakeLParam(-1, 0)) << "the bar lies outside the screen";
    }
}

TEST_F(SdlBackendTest, FullScreenScalesTheScreenAndMapsTheMouseBack) {
    Open();
    ASSERT_TRUE(plat::SetFullScreen(true));
    SDL_Window* w = plat::sdl::MainSdlWindow();
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    bool movedToOrigin = false;
    for (const Message& m : Drain()) movedToOrigin |= m.message == plat::WM_MOVE && m.lParam == 0;
    EXPECT_TRUE(movedToOrigin);
    EXPECT_EQ(plat::GetSystemMetrics(plat::SM_CXSCREEN), 800) << "the desktop is the logical screen";

    plat::Surface* front = plat::FrontSurface();
    plat::FillRect(front, nullptr, 0);
    plat::Rect lastColumn{799, 0, 800, 600};
    plat::FillRect(front, &lastColumn, 0xFFFF);
    plat::sdl::SetPresentCapture(true);
    plat::PresentFront();
    int ww = 0, wh = 0, cw = 0, ch = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    const SDL_Rect dst = plat::sdl::LetterboxRect(ww, wh, 800, 600);
    const std::vector<std::uint32_t>& shown = plat::sdl::LastPresentedFrame(cw, ch);
    ASSERT_EQ(cw * 10000 + ch, dst.w * 10000 + dst.h);
    EXPECT_EQ(shown[static_cast<std::size_t>(ch / 2) * cw + cw - 1] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shown[static_cast<std::size_t>(ch / 2) * cw + cw / 2] & 0xFFFFFF, 0u);
    std::vector<Message> got = After(Mouse(SDL_MOUSEMOTION, 0, dst.x + dst.w - 1, dst.y + dst.h - 1));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, plat::WM_SETCURSOR);
    EXPECT_EQ(got[1].lParam, plat::MakeLParam(799, 599));

    ASSERT_TRUE(plat::SetFullScreen(false));
    EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// ---- cursor ----

TEST_F(SdlBackendTest, CursorFollowsTheCounterMovesAndIsConfinedToTheWindowPart) {
    Open();
    plat::ShowCursor(false);
    plat::ShowCursor(false);
    plat::ShowCursor(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE) << "the counter is still below zero";
    plat::ShowCursor(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

    ASSERT_TRUE(plat::SetCursorPos(130, 90));
    plat::Point p;
    ASSERT_TRUE(plat::GetCursorPos(p));
    EXPECT_EQ(p.x * 10000 + p.y, 130 * 10000 + 90);

    SDL_Window* w = plat::sdl::MainSdlWindow();
    auto area = [&](plat::Rect r) {
        plat::ClipCursor(&r);
        const SDL_Rect* a = SDL_GetWindowMouseRect(w);
        return a ? std::vector<int>{a->x, a->y, a->w, a->h} : std::vector<int>{};
    };
    EXPECT_EQ(area({110, 70, 210, 270}), (std::vector<int>{10, 20, 100, 200}));
    EXPECT_EQ(area({0, 0, 300, 200}), (std::vector<int>{0, 0, 200, 150})) << "cut to the window";
    EXPECT_EQ(area({2000, 2000, 2100, 2100}), std::vector<int>{}) << "nothing inside: free";
    area({110, 70, 210, 270});
    plat::ClipCursor(nullptr);
    EXPECT_EQ(SDL_GetWindowMouseRect(w), nullptr);
}

// ---- message boxes ----

TEST_F(SdlBackendTest, MessageBoxWithoutADisplayPrintsAndGivesTheDefaultAnswer) {
    Open();
    std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    testing::internal::CaptureStderr();
    int ok = plat::MessageBox(hwnd, "読み込めません", "エラー発生", plat::MB_SYSTEMMODAL | plat::MB_ICONEXCLAMATION);
    int yesNo = plat::MessageBox(hwnd, "フルスクリーンにしますか？", "確認", plat::MB_YESNO | plat::MB_ICONQUESTION);
    std::string err = testing::internal::GetCapturedStderr();
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(ok, plat::IDOK);
    EXPECT_EQ(yesNo, plat::IDNO);
    EXPECT_NE(err.find(Utf8(u8"[エラー発生] 読み込めません\n")), std::string::npos) << err;
    EXPECT_NE(err.find(Utf8(u8"[確認] フルスクリーンにしますか？\n")), std::string::npos) << err;
}

// ---- single instance ----

std::string UniqueLock(const char* what) { return std::string("kr-test-") + what + std::to_string(getpid()); }

TEST(SdlInstanceGuard, LockIsRefusedWhileHeldAndFreedWhenTheHolderIsKilled) {
    const std::string name = UniqueLock("crash");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        plat::sdl::InstanceGuard guard;
        bool exists = true;
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
    EXPECT_FALSE(mine.Held());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(mine.Acquire(name, exists));
    EXPECT_FALSE(exists) << "the dead holder left no stale lock";
    EXPECT_TRUE(mine.Held());
}

TEST(SdlInstanceGuard, RaiseRequestsArriveAndJunkIsDroppedWithoutBlocking) {
    const std::string name = UniqueLock("raise");
    plat::sdl::InstanceGuard holder;
    bool exists = true;
    ASSERT_TRUE(holder.Acquire(name, exists));
    EXPECT_FALSE(plat::sdl::InstanceGuard::RequestRaise(UniqueLock("nobody")));

    // A wrong word, a cut-off request and a silent connection.
    const std::string socketName = plat::sdl::InstanceSocketName(name);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, socketName.data(), socketName.size());
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
    std::vector<int> junk;
    for (std::string text : {"garbage\n", "rai", ""}) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), length), 0);
        ASSERT_EQ(send(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
        junk.push_back(fd);
    }
    close(junk[1]);
    int raises = 0;
    for (int i = 0; i < 5; ++i) raises += holder.PollRaiseRequests();
    EXPECT_EQ(raises, 0);
    ASSERT_TRUE(plat::sdl::InstanceGuard::RequestRaise(name));
    ASSERT_TRUE(plat::sdl::InstanceGuard::RequestRaise(name));
    for (int i = 0; i < 5; ++i) raises += holder.PollRaiseRequests();
    EXPECT_EQ(raises, 2);
    close(junk[0]);
    close(junk[2]);

    std::string a = plat::sdl::InstanceSocketName(std::string(300, 'x') + "a");
    EXPECT_LE(a.size(), sizeof(sockaddr_un::sun_path) - 1) << "overlong names are cut";
    EXPECT_NE(a, plat::sdl::InstanceSocketName(std::string(300, 'x') + "b")) << "but stay distinct";
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
        for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) SDL_JoystickDetachVirtual(index);
        Drain();
        SdlBackendTest::TearDown();
    }
    static SDL_JoystickID Attach(int axes, int buttons, int hats) {
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

TEST_F(SdlJoystickTest, ReadsAxesAndButtonsAndFailsWhenAbsentOrUnplugged) {
    SDL_JoystickID pad = Attach(2, 6, 0);
    if (pad < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    plat::JoystickReading r;
    ASSERT_TRUE(plat::ReadJoystick(0, r));
    EXPECT_NEAR(static_cast<int>(r.x), 32767, 1);
    EXPECT_NEAR(static_cast<int>(r.y), 32767, 1);
    EXPECT_EQ(r.buttons, 0u);

    SDL_Joystick* j = plat::sdl::JoystickSlot(0);
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

TEST_F(SdlJoystickTest, HotPluggedDevicesTakeFreeSlotsAndHatsSteerPadsWithoutAxes) {
    SDL_JoystickID a = Attach(2, 4, 0);
    if (a < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    SDL_JoystickID b = Attach(2, 4, 0);
    ASSERT_NE(plat::sdl::JoystickSlot(1), nullptr);
    EXPECT_EQ(SDL_JoystickInstanceID(plat::sdl::JoystickSlot(1)), b);
    Detach(a);
    plat::JoystickReading r;
    EXPECT_FALSE(plat::ReadJoystick(0, r));
    EXPECT_TRUE(plat::ReadJoystick(1, r)) << "the other slot keeps its device";

    SDL_JoystickID hatOnly = Attach(0, 2, 1);
    ASSERT_NE(plat::sdl::JoystickSlot(0), nullptr);
    EXPECT_EQ(SDL_JoystickInstanceID(plat::sdl::JoystickSlot(0)), hatOnly);
    SDL_JoystickSetVirtualHat(plat::sdl::JoystickSlot(0), 0, SDL_HAT_LEFTDOWN);
    Drain();
    ASSERT_TRUE(plat::ReadJoystick(0, r));
    EXPECT_EQ(r.x, 0u);
    EXPECT_EQ(r.y, 65535u);
}

// ---- the shell on real SDL events ----

class SdlShellTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("KR_INSTANCE_SUFFIX", ("-shell-test-" + std::to_string(getpid())).c_str(), 1);
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
};

// Start-up steps of a game that is ended at once, by Escape or the close button.
void PressEscape() {
    SDL_Event e = Key(kDown, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    SDL_PushEvent(&e);
}
void PressCloseButton() {
    SDL_Event e = Window(SDL_WINDOWEVENT_CLOSE);
    SDL_PushEvent(&e);
}

TEST_P(SdlShellTest, EscapeOrTheCloseButtonEndsTheProgramWithOneShutDown) {
    krSystem::SetGameSteps(krGameSteps{GetParam() ? &PressEscape : &PressCloseButton, nullptr});
    EXPECT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_EQ(krSystemState.closeState, 2);
    EXPECT_EQ(plat::sdl::MainSdlWindow(), nullptr);
    EXPECT_FALSE(krSystemState.instanceMutex) << "the lock was let go";
}

INSTANTIATE_TEST_SUITE_P(Ways, SdlShellTest, testing::Bool());

// The window goes on the desktop whatever position it is asked for: one
// worked out from a desktop read as 0 wide (x = -400) lands on it, and
// "centred" is centred on the display's real size.
TEST_F(SdlBackendTest, TheWindowIsPlacedOnTheDesktopAndCentredOnItsRealSize) {
    int width = 0, height = 0;
    plat::ActiveBackend().DesktopSize(width, height);
    ASSERT_GT(width, 0) << "the dummy display has a size";
    struct Case {
        int x, y, wantX, wantY;
    } cases[] = {
        {-400, -300, 0, 0},
        {plat::kWindowCentred, plat::kWindowCentred, (width - 800) / 2, (height - 600) / 2},
        {width - 100, 10, width - 800, 10},
    };
    for (const Case& c : cases) {
        hwnd = plat::CreateMainWindow("SDLTEST", "placed", 0, c.x, c.y, 800, 600);
        ASSERT_NE(hwnd, 0u) << SDL_GetError();
        int x = 0, y = 0;
        SDL_GetWindowPosition(plat::sdl::MainSdlWindow(), &x, &y);
        EXPECT_EQ(x, c.wantX) << "asked for " << c.x;
        EXPECT_EQ(y, c.wantY) << "asked for " << c.y;
        plat::DestroyWindow(hwnd);
        Drain();
    }
}

TEST_F(SdlBackendTest, SecondCopyRaisesTheFirstAndEndsWithoutAWindow) {
    setenv("KR_INSTANCE_SUFFIX", ("-second-test-" + std::to_string(getpid())).c_str(), 1);
    plat::sdl::InstanceGuard firstCopy;
    bool exists = true;
    std::string lock = plat::Cp932ToUtf8((std::string(krSystem::WindowTitle()) + ":KrMutex").c_str());
    ASSERT_TRUE(firstCopy.Acquire(lock, exists));
    ASSERT_FALSE(exists);
    EXPECT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
    unsetenv("KR_INSTANCE_SUFFIX");
    EXPECT_EQ(plat::sdl::MainSdlWindow(), nullptr);
    int raises = 0;
    for (int i = 0; i < 5; ++i) raises += firstCopy.PollRaiseRequests();
    EXPECT_EQ(raises, 1);
}

}  // namespace
