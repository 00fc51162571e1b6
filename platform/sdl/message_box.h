// Modal message boxes of the SDL edge: OK or Yes/No with an icon, texts in
// UTF-8. When no box can be shown (no display), the text goes to standard
// error and the default answer comes back, so nothing ever blocks.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

namespace plat::sdl {

// Returns IDOK, IDYES or IDNO; the default answer is IDOK for OK boxes and
// IDNO for Yes/No boxes.
int ShowMessageBox(SDL_Window* parent, const std::string& textUtf8, const std::string& captionUtf8,
                   std::uint32_t flags);

}  // namespace plat::sdl
