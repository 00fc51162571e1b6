/// @file
/// krJoystick: two joysticks read through the platform, with button edges,
/// charge levels, eight-way directions and an analog-like stick value.
#pragma once
#include <cstdint>

/// The derived state of one joystick.
struct krJoystickRecord {
    /// @{
    /// The analog-like stick value, -100 to 100 per axis, built by krJoystick::Stick.
    float stickX = 0.0f, stickY = 0.0f;
    /// @}
    /// How fast the stick value moves, per second.
    float stickSpeed = 0.0f;
    /// Charge level of buttons 1 to 4: grows while the button is held.
    float charge[4] = {};
    /// How fast a charge grows, per second.
    float chargeSpeed = 0.0f;
    /// Press states of buttons 1 to 4 (0 up, 1 just down, 3 held, 2 just up).
    std::int32_t buttonState[4] = {};
};

/// Joysticks 0 and 1.
extern krJoystickRecord krJoysticks[2];
/// @{
/// The centre position of each joystick, read by krJoystick::Init.
extern std::int32_t krJoystickCentreX[2], krJoystickCentreY[2];
/// @}

/// Two joysticks (0 and 1); buttons are numbered from 1. A joystick that cannot be read gives the documented
/// neutral values.
namespace krJoystick {

/// Reads both joysticks' centre positions (0, 0 when one cannot be read); called by krDraw::Screen.
void Init();
/// Zeroes the stick values and charges of both joysticks; speeds and button states stay.
void ClearAnalog();
/// Sets the stick and charge speeds of one joystick.
void SetSpeeds(int joystick, float stickSpeed, float chargeSpeed);
/// The centre position of a joystick.
void GetCentre(int joystick, int* x, int* y);
/// Returns 1 while button 1 to 32 is held, else 0.
int Button(int joystick, int button);
/// Advances and returns the press state of button 1 to 4.
int ButtonState(int joystick, int button);
/// Held flags of buttons 1 to 4.
void Buttons(int joystick, int flags[4]);
/// Advances and returns the press states of buttons 1 to 4.
void ButtonStates(int joystick, int states[4]);
/// Advances and returns the charge of button 1 to 4: grows while held, 0 once released.
int Charge(int joystick, int button);
/// Advances and returns the charges of buttons 1 to 4.
void Charges(int joystick, int charges[4]);
/// The stick's direction per axis: -1 (left, up), 0 or 1.
void Direction(int joystick, int* x, int* y);
/// The stick's direction as a numeric-keypad digit 1 to 9 (5 the centre).
int Pad(int joystick);
/// The raw stick position.
void Position(int joystick, int* x, int* y);
/// Advances and returns the analog-like stick value (-100 to 100 per axis): moves by stickSpeed per second while
/// pushed, back towards 0 when released.
void Stick(int joystick, int* x, int* y);

}  // namespace krJoystick
