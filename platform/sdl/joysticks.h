// Joysticks 0 and 1 of the engine over SDL's joystick API: the first two
// devices fill the two slots, a device plugged in later takes a free slot,
// an unplugged one frees its slot. Readings are X and Y as 0..65535 (centre
// near 32767) and a 32-bit button mask.
#pragma once
#include <SDL2/SDL.h>

#include "platform/os/window.h"

namespace plat::sdl {

// The reading of an open joystick. A device without two axes steers X and Y
// with its first hat.
JoystickReading ReadDevice(SDL_Joystick* joystick);

class Joysticks {
public:
    ~Joysticks() { CloseAll(); }

    // Starts SDL's joystick service on first use.
    bool Start();
    // Closes slots whose device went away and fills free slots from the
    // devices present (the engine's "configuration may have changed").
    void Rescan();
    void OnDeviceAdded(int deviceIndex);
    void OnDeviceRemoved(SDL_JoystickID instance);
    // False when the slot is empty or its device is unplugged.
    bool Read(int id, JoystickReading& out);
    SDL_Joystick* Slot(int id) const { return id >= 0 && id < kSlots ? slots_[id] : nullptr; }
    void CloseAll();

    static constexpr int kSlots = 2;

private:
    bool IsOpen(SDL_JoystickID instance) const;
    void CloseSlot(int slot);

    bool started_ = false;
    SDL_Joystick* slots_[kSlots] = {};
};

}  // namespace plat::sdl
