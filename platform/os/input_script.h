// Input scripts: the text that drives a headless run and that a recording
// made in the window is written as. One event a line, led by the number of
// the frame it comes before (frames from 1):
//
//   <frame> <key> down|up                 a key message (WM_KEYDOWN / WM_KEYUP)
//   <frame> mouse <action> <x> <y>        a mouse message at client (x, y);
//                                         action: move, ldown, lup, ldouble,
//                                         rdown, rup, rdouble
//   <frame> clock <ms> [<times>]          the next reading of the clock gives
//                                         <ms> (<times> readings in a row);
//                                         the readings of a frame are taken
//                                         in order from when it begins (frame
//                                         0: at program start), and the clock
//                                         runs on from the last one
//   <frame> message <msg> <wParam> <lParam>   any other window message
//   <frame> joystick <id> plug|unplug     joystick 0 or 1 plugged in (centred,
//                                         no button) or unplugged
//   <frame> joystick <id> axes <x> <y>    its position, 0..65535 each
//   <frame> joystick <id> buttons <mask>  its buttons, bit n-1 = button n
//                                         (joystick lines take effect as the
//                                         frame begins, frame 0 at start)
//   count passes                          frame numbers count passes of the
//                                         main loop, not game frames
//   seed <n>                              the random generator's seed at
//                                         start-up (1 when no line says)
//
// Keys are LEFT, UP, RIGHT, DOWN, SPACE, RETURN, TAB, SHIFT, PGUP, PGDN,
// HOME, END, ESCAPE, a letter or digit, or a virtual-key code 1-255 (0x1 to
// 0x9 are the codes 1 to 9; the digits 1 to 9 are the digit keys); names are
// case-blind. Numbers are decimal, or hexadecimal after 0x. Blank lines
// and lines starting with '#' are skipped. Backend-neutral: the SDL edge
// writes it, the headless driver reads it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat::script {

constexpr long kMaxFrame = 100000000;
constexpr std::size_t kMaxLineLength = 510;

enum class EventKind { Key, Mouse, Clock, Message, Seed, Joystick };
enum class JoystickAction { Plug, Unplug, Axes, Buttons };
enum class MouseAction { Move, LeftDown, LeftUp, LeftDouble, RightDown, RightUp, RightDouble };

struct Event {
    long frame = 0;
    EventKind kind = EventKind::Key;
    int vk = 0;  // Key
    bool down = false;
    MouseAction mouse = MouseAction::Move;  // Mouse
    int x = 0, y = 0;                       // Mouse, Joystick (axes)
    int joystick = 0;  // Joystick
    JoystickAction joystickAction = JoystickAction::Plug;
    std::uint32_t buttons = 0;
    std::uint32_t clock = 0;  // Clock
    std::uint32_t times = 1;  // Clock: readings in a row that give `clock`
    std::uint32_t seed = 0;   // Seed (a directive: ReadScript keeps it apart)
    std::uint32_t message = 0;  // Message
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct Script {
    std::vector<Event> events;  // sorted by frame, file order kept within a frame
    bool countsPasses = false;
    std::uint32_t seed = 1;
};

// Reads a whole script. On failure returns false with a one-line reason
// that names the file and line ("in.txt:3: action must be down or up").
bool ReadScript(const std::string& path, Script& out, std::string& error);
// Parses one line. Returns false with a reason on a malformed line; `skip`
// is set for blank and comment lines, `countPasses` for that directive.
bool ParseLine(const std::string& line, Event& out, bool& skip, bool& countPasses, std::string& error);
// The line for an event, without the newline; ParseLine reads it back.
std::string FormatEvent(const Event& event);

// The virtual-key code for a key name or code, 0 when there is none.
int KeyCode(const std::string& name);
// The name scripts use for a key (its decimal code when it has none).
std::string KeyName(int vk);

// The window message an event stands for (clock events have none).
void EventMessage(const Event& event, std::uint32_t& message, std::uintptr_t& wParam, std::intptr_t& lParam);

}  // namespace plat::script
