// Reading and writing input scripts (format in input_script.h).
#include "platform/os/input_script.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/os/types.h"

namespace plat::script {
namespace {

struct NamedKey {
    const char* name;
    int vk;
};

constexpr NamedKey kNamedKeys[] = {{"LEFT", VK_LEFT},     {"UP", VK_UP},       {"RIGHT", VK_RIGHT},
                                   {"DOWN", VK_DOWN},     {"SPACE", VK_SPACE}, {"RETURN", VK_RETURN},
                                   {"TAB", VK_TAB},       {"SHIFT", VK_SHIFT}, {"PGUP", VK_PRIOR},
                                   {"PGDN", VK_NEXT},     {"HOME", VK_HOME},   {"END", VK_END},
                                   {"ESCAPE", VK_ESCAPE}};

struct NamedMouse {
    const char* name;
    MouseAction action;
    std::uint32_t message;
};

constexpr NamedMouse kMouseActions[] = {
    {"move", MouseAction::Move, WM_MOUSEMOVE},           {"ldown", MouseAction::LeftDown, WM_LBUTTONDOWN},
    {"lup", MouseAction::LeftUp, WM_LBUTTONUP},          {"ldouble", MouseAction::LeftDouble, WM_LBUTTONDBLCLK},
    {"rdown", MouseAction::RightDown, WM_RBUTTONDOWN},   {"rup", MouseAction::RightUp, WM_RBUTTONUP},
    {"rdouble", MouseAction::RightDouble, WM_RBUTTONDBLCLK}};

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A whole number within [low, high]: decimal, or hexadecimal after 0x.
bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 20) return false;
    for (char c : digits) {
        if (hex ? !std::isxdigit(static_cast<unsigned char>(c)) : (c < '0' || c > '9')) return false;
    }
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno != 0) return false;
    // Signed ranges are checked on the value as read; bit patterns above
    // the signed range are allowed only where `high` is the widest.
    if (high == INT64_MAX && low == INT64_MIN) {
        out = static_cast<long long>(value);
        return true;
    }
    if (value > static_cast<unsigned long long>(high) || static_cast<long long>(value) < low) return false;
    out = static_cast<long long>(value);
    return true;
}

bool ParseCoordinate(const std::string& text, int& out) {
    const bool negative = !text.empty() && text[0] == '-';
    long long value = 0;
    if (!ParseNumber(negative ? text.substr(1) : text, 0, 32768, value)) return false;
    out = static_cast<int>(negative ? -value : value);
    return true;
}

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; fields.size() < 7 && in >> field;) fields.push_back(field);
    return fields;
}

const NamedMouse* FindMouse(const std::string& name) {
    for (const NamedMouse& m : kMouseActions)
        if (name == m.name) return &m;
    return nullptr;
}

const NamedMouse& MouseOf(MouseAction action) {
    for (const NamedMouse& m : kMouseActions)
        if (m.action == action) return m;
    return kMouseActions[0];
}

bool Fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

bool ParseJoystick(const std::vector<std::string>& f, Event& out, std::string& error) {
    long long id = 0;
    if (f.size() < 4 || !ParseNumber(f[2], 0, 1, id)) return Fail(error, "expected '<frame> joystick <0|1> <action> ...'");
    out.kind = EventKind::Joystick;
    out.joystick = static_cast<int>(id);
    const std::string& action = f[3];
    if (action == "plug" || action == "unplug") {
        if (f.size() != 4) return Fail(error, "expected '<frame> joystick <id> plug|unplug'");
        out.joystickAction = action == "plug" ? JoystickAction::Plug : JoystickAction::Unplug;
        return true;
    }
    if (action == "axes") {
        long long x = 0, y = 0;
        if (f.size() != 6 || !ParseNumber(f[4], 0, 65535, x) || !ParseNumber(f[5], 0, 65535, y))
            return Fail(error, "expected '<frame> joystick <id> axes <x> <y>' with x and y from 0 to 65535");
        out.joystickAction = JoystickAction::Axes;
        out.x = static_cast<int>(x);
        out.y = static_cast<int>(y);
        return true;
    }
    if (action == "buttons") {
        long long mask = 0;
        if (f.size() != 5 || !ParseNumber(f[4], 0, UINT32_MAX, mask))
            return Fail(error, "expected '<frame> joystick <id> buttons <mask>'");
        out.joystickAction = JoystickAction::Buttons;
        out.buttons = static_cast<std::uint32_t>(mask);
        return true;
    }
    return Fail(error, "joystick action must be plug, unplug, axes or buttons");
}

bool ParseEvent(const std::vector<std::string>& f, Event& out, std::string& error) {
    const bool clock = f.size() >= 2 && f[1] == "clock";
    const bool joystick = f.size() >= 2 && f[1] == "joystick";
    long long frame = 0;
    const bool fromStart = clock || joystick;
    if (!ParseNumber(f[0], fromStart ? 0 : 1, kMaxFrame, frame))
        return Fail(error, fromStart ? "frame must be a number from 0" : "frame must be a number from 1");
    out = Event{};
    out.frame = static_cast<long>(frame);
    if (joystick) return ParseJoystick(f, out, error);
    if (clock) {
        long long ms = 0, times = 1;
        if (f.size() != 3 && f.size() != 4) return Fail(error, "expected '<frame> clock <ms> [<times>]'");
        if (!ParseNumber(f[2], 0, UINT32_MAX, ms)) return Fail(error, "clock must be a number of milliseconds");
        if (f.size() == 4 && !ParseNumber(f[3], 1, UINT32_MAX, times))
            return Fail(error, "the readings of a clock line must be a number from 1");
        out.kind = EventKind::Clock;
        out.clock = static_cast<std::uint32_t>(ms);
        out.times = static_cast<std::uint32_t>(times);
        return true;
    }
    if (f.size() >= 2 && f[1] == "mouse") {
        if (f.size() != 5) return Fail(error, "expected '<frame> mouse <action> <x> <y>'");
        const NamedMouse* m = FindMouse(f[2]);
        if (!m) return Fail(error, "mouse action must be move, ldown, lup, ldouble, rdown, rup or rdouble");
        if (!ParseCoordinate(f[3], out.x) || !ParseCoordinate(f[4], out.y))
            return Fail(error, "mouse position must be two numbers from -32768 to 32768");
        out.kind = EventKind::Mouse;
        out.mouse = m->action;
        return true;
    }
    if (f.size() >= 2 && f[1] == "message") {
        long long message = 0, wParam = 0, lParam = 0;
        if (f.size() != 5) return Fail(error, "expected '<frame> message <msg> <wParam> <lParam>'");
        if (!ParseNumber(f[2], 1, 0xFFFF, message) || message == WM_QUIT)
            return Fail(error, "message must be a window message number 1-0xFFFF (not WM_QUIT)");
        if (!ParseNumber(f[3], INT64_MIN, INT64_MAX, wParam) || !ParseNumber(f[4], INT64_MIN, INT64_MAX, lParam))
            return Fail(error, "wParam and lParam must be numbers");
        out.kind = EventKind::Message;
        out.message = static_cast<std::uint32_t>(message);
        out.wParam = static_cast<std::uintptr_t>(wParam);
        out.lParam = static_cast<std::intptr_t>(lParam);
        return true;
    }
    if (f.size() != 3) return Fail(error, "expected '<frame> <key> <down|up>'");
    out.kind = EventKind::Key;
    out.vk = KeyCode(f[1]);
    if (out.vk == 0)
        return Fail(error, "unknown key (LEFT, UP, RIGHT, DOWN, SPACE, RETURN, TAB, SHIFT, PGUP, PGDN, HOME, END, "
                           "ESCAPE, a letter or digit, or a code 1-255)");
    if (f[2] != "down" && f[2] != "up") return Fail(error, "action must be down or up");
    out.down = f[2] == "down";
    return true;
}

std::string Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

std::string JoystickText(const Event& e) {
    switch (e.joystickAction) {
        case JoystickAction::Plug: return " plug";
        case JoystickAction::Unplug: return " unplug";
        case JoystickAction::Axes: return " axes " + std::to_string(e.x) + " " + std::to_string(e.y);
        case JoystickAction::Buttons: return " buttons " + Hex(e.buttons);
    }
    return "";
}

}  // namespace

int KeyCode(const std::string& name) {
    const std::string upper = Upper(name);
    for (const NamedKey& k : kNamedKeys)
        if (upper == k.name) return k.vk;
    if (upper.size() == 1 && std::isalnum(static_cast<unsigned char>(upper[0]))) return upper[0];
    long long code = 0;
    if (ParseNumber(name, 1, 255, code)) return static_cast<int>(code);
    return 0;
}

std::string KeyName(int vk) {
    for (const NamedKey& k : kNamedKeys)
        if (vk == k.vk) return k.name;
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
    // A code of one decimal digit would read back as that digit's key.
    if (vk >= 1 && vk <= 9) return Hex(static_cast<unsigned long long>(vk));
    return std::to_string(vk);
}

bool ParseLine(const std::string& line, Event& out, bool& skip, bool& countPasses, std::string& error) {
    skip = countPasses = false;
    const std::vector<std::string> f = Fields(line);
    if (f.empty() || f[0][0] == '#') {
        skip = true;
        return true;
    }
    if (f[0] == "count") {
        if (f.size() != 2 || f[1] != "passes") return Fail(error, "expected 'count passes'");
        countPasses = skip = true;
        return true;
    }
    if (f[0] == "seed") {
        long long seed = 0;
        if (f.size() != 2 || !ParseNumber(f[1], 0, UINT32_MAX, seed)) return Fail(error, "expected 'seed <n>'");
        out = Event{};
        out.kind = EventKind::Seed;
        out.seed = static_cast<std::uint32_t>(seed);
        return true;
    }
    if (f.size() > 6) return Fail(error, "too many fields");
    return ParseEvent(f, out, error);
}

bool ReadScript(const std::string& path, Script& out, std::string& error) {
    out = Script{};
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        error = "cannot read the input script '" + path + "'";
        return false;
    }
    char buffer[kMaxLineLength + 2];
    int number = 0;
    bool good = true;
    while (good && std::fgets(buffer, sizeof buffer, file) != nullptr) {
        ++number;
        std::string reason;
        Event event;
        bool skip = false, countPasses = false;
        if (std::strchr(buffer, '\n') == nullptr && !std::feof(file))
            good = Fail(reason, "line too long");
        else
            good = ParseLine(buffer, event, skip, countPasses, reason);
        if (!good) error = path + ":" + std::to_string(number) + ": " + reason;
        out.countsPasses = out.countsPasses || countPasses;
        if (good && !skip && event.kind == EventKind::Seed) out.seed = event.seed;
        else if (good && !skip) out.events.push_back(event);
    }
    if (good && std::ferror(file)) {
        error = "cannot read the input script '" + path + "'";
        good = false;
    }
    std::fclose(file);
    std::stable_sort(out.events.begin(), out.events.end(),
                     [](const Event& a, const Event& b) { return a.frame < b.frame; });
    return good;
}

std::string FormatEvent(const Event& e) {
    const std::string frame = std::to_string(e.frame) + " ";
    switch (e.kind) {
        case EventKind::Key:
            return frame + KeyName(e.vk) + (e.down ? " down" : " up");
        case EventKind::Mouse:
            return frame + "mouse " + MouseOf(e.mouse).name + " " + std::to_string(e.x) + " " + std::to_string(e.y);
        case EventKind::Clock:
            return frame + "clock " + std::to_string(e.clock) + (e.times > 1 ? " " + std::to_string(e.times) : "");
        case EventKind::Seed:
            return "seed " + std::to_string(e.seed);
        case EventKind::Joystick:
            return frame + "joystick " + std::to_string(e.joystick) + JoystickText(e);
        case EventKind::Message:
            return frame + "message " + Hex(e.message) + " " + Hex(static_cast<unsigned long long>(e.wParam)) + " " +
                   Hex(static_cast<unsigned long long>(static_cast<long long>(e.lParam)));
    }
    return frame;
}

void EventMessage(const Event& e, std::uint32_t& message, std::uintptr_t& wParam, std::intptr_t& lParam) {
    message = 0;
    wParam = 0;
    lParam = 0;
    switch (e.kind) {
        case EventKind::Key:
            message = e.down ? WM_KEYDOWN : WM_KEYUP;
            wParam = static_cast<std::uintptr_t>(e.vk);
            // A key-up message carries the previous-state and transition bits.
            lParam = e.down ? 1 : static_cast<std::intptr_t>(0xC0000001u);
            break;
        case EventKind::Mouse:
            message = MouseOf(e.mouse).message;
            lParam = MakeLParam(e.x, e.y);
            break;
        case EventKind::Message:
            message = e.message;
            wParam = e.wParam;
            lParam = e.lParam;
            break;
        case EventKind::Clock:
        case EventKind::Seed:
        case EventKind::Joystick:
            break;
    }
}

}  // namespace plat::script
