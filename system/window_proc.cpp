// The main window's procedure and the orderly shut-down that every way out
// of the program runs exactly once.
#include "draw/krDraw.h"
#include "platform/audio/mci.h"
#include "platform/os/window.h"
#include "platform/os/window_placement.h"
#include "sound/krSound.h"
#include "system/krSystem.h"

namespace {

// A 16-bit word of a message parameter as a signed client coordinate; 32768
// itself stays positive.
std::int32_t SignedWord(std::uint32_t word) {
    return word > 32768 ? static_cast<std::int32_t>(word) - 65536 : static_cast<std::int32_t>(word);
}

// The picture keeps its place in the client area (as krDraw::Screen set it:
// centred at the largest whole scale that fits) while the area moves.
void OnMove(std::intptr_t lParam) {
    krSystemState.clientLeft = SignedWord(plat::LowWord(lParam));
    krSystemState.clientTop = SignedWord(plat::HighWord(lParam));
    const int w = krScreen.screenWidth, h = krScreen.screenHeight;
    plat::Rect place{0, 0, w, h};
    if (krScreen.front != nullptr) place = plat::ScreenInArea(krScreen.front->width, krScreen.front->height, w, h);
    plat::Rect& dst = krScreen.presentDestination;
    dst.left = krSystemState.clientLeft + place.left;
    dst.top = krSystemState.clientTop + place.top;
    dst.right = krSystemState.clientLeft + place.right;
    dst.bottom = krSystemState.clientTop + place.bottom;
    if (krSystemState.keepCursorClipped == 1) krSystem::ConfineCursorToScreen();
}

void OnActivateApp(bool activated) {
    if (!activated) {
        krSystem::SetActive(0);
        if (krSystemState.cursorShown == 0) {
            plat::ShowCursor(true);
            krSystemState.cursorShown = 1;
        }
        if (krSystemState.keepCursorClipped == 1) krSystem::FreeCursor();
        return;
    }
    krSystem::SetActive(1);
    krSystem::ResetFrameClock();
    if (krSystemState.keepCursorClipped == 1) krSystem::ConfineCursorToScreen();
}

// The MIDI piece's play request ended: if the device really stopped, the
// piece starts again or is closed.
void OnMciNotify(std::uintptr_t flag) {
    if (flag != plat::MCI_NOTIFY_SUCCESSFUL || !krSound::midiOpen) return;
    char mode[32];
    plat::MciSendString("status midi mode", mode, sizeof mode, 0);
    if (mode[0] == 's' && mode[1] == 't') krSound::MidiNotify();
}

void OnKeyDown(int vk) {
    if (krSystemState.inputSuspended)
        krSystemState.captureKey = vk;
    else
        krSystem::KeyDown(vk);
}

}  // namespace

namespace krSystem {

std::intptr_t WindowProc(plat::HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    using namespace plat;
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_MOVE:
            OnMove(lParam);
            break;
        case WM_CLOSE:
            if (krSystemState.closeState == 0) krSystemState.closeState = 1;
            if (krSystemState.closeState < 2) Shutdown();
            DestroyWindow(hwnd);
            return 0;
        case WM_ACTIVATEAPP:
            OnActivateApp(wParam != 0);
            return 0;
        case WM_SETCURSOR:
            if (krSystemState.fullScreen && krSystemState.messageBoxOpen == 0) {
                SetCursorShape(false);
                return 1;
            }
            break;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<int>(wParam));
            break;
        case WM_KEYUP:
            KeyUp(static_cast<int>(wParam));
            break;
        case WM_SYSKEYDOWN:
            if (krSystemState.sysKeyMode == 0) return 0;
            if (krSystemState.sysKeyMode == 2 && wParam == static_cast<std::uintptr_t>(VK_MENU)) return 0;
            OnKeyDown(static_cast<int>(wParam));
            break;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
            break;
        case WM_MOUSEMOVE:
            MouseMove(lParam);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            MouseButton(message);
            break;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            MouseButton(message);
            return 0;
        case MM_MCINOTIFY:
            OnMciNotify(wParam);
            break;
        default:
            break;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

void SetActive(int flag) { krSystemState.active = flag; }

void SetSysKeyMode(int mode) { krSystemState.sysKeyMode = mode; }

int Shutdown() {
    if (krSystemState.shutdownDone == 1) return 1;
    krSystemState.shutdownDone = 1;
    FreeCursor();
    krDraw::QuitFont();
    krSound::Release();
    krDraw::Release();
    if (krSystemState.instanceMutex) {
        plat::ReleaseInstanceLock();
        krSystemState.instanceMutex = false;
    }
    if (krSystemState.closeState == 0) plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
    krSystemState.closeState = 2;
    return 1;
}

}  // namespace krSystem
