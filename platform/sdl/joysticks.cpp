// Two joystick slots over SDL's joystick API, with hot-plugging.
#include "platform/sdl/joysticks.h"

namespace plat::sdl {
namespace {

constexpr std::uint32_t kCentre = 32767;
constexpr std::uint32_t kMaxAxis = 65535;

std::uint32_t AxisValue(Sint16 raw) { return static_cast<std::uint32_t>(static_cast<int>(raw) + 32768); }

void HatToAxes(Uint8 hat, JoystickReading& r) {
    r.x = (hat & SDL_HAT_LEFT) ? 0 : (hat & SDL_HAT_RIGHT) ? kMaxAxis : kCentre;
    r.y = (hat & SDL_HAT_UP) ? 0 : (hat & SDL_HAT_DOWN) ? kMaxAxis : kCentre;
}

}  // namespace

JoystickReading ReadDevice(SDL_Joystick* joystick) {
    JoystickReading r;
    r.x = r.y = kCentre;
    if (SDL_JoystickNumAxes(joystick) >= 2) {
        r.x = AxisValue(SDL_JoystickGetAxis(joystick, 0));
        r.y = AxisValue(SDL_JoystickGetAxis(joystick, 1));
    } else if (SDL_JoystickNumHats(joystick) >= 1) {
        HatToAxes(SDL_JoystickGetHat(joystick, 0), r);
    }
    int buttons = SDL_JoystickNumButtons(joystick);
    for (int b = 0; b < buttons && b < 32; ++b) {
        if (SDL_JoystickGetButton(joystick, b)) r.buttons |= 1u << b;
    }
    return r;
}

bool Joysticks::Start() {
    if (started_) return true;
    // Joysticks are read whether or not the window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    started_ = true;
    Rescan();
    return true;
}

bool Joysticks::IsOpen(SDL_JoystickID instance) const {
    for (SDL_Joystick* j : slots_) {
        if (j && SDL_JoystickInstanceID(j) == instance) return true;
    }
    return false;
}

void Joysticks::CloseSlot(int slot) {
    if (slots_[slot]) SDL_JoystickClose(slots_[slot]);
    slots_[slot] = nullptr;
}

void Joysticks::Rescan() {
    if (!started_) return;
    for (int s = 0; s < kSlots; ++s) {
        if (slots_[s] && !SDL_JoystickGetAttached(slots_[s])) CloseSlot(s);
    }
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) OnDeviceAdded(i);
}

void Joysticks::OnDeviceAdded(int deviceIndex) {
    if (!started_) return;
    SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (instance < 0 || IsOpen(instance)) return;
    for (int s = 0; s < kSlots; ++s) {
        if (!slots_[s]) {
            slots_[s] = SDL_JoystickOpen(deviceIndex);
            return;
        }
    }
}

void Joysticks::OnDeviceRemoved(SDL_JoystickID instance) {
    for (int s = 0; s < kSlots; ++s) {
        if (slots_[s] && SDL_JoystickInstanceID(slots_[s]) == instance) CloseSlot(s);
    }
}

bool Joysticks::Read(int id, JoystickReading& out) {
    if (id < 0 || id >= kSlots || !Start()) return false;
    SDL_Joystick* j = slots_[id];
    if (!j || !SDL_JoystickGetAttached(j)) return false;
    out = ReadDevice(j);
    return true;
}

void Joysticks::CloseAll() {
    for (int s = 0; s < kSlots; ++s) CloseSlot(s);
}

}  // namespace plat::sdl
