// Message boxes through SDL_ShowMessageBox, with a standard-error fallback.
#include "platform/sdl/message_box.h"

#include <cstdio>

#include "platform/os/types.h"

namespace plat::sdl {
namespace {

// Button labels must reach SDL as UTF-8 whatever the narrow execution
// character set of this file is.
const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

constexpr std::uint32_t kIconMask = 0x00F0;
constexpr std::uint32_t kIconHand = 0x0010;

Uint32 IconFlags(std::uint32_t flags) {
    switch (flags & kIconMask) {
        case kIconHand: return SDL_MESSAGEBOX_ERROR;
        case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
        default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

}  // namespace

int ShowMessageBox(SDL_Window* parent, const std::string& textUtf8, const std::string& captionUtf8,
                   std::uint32_t flags) {
    const bool yesNo = (flags & MB_TYPEMASK) == MB_YESNO;
    const int fallback = yesNo ? IDNO : IDOK;

    SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
    SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, Utf8(u8"はい")},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, Utf8(u8"いいえ")}};

    SDL_MessageBoxData box{};
    box.flags = IconFlags(flags) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = parent;
    box.title = captionUtf8.c_str();
    box.message = textUtf8.c_str();
    box.numbuttons = yesNo ? 2 : 1;
    box.buttons = yesNo ? yesNoButtons : okButton;

    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::fprintf(stderr, "[%s] %s\n", captionUtf8.c_str(), textUtf8.c_str());
        return fallback;
    }
    // Closing the box without a button gives the default answer.
    return pressed == IDOK || pressed == IDYES || pressed == IDNO ? pressed : fallback;
}

}  // namespace plat::sdl
