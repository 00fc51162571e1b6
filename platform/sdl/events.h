// SDL events of the main window as classic window messages: keys, mouse
// moves and buttons (double clicks included) in client coordinates,
// activation and deactivation, moves with the client origin, and the close
// button. Posts them to the main window's queue.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>

namespace plat::sdl {

// How the window shows the logical screen: where it lies in the window and
// its size; mouse positions are mapped back through it.
struct ViewMapping {
    SDL_Rect destination{0, 0, 0, 0};
    int logicalWidth = 0, logicalHeight = 0;
    bool fullScreen = false;
};

class EventTranslator {
public:
    // Translates one event of the window windowId; events of other windows
    // and unknown events are ignored. Returns true when it posted something.
    bool Translate(const SDL_Event& event, std::uint32_t windowId, const ViewMapping& view);

    // Posts WM_ACTIVATEAPP 1 or 0 when the state changes; the screen saver
    // is held off while the program is active.
    void SetActive(bool active);
    bool Active() const { return active_; }
    // Forgets activation and buttons (the window went away).
    void Reset();

private:
    void Window(const SDL_WindowEvent& event, const ViewMapping& view);
    void Motion(const SDL_MouseMotionEvent& event, const ViewMapping& view);
    void Button(const SDL_MouseButtonEvent& event, const ViewMapping& view);
    std::uintptr_t MouseKeyFlags() const;

    bool active_ = false;
    std::uint32_t buttons_ = 0;  // MK_LBUTTON | MK_RBUTTON as the events left them
};

}  // namespace plat::sdl
