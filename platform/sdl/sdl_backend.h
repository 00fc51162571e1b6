/// @file
/// The SDL2 edge of the platform layer: a real window, keyboard and mouse
/// events as window messages, present through a streaming texture, cursor,
/// message boxes, joysticks and the cross-process single-instance guard.
/// A windowed game's main makes it the active edge before anything else:
///
///     plat::SetBackend(&plat::sdl::Instance());
#pragma once
#include "platform/os/backend.h"

/// The SDL2 edge.
namespace plat::sdl {

/// The SDL backend, made on first use (SDL itself starts with the window). Hand it to plat::SetBackend
/// ("platform/os/backend.h") as the first line of main; until a backend is set the engine runs headless.
Backend& Instance();

}  // namespace plat::sdl
