// Keyboard and mouse: the bookkeeping of key and button messages, polled
// four-valued press states, the press-and-release wait, and the cursor's
// placement and confinement.
#include "draw/krDraw.h"
#include "platform/os/window.h"
#include "platform/os/window_placement.h"
#include "system/krSystem.h"

namespace {

constexpr int kLeftButtonCode = 1;
constexpr int kRightButtonCode = 2;

struct ReleaseWait {
    int phase = 0;
    int candidate = 0;
};
ReleaseWait releaseWait;

bool IsMouseCode(int code) { return code == kLeftButtonCode || code == kRightButtonCode; }

void OnLeftDown() {
    krSystemStateRecord& s = krSystemState;
    if (s.inputSuspended) {
        s.captureLeft = 1;
        return;
    }
    s.leftDown = s.leftClick = s.leftPressed = 1;
    s.buttonDown = s.lastButton = kLeftButtonCode;
}

void OnRightDown() {
    krSystemStateRecord& s = krSystemState;
    if (s.inputSuspended) return;
    s.rightDown = s.rightClick = s.rightPressed = 1;
    s.buttonDown = s.lastButton = kRightButtonCode;
}

void OnRightDoubleClick() {
    krSystemStateRecord& s = krSystemState;
    if (!s.inputSuspended) s.rightDoubleClick = 1;
    if (s.keepCursorClipped != 1) return;
    if (s.cursorClipped)
        krSystem::FreeCursor();
    else
        krSystem::ConfineCursorToScreen();
}

// Where the screen is shown in the client area (krDraw::Screen places it),
// in client coordinates.
plat::Rect ScreenPlace() {
    plat::Rect place = krScreen.presentDestination;
    place.left -= krSystemState.clientLeft;
    place.right -= krSystemState.clientLeft;
    place.top -= krSystemState.clientTop;
    place.bottom -= krSystemState.clientTop;
    return place;
}

// True when the screen is shown in a window scaled or away from the
// client's corner, so that the mouse maps through its place. A screen shown
// at its own size in the corner (the usual case), full screen, or no screen
// yet: one to one.
bool ScreenPlaced(const plat::Rect& place) {
    if (krSystemState.fullScreen != 0 || place.Width() <= 0 || place.Height() <= 0) return false;
    return place.left != 0 || place.top != 0 || place.Width() != krScreen.screenWidth ||
           place.Height() != krScreen.screenHeight;
}

}  // namespace

namespace krSystem {

bool InputHeldBack() {
    return krDraw::transition.step != 0 || krDraw::background.on || krSystemState.inputSuspended != 0;
}

std::int32_t NextPressState(std::int32_t previous, bool down) {
    if (down) return previous == 0 ? 1 : 3;
    return (previous == 1 || previous == 3) ? 2 : 0;
}

void KeyDown(int vk) {
    if (krDraw::background.on) {
        krSystemState.backgroundKey = vk;
    } else {
        krSystemState.heldKey = vk;
        krSystemState.lastKey = vk;
    }
    if (vk == plat::VK_ESCAPE) Shutdown();
}

void KeyUp(int vk) {
    krSystemStateRecord& s = krSystemState;
    if (vk == s.heldKey) s.heldKey = 0;
    if (vk == s.backgroundKey) s.backgroundKey = 0;
    if (vk == s.captureKey) s.captureKey = 0;
    if (vk == plat::VK_SHIFT) s.shiftToggle = !s.shiftToggle;
    if (vk == s.watchedKey) ++s.watchedKeyCount;
}

void MouseMove(std::intptr_t lParam) {
    plat::Point p{static_cast<std::int32_t>(plat::LowWord(lParam)), static_cast<std::int32_t>(plat::HighWord(lParam))};
    const plat::Rect place = ScreenPlace();
    // A screen shown scaled or off the corner: the mouse in screen pixels.
    if (ScreenPlaced(place)) p = plat::AreaToScreen(place, krScreen.screenWidth, krScreen.screenHeight, p);
    krSystemState.mouseX = p.x;
    krSystemState.mouseY = p.y;
}

void MouseButton(std::uint32_t message) {
    krSystemStateRecord& s = krSystemState;
    switch (message) {
        case plat::WM_LBUTTONDOWN:
            OnLeftDown();
            break;
        case plat::WM_LBUTTONUP:
            s.leftDown = 0;
            if (s.buttonDown == kLeftButtonCode) s.buttonDown = 0;
            s.captureLeft = 0;
            break;
        case plat::WM_RBUTTONDOWN:
            OnRightDown();
            break;
        case plat::WM_RBUTTONUP:
            s.rightDown = 0;
            if (s.buttonDown == kRightButtonCode) s.buttonDown = 0;
            break;
        case plat::WM_LBUTTONDBLCLK:
            if (!s.inputSuspended) s.leftDoubleClick = 1;
            break;
        case plat::WM_RBUTTONDBLCLK:
            OnRightDoubleClick();
            break;
        default:
            break;
    }
}

void PollKey(int vk, std::int32_t& state) {
    bool down = (plat::GetKeyState(vk) & 0x80) != 0;
    state = NextPressState(state, down);
    if (InputHeldBack()) state = 0;
}

int WaitRelease(const int* codes) {
    krSystemStateRecord& s = krSystemState;
    ReleaseWait& w = releaseWait;
    if (w.phase == 0 && s.heldKey == 0 && s.buttonDown == 0) w.phase = 1;
    if (w.phase == 1 && codes) {
        for (const int* c = codes; *c != 0; ++c) {
            if (*c == s.lastKey || *c == s.lastButton) {
                w.candidate = *c;
                w.phase = 2;
                break;
            }
        }
    }
    if (w.phase != 2) return 0;
    bool mouse = IsMouseCode(w.candidate);
    if ((!mouse && s.lastKey != w.candidate) || (mouse && s.lastButton != w.candidate)) w.phase = 0;
    bool released = mouse ? s.buttonDown == 0 : s.heldKey == 0;
    if (!released) return 0;
    w.phase = 0;
    s.lastKey = 0;
    s.lastButton = 0;
    return w.candidate;
}

void SuspendInput() { krSystemState.inputSuspended = 1; }

void ResumeInput() {
    krSystemState.inputSuspended = 0;
    krSystemState.heldKey = 0;
}

void WatchKey(int vk) {
    krSystemState.watchedKey = vk;
    krSystemState.watchedKeyCount = 0;
}

int WatchedKeyCount() { return krSystemState.watchedKeyCount; }

void MoveCursor(int x, int y) {
    plat::Point p{x, y};
    const plat::Rect place = ScreenPlace();
    if (ScreenPlaced(place)) p = plat::ScreenToArea(place, krScreen.screenWidth, krScreen.screenHeight, p);
    plat::SetCursorPos(p.x + krSystemState.clientLeft, p.y + krSystemState.clientTop);
}

void ConfineCursor(int left, int top, int right, int bottom) {
    plat::Rect r{left, top, right, bottom};
    plat::ClipCursor(&r);
    krSystemState.cursorClipped = 1;
}

void ConfineCursorToScreen() {
    int w = krScreen.screenWidth, h = krScreen.screenHeight;
    if (krSystemState.fullScreen)
        ConfineCursor(0, 0, w, h);
    else if (ScreenPlaced(ScreenPlace()))  // to the picture where it is shown
        ConfineCursor(krScreen.presentDestination.left, krScreen.presentDestination.top,
                      krScreen.presentDestination.right, krScreen.presentDestination.bottom);
    else
        ConfineCursor(krSystemState.clientLeft, krSystemState.clientTop, krSystemState.clientLeft + w,
                      krSystemState.clientTop + h);
}

void FreeCursor() {
    plat::ClipCursor(nullptr);
    krSystemState.cursorClipped = 0;
}

int IsCursorClipped() { return krSystemState.cursorClipped; }

}  // namespace krSystem
