// Keyboard translation of the SDL edge: SDL scancodes and key symbols become
// the classic virtual-key codes and the key messages' long parameter
// (repeat count, hardware scan code, extended, Alt, previous-state and
// transition bits).
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>

namespace plat::sdl {

struct KeyCode {
    int vk = 0;              // virtual-key code
    int scan = 0;            // PC keyboard (set 1) scan code
    bool extended = false;   // one of the keys that carry the E0 prefix
};

// The key for an SDL key; false for a key no program of ours knows (it is
// then ignored). Letters follow the keyboard layout (the key symbol), every
// other key its position (the scancode).
bool MapKey(const SDL_Keysym& key, KeyCode& out);

struct KeyMessage {
    std::uint32_t message = 0;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// The message for a key event: system keys are F10, the Alt keys themselves
// and anything pressed while Alt is held (but not with Ctrl, which makes
// Alt+Ctrl combinations ordinary keys).
bool TranslateKey(const SDL_KeyboardEvent& event, KeyMessage& out);

}  // namespace plat::sdl
