// SDL scancodes to virtual-key codes and scan codes, and key events to key
// messages with their classic long parameter.
#include "platform/sdl/keymap.h"

#include <array>

#include "platform/os/types.h"

namespace plat::sdl {
namespace {

// Virtual keys that types.h leaves out because the engine never names them.
constexpr int kVkPrintScreen = 0x2C;
constexpr int kVkLeftWin = 0x5B, kVkRightWin = 0x5C, kVkApps = 0x5D;
constexpr int kVkNumLock = 0x90, kVkScrollLock = 0x91;
constexpr int kVkOem1 = 0xBA, kVkOemPlus = 0xBB, kVkOemComma = 0xBC, kVkOemMinus = 0xBD, kVkOemPeriod = 0xBE;
constexpr int kVkOem2 = 0xBF, kVkOem3 = 0xC0, kVkOem4 = 0xDB, kVkOem5 = 0xDC, kVkOem6 = 0xDD, kVkOem7 = 0xDE;
constexpr int kVkOem102 = 0xE2;

struct Entry {
    SDL_Scancode code;
    KeyCode key;
};

constexpr KeyCode Plain(int vk, int scan) { return KeyCode{vk, scan, false}; }
constexpr KeyCode Extended(int vk, int scan) { return KeyCode{vk, scan, true}; }

// Letters and the digit row are filled in by LetterOrDigit below.
constexpr Entry kTable[] = {
    {SDL_SCANCODE_RETURN, Plain(VK_RETURN, 0x1C)},
    {SDL_SCANCODE_ESCAPE, Plain(VK_ESCAPE, 0x01)},
    {SDL_SCANCODE_BACKSPACE, Plain(VK_BACK, 0x0E)},
    {SDL_SCANCODE_TAB, Plain(VK_TAB, 0x0F)},
    {SDL_SCANCODE_SPACE, Plain(VK_SPACE, 0x39)},
    {SDL_SCANCODE_MINUS, Plain(kVkOemMinus, 0x0C)},
    {SDL_SCANCODE_EQUALS, Plain(kVkOemPlus, 0x0D)},
    {SDL_SCANCODE_LEFTBRACKET, Plain(kVkOem4, 0x1A)},
    {SDL_SCANCODE_RIGHTBRACKET, Plain(kVkOem6, 0x1B)},
    {SDL_SCANCODE_BACKSLASH, Plain(kVkOem5, 0x2B)},
    {SDL_SCANCODE_NONUSHASH, Plain(kVkOem5, 0x2B)},
    {SDL_SCANCODE_SEMICOLON, Plain(kVkOem1, 0x27)},
    {SDL_SCANCODE_APOSTROPHE, Plain(kVkOem7, 0x28)},
    {SDL_SCANCODE_GRAVE, Plain(kVkOem3, 0x29)},
    {SDL_SCANCODE_COMMA, Plain(kVkOemComma, 0x33)},
    {SDL_SCANCODE_PERIOD, Plain(kVkOemPeriod, 0x34)},
    {SDL_SCANCODE_SLASH, Plain(kVkOem2, 0x35)},
    {SDL_SCANCODE_CAPSLOCK, Plain(VK_CAPITAL, 0x3A)},
    {SDL_SCANCODE_F11, Plain(VK_F1 + 10, 0x57)},
    {SDL_SCANCODE_F12, Plain(VK_F12, 0x58)},
    {SDL_SCANCODE_PRINTSCREEN, Extended(kVkPrintScreen, 0x37)},
    {SDL_SCANCODE_SCROLLLOCK, Plain(kVkScrollLock, 0x46)},
    {SDL_SCANCODE_PAUSE, Plain(VK_PAUSE, 0x45)},
    {SDL_SCANCODE_INSERT, Extended(VK_INSERT, 0x52)},
    {SDL_SCANCODE_HOME, Extended(VK_HOME, 0x47)},
    {SDL_SCANCODE_PAGEUP, Extended(VK_PRIOR, 0x49)},
    {SDL_SCANCODE_DELETE, Extended(VK_DELETE, 0x53)},
    {SDL_SCANCODE_END, Extended(VK_END, 0x4F)},
    {SDL_SCANCODE_PAGEDOWN, Extended(VK_NEXT, 0x51)},
    {SDL_SCANCODE_RIGHT, Extended(VK_RIGHT, 0x4D)},
    {SDL_SCANCODE_LEFT, Extended(VK_LEFT, 0x4B)},
    {SDL_SCANCODE_DOWN, Extended(VK_DOWN, 0x50)},
    {SDL_SCANCODE_UP, Extended(VK_UP, 0x48)},
    {SDL_SCANCODE_NUMLOCKCLEAR, Extended(kVkNumLock, 0x45)},
    {SDL_SCANCODE_KP_DIVIDE, Extended(VK_DIVIDE, 0x35)},
    {SDL_SCANCODE_KP_MULTIPLY, Plain(VK_MULTIPLY, 0x37)},
    {SDL_SCANCODE_KP_MINUS, Plain(VK_SUBTRACT, 0x4A)},
    {SDL_SCANCODE_KP_PLUS, Plain(VK_ADD, 0x4E)},
    {SDL_SCANCODE_KP_ENTER, Extended(VK_RETURN, 0x1C)},
    {SDL_SCANCODE_KP_1, Plain(VK_NUMPAD0 + 1, 0x4F)},
    {SDL_SCANCODE_KP_2, Plain(VK_NUMPAD0 + 2, 0x50)},
    {SDL_SCANCODE_KP_3, Plain(VK_NUMPAD0 + 3, 0x51)},
    {SDL_SCANCODE_KP_4, Plain(VK_NUMPAD0 + 4, 0x4B)},
    {SDL_SCANCODE_KP_5, Plain(VK_NUMPAD0 + 5, 0x4C)},
    {SDL_SCANCODE_KP_6, Plain(VK_NUMPAD0 + 6, 0x4D)},
    {SDL_SCANCODE_KP_7, Plain(VK_NUMPAD0 + 7, 0x47)},
    {SDL_SCANCODE_KP_8, Plain(VK_NUMPAD0 + 8, 0x48)},
    {SDL_SCANCODE_KP_9, Plain(VK_NUMPAD0 + 9, 0x49)},
    {SDL_SCANCODE_KP_0, Plain(VK_NUMPAD0, 0x52)},
    {SDL_SCANCODE_KP_PERIOD, Plain(VK_DECIMAL, 0x53)},
    {SDL_SCANCODE_NONUSBACKSLASH, Plain(kVkOem102, 0x56)},
    {SDL_SCANCODE_APPLICATION, Extended(kVkApps, 0x5D)},
    {SDL_SCANCODE_INTERNATIONAL1, Plain(kVkOem102, 0x73)},  // the Japanese "ro" key
    {SDL_SCANCODE_INTERNATIONAL3, Plain(kVkOem5, 0x7D)},    // the yen key
    {SDL_SCANCODE_LCTRL, Plain(VK_CONTROL, 0x1D)},
    {SDL_SCANCODE_LSHIFT, Plain(VK_SHIFT, 0x2A)},
    {SDL_SCANCODE_LALT, Plain(VK_MENU, 0x38)},
    {SDL_SCANCODE_LGUI, Extended(kVkLeftWin, 0x5B)},
    {SDL_SCANCODE_RCTRL, Extended(VK_CONTROL, 0x1D)},
    {SDL_SCANCODE_RSHIFT, Plain(VK_SHIFT, 0x36)},
    {SDL_SCANCODE_RALT, Extended(VK_MENU, 0x38)},
    {SDL_SCANCODE_RGUI, Extended(kVkRightWin, 0x5C)},
};

// Set-1 scan codes of the letter keys A..Z and of the digit row 1..9, 0, in
// the order of SDL's scancodes.
constexpr std::array<std::uint8_t, 26> kLetterScan = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                      0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                      0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

bool ByPosition(SDL_Scancode code, KeyCode& out) {
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) {
        int index = code - SDL_SCANCODE_A;
        out = Plain('A' + index, kLetterScan[index]);
        return true;
    }
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_0) {
        int index = code - SDL_SCANCODE_1;  // 0..8 for 1..9, 9 for 0
        out = Plain(index == 9 ? '0' : '1' + index, 0x02 + index);
        return true;
    }
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F10) {
        int index = code - SDL_SCANCODE_F1;
        out = Plain(VK_F1 + index, 0x3B + index);
        return true;
    }
    for (const Entry& e : kTable) {
        if (e.code == code) {
            out = e.key;
            return true;
        }
    }
    return false;
}

bool IsAltKey(int vk) { return vk == VK_MENU; }

}  // namespace

bool MapKey(const SDL_Keysym& key, KeyCode& out) {
    bool known = ByPosition(key.scancode, out);
    if (key.sym >= 'a' && key.sym <= 'z') {
        // A layout that puts a letter elsewhere still sends that letter.
        if (!known) out = KeyCode{};
        out.vk = 'A' + (key.sym - 'a');
        return true;
    }
    return known;
}

bool TranslateKey(const SDL_KeyboardEvent& event, KeyMessage& out) {
    KeyCode key;
    if (!MapKey(event.keysym, key)) return false;
    const bool down = event.type == SDL_KEYDOWN;
    const bool altHeld = (event.keysym.mod & KMOD_ALT) != 0 || (down && IsAltKey(key.vk));
    const bool ctrlHeld = (event.keysym.mod & KMOD_CTRL) != 0;
    const bool system = !ctrlHeld && (altHeld || key.vk == VK_F10 || IsAltKey(key.vk));

    std::uint32_t lParam = 1u;  // repeat count
    lParam |= static_cast<std::uint32_t>(key.scan & 0xFF) << 16;
    if (key.extended) lParam |= 1u << 24;
    if (system && altHeld) lParam |= 1u << 29;
    if (!down || event.repeat) lParam |= 1u << 30;  // the key was down before
    if (!down) lParam |= 1u << 31;

    out.message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    out.wParam = static_cast<std::uintptr_t>(key.vk);
    out.lParam = static_cast<std::intptr_t>(lParam);  // zero-extended, as MakeLParam does
    return true;
}

}  // namespace plat::sdl
