// Two joysticks: raw readings from the platform turned into button press
// states, charge levels, eight-way directions and a stick value that moves
// at a set speed.
#include <algorithm>
#include <cmath>

#include "input/krJoystick.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

krJoystickRecord krJoysticks[2];
std::int32_t krJoystickCentreX[2], krJoystickCentreY[2];

namespace {

bool Read(int joystick, plat::JoystickReading& r) { return plat::ReadJoystick(joystick, r); }

bool ButtonBit(std::uint32_t mask, int button) { return button >= 1 && button <= 32 && ((mask >> (button - 1)) & 1u); }

// One axis: -1 at or below half the centre, +1 at or above one and a half
// times the centre, else 0.
int AxisDirection(std::int32_t value, std::int32_t centre) {
    std::int32_t half = centre / 2;
    if (value <= half) return -1;
    if (value >= half + centre) return 1;
    return 0;
}

std::int32_t AdvanceButton(std::int32_t& stored, bool down) {
    stored = krSystem::NextPressState(stored, down);
    if (krSystem::InputHeldBack()) stored = 0;
    return stored;
}

float AdvanceCharge(float& charge, bool held, float speed) {
    if (!held) return charge = 0.0f;
    charge += speed * krSystemState.frameTime;
    if (charge >= 100.0f) charge = 100.0f;
    return charge;
}

void AdvanceStick(float& value, int direction, float speed) {
    float step = speed * krSystemState.frameTime;
    if (direction != 0) {
        value += static_cast<float>(direction) * step;
        if (value >= 100.0f) value = 100.0f;
        if (value <= -100.0f) value = -100.0f;
    } else if (value > 0.0f) {
        value = std::max(0.0f, value - step);
    } else if (value < 0.0f) {
        value = std::min(0.0f, value + step);
    }
}

}  // namespace

namespace krJoystick {

void Init() {
    plat::JoystickConfigChanged();
    for (int j = 0; j < 2; ++j) {
        plat::JoystickReading r;
        bool ok = Read(j, r);
        krJoystickCentreX[j] = ok ? static_cast<std::int32_t>(r.x) : 0;
        krJoystickCentreY[j] = ok ? static_cast<std::int32_t>(r.y) : 0;
        krJoysticks[j] = krJoystickRecord{};
    }
}

void ClearAnalog() {
    for (krJoystickRecord& j : krJoysticks) {
        j.stickX = j.stickY = 0.0f;
        for (float& c : j.charge) c = 0.0f;
    }
}

void SetSpeeds(int joystick, float stickSpeed, float chargeSpeed) {
    krJoysticks[joystick].stickSpeed = stickSpeed;
    krJoysticks[joystick].chargeSpeed = chargeSpeed;
}

void GetCentre(int joystick, int* x, int* y) {
    if (x) *x = krJoystickCentreX[joystick];
    if (y) *y = krJoystickCentreY[joystick];
}

int Button(int joystick, int button) {
    plat::JoystickReading r;
    return Read(joystick, r) && ButtonBit(r.buttons, button) ? 1 : 0;
}

int ButtonState(int joystick, int button) {
    plat::JoystickReading r;
    if (!Read(joystick, r)) return 0;
    return AdvanceButton(krJoysticks[joystick].buttonState[button - 1], ButtonBit(r.buttons, button));
}

void Buttons(int joystick, int flags[4]) {
    plat::JoystickReading r;
    bool ok = Read(joystick, r);
    for (int b = 0; b < 4; ++b) flags[b] = ok && ButtonBit(r.buttons, b + 1) ? 1 : 0;
}

void ButtonStates(int joystick, int states[4]) {
    plat::JoystickReading r;
    bool ok = Read(joystick, r);
    for (int b = 0; b < 4; ++b)
        states[b] = ok ? AdvanceButton(krJoysticks[joystick].buttonState[b], ButtonBit(r.buttons, b + 1)) : 0;
}

int Charge(int joystick, int button) {
    krJoystickRecord& j = krJoysticks[joystick];
    plat::JoystickReading r;
    if (!Read(joystick, r)) return static_cast<int>(j.charge[button - 1] = 0.0f);
    return static_cast<int>(AdvanceCharge(j.charge[button - 1], ButtonBit(r.buttons, button), j.chargeSpeed));
}

void Charges(int joystick, int charges[4]) {
    krJoystickRecord& j = krJoysticks[joystick];
    plat::JoystickReading r;
    bool ok = Read(joystick, r);
    for (int b = 0; b < 4; ++b)
        charges[b] = ok ? static_cast<int>(AdvanceCharge(j.charge[b], ButtonBit(r.buttons, b + 1), j.chargeSpeed)) : 0;
}

void Direction(int joystick, int* x, int* y) {
    plat::JoystickReading r;
    int dx = 0, dy = 0;
    if (Read(joystick, r)) {
        dx = AxisDirection(static_cast<std::int32_t>(r.x), krJoystickCentreX[joystick]);
        dy = AxisDirection(static_cast<std::int32_t>(r.y), krJoystickCentreY[joystick]);
    }
    if (x) *x = dx;
    if (y) *y = dy;
}

int Pad(int joystick) {
    plat::JoystickReading r;
    if (!Read(joystick, r)) return 5;
    int dx = AxisDirection(static_cast<std::int32_t>(r.x), krJoystickCentreX[joystick]);
    int dy = AxisDirection(static_cast<std::int32_t>(r.y), krJoystickCentreY[joystick]);
    return 5 + dx - 3 * dy;
}

void Position(int joystick, int* x, int* y) {
    plat::JoystickReading r;
    bool ok = Read(joystick, r);
    if (x) *x = ok ? static_cast<int>(r.x) : 0;
    if (y) *y = ok ? static_cast<int>(r.y) : 0;
}

void Stick(int joystick, int* x, int* y) {
    krJoystickRecord& j = krJoysticks[joystick];
    plat::JoystickReading r;
    if (!Read(joystick, r)) {
        if (x) *x = 0;
        if (y) *y = 0;
        return;
    }
    AdvanceStick(j.stickX, AxisDirection(static_cast<std::int32_t>(r.x), krJoystickCentreX[joystick]), j.stickSpeed);
    AdvanceStick(j.stickY, AxisDirection(static_cast<std::int32_t>(r.y), krJoystickCentreY[joystick]), j.stickSpeed);
    if (x) *x = static_cast<int>(j.stickX);
    if (y) *y = static_cast<int>(j.stickY);
}

}  // namespace krJoystick
