// A look inside the SDL edge for its tests: the SDL window, the frames it
// presented, raise requests received and the joystick slots.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <vector>

namespace plat::sdl {

SDL_Window* MainSdlWindow();
// Keeps a copy of each presented frame as drawn (XRGB8888, the part of the
// output that shows the logical screen).
void SetPresentCapture(bool on);
const std::vector<std::uint32_t>& LastPresentedFrame(int& width, int& height);
// Raise requests from other copies taken since the process started.
int RaiseRequestsSeen();
SDL_Joystick* JoystickSlot(int id);

}  // namespace plat::sdl
