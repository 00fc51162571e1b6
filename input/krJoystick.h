// krJoystick: two joysticks read through the platform, with button edges,
// charge levels, eight-way directions and an analog-like stick value.
#pragma once
#include <cstdint>

struct krJoystickRecord {
    float stickX = 0.0f, stickY = 0.0f;
    float stickSpeed = 0.0f;
    float charge[4] = {};
    float chargeSpeed = 0.0f;
    std::int32_t buttonState[4] = {};
};

extern krJoystickRecord krJoysticks[2];
extern std::int32_t krJoystickCentreX[2], krJoystickCentreY[2];

namespace krJoystick {

void Init();
void ClearAnalog();
void SetSpeeds(int joystick, float stickSpeed, float chargeSpeed);
void GetCentre(int joystick, int* x, int* y);
int Button(int joystick, int button);
int ButtonState(int joystick, int button);
void Buttons(int joystick, int flags[4]);
void ButtonStates(int joystick, int states[4]);
int Charge(int joystick, int button);
void Charges(int joystick, int charges[4]);
void Direction(int joystick, int* x, int* y);
int Pad(int joystick);
void Position(int joystick, int* x, int* y);
void Stick(int joystick, int* x, int* y);

}  // namespace krJoystick
