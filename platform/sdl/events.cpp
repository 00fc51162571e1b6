// Translation of SDL events into posted window messages.
#include "platform/sdl/events.h"

#include "platform/sdl/keymap.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/recorder.h"
#include "platform/os/window.h"

namespace plat::sdl {
namespace {

constexpr std::uintptr_t kMkShift = 0x0004;
constexpr std::uintptr_t kMkControl = 0x0008;

void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    PostMessage(MainWindow(), message, wParam, lParam);
    Recorder().Posted(message, wParam, lParam);
}

bool ForWindow(std::uint32_t eventWindow, std::uint32_t windowId) {
    // Events made by SDL itself for no particular window carry 0.
    return eventWindow == 0 || eventWindow == windowId;
}

std::intptr_t ClientLParam(const ViewMapping& view, int x, int y) {
    SDL_Point p = OutputToLogical(view.destination, view.logicalWidth, view.logicalHeight, x, y);
    return MakeLParam(p.x, p.y);
}

std::uint32_t ButtonBit(Uint8 button) {
    if (button == SDL_BUTTON_LEFT) return MK_LBUTTON;
    if (button == SDL_BUTTON_RIGHT) return MK_RBUTTON;
    return 0;
}

}  // namespace

bool EventTranslator::Translate(const SDL_Event& event, std::uint32_t windowId, const ViewMapping& view) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            KeyMessage key;
            if (!ForWindow(event.key.windowID, windowId) || !TranslateKey(event.key, key)) return false;
            Post(key.message, key.wParam, key.lParam);
            return true;
        }
        case SDL_MOUSEMOTION:
            if (!ForWindow(event.motion.windowID, windowId)) return false;
            Motion(event.motion, view);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (!ForWindow(event.button.windowID, windowId) || ButtonBit(event.button.button) == 0) return false;
            Button(event.button, view);
            return true;
        case SDL_WINDOWEVENT:
            if (!ForWindow(event.window.windowID, windowId)) return false;
            Window(event.window, view);
            return true;
        case SDL_QUIT:  // a termination signal: close as the close button does
            Post(WM_CLOSE, 0, 0);
            return true;
        default:
            return false;
    }
}

void EventTranslator::Window(const SDL_WindowEvent& event, const ViewMapping& view) {
    switch (event.event) {
        case SDL_WINDOWEVENT_MOVED:
            Post(WM_MOVE, 0, view.fullScreen ? MakeLParam(0, 0) : MakeLParam(event.data1, event.data2));
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            SetActive(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            SetActive(false);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Post(WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

void EventTranslator::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    // The system asks for the screen saver only while we are in front; the
    // engine refuses it then, so keep it off while active.
    if (active)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
    Post(WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

void EventTranslator::Reset() {
    if (active_) SDL_EnableScreenSaver();
    active_ = false;
    buttons_ = 0;
}

std::uintptr_t EventTranslator::MouseKeyFlags() const {
    std::uintptr_t flags = buttons_;
    SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) flags |= kMkShift;
    if (mod & KMOD_CTRL) flags |= kMkControl;
    return flags;
}

void EventTranslator::Motion(const SDL_MouseMotionEvent& event, const ViewMapping& view) {
    // The window is asked for its cursor shape whenever the pointer moves
    // over it (the full-screen game hides the cursor there).
    Post(WM_SETCURSOR, static_cast<std::uintptr_t>(MainWindow()),
         MakeLParam(static_cast<int>(HTCLIENT), static_cast<int>(WM_MOUSEMOVE)));
    Post(WM_MOUSEMOVE, MouseKeyFlags(), ClientLParam(view, event.x, event.y));
}

void EventTranslator::Button(const SDL_MouseButtonEvent& event, const ViewMapping& view) {
    const std::uint32_t bit = ButtonBit(event.button);
    const bool left = bit == MK_LBUTTON;
    std::uint32_t message;
    if (event.type == SDL_MOUSEBUTTONUP) {
        buttons_ &= ~bit;
        message = left ? WM_LBUTTONUP : WM_RBUTTONUP;
    } else {
        buttons_ |= bit;
        // Every second click of a quick series is a double click, as the
        // classic system reports it (down, double click, down, ...).
        bool doubleClick = event.clicks >= 2 && event.clicks % 2 == 0;
        message = left ? (doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN)
                       : (doubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN);
    }
    Post(message, MouseKeyFlags(), ClientLParam(view, event.x, event.y));
}

}  // namespace plat::sdl
