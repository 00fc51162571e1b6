// The media control command strings: split into words (a double-quoted
// word may hold spaces), checked, and carried out on the MIDI player.
#include "platform/audio/mci.h"

#include <strings.h>

#include <cstring>

#include "platform/audio/midi_player.h"
#include "platform/os/window.h"

namespace plat {
namespace {

constexpr std::uint32_t kDeviceId = 1;
constexpr std::size_t kLogKept = 100;  // commands the log keeps at least

struct OpenDevice {
    bool open = false;
    std::string alias;
};

OpenDevice& Device() {
    static OpenDevice device;
    return device;
}

std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

// Appends to the log; past twice its length the older half goes, so a
// looping piece (two commands a pass) cannot grow it for ever.
void LogCommand(const char* command) {
    std::vector<std::string>& log = Log();
    if (log.size() >= 2 * kLogKept) log.erase(log.begin(), log.end() - (kLogKept - 1));
    log.push_back(command);
}

bool Is(const std::string& word, const char* keyword) { return strcasecmp(word.c_str(), keyword) == 0; }

// Words separated by blanks; "..." is one word without its quotes. False
// for a quote that is never closed.
bool Split(const char* command, std::vector<std::string>& words) {
    const char* p = command;
    while (*p) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        std::string word;
        if (*p == '"') {
            const char* close = std::strchr(p + 1, '"');
            if (!close) return false;
            word.assign(p + 1, close);
            p = close + 1;
        } else {
            while (*p && *p != ' ' && *p != '\t') word += *p++;
        }
        words.push_back(word);
    }
    return true;
}

void SetReply(char* reply, std::uint32_t replyBytes, const char* text) {
    if (!reply || replyBytes == 0) return;
    std::strncpy(reply, text, replyBytes - 1);
    reply[replyBytes - 1] = '\0';
}

bool IsMidiName(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = path.substr(dot);
    return Is(ext, ".mid") || Is(ext, ".midi") || Is(ext, ".rmi");
}

// open <element> [type sequencer] [alias <name>] [shareable]
std::uint32_t Open(const std::vector<std::string>& w) {
    if (w.size() < 2) return MCIERR_MISSING_PARAMETER;
    std::string alias = w[1];
    bool sequencer = IsMidiName(w[1]);
    for (std::size_t i = 2; i < w.size(); ++i) {
        if (Is(w[i], "type") && i + 1 < w.size()) {
            sequencer = Is(w[++i], "sequencer");
            if (!sequencer) return MCIERR_INVALID_DEVICE_NAME;
        } else if (Is(w[i], "alias") && i + 1 < w.size()) {
            alias = w[++i];
        } else if (!Is(w[i], "shareable")) {
            return MCIERR_UNRECOGNIZED_KEYWORD;
        }
    }
    if (!sequencer) return MCIERR_INVALID_DEVICE_NAME;
    OpenDevice& device = Device();
    if (device.open) return MCIERR_DUPLICATE_ALIAS;
    if (!audio::MidiOpen(ResolvePath(w[1]))) return MCIERR_FILE_NOT_FOUND;
    device.open = true;
    device.alias = alias;
    return 0;
}

bool Addresses(const std::string& name) {
    const OpenDevice& device = Device();
    return device.open && strcasecmp(device.alias.c_str(), name.c_str()) == 0;
}

void CloseDevice() {
    audio::MidiClose();
    Device() = OpenDevice{};
}

std::uint32_t OnDevice(const std::vector<std::string>& w, char* reply, std::uint32_t replyBytes, HWND notify) {
    const std::string& verb = w[0];
    if (Is(verb, "close") && w.size() == 2 && Is(w[1], "all")) {
        if (Device().open) CloseDevice();
        return 0;
    }
    if (w.size() < 2) return MCIERR_MISSING_PARAMETER;
    if (!Addresses(w[1])) return MCIERR_INVALID_DEVICE_NAME;
    const std::size_t extra = w.size() - 2;
    if (Is(verb, "seek")) {
        if (extra != 2 || !Is(w[2], "to") || !Is(w[3], "start")) return MCIERR_UNRECOGNIZED_KEYWORD;
        audio::MidiSeekToStart();
        return 0;
    }
    if (Is(verb, "play")) {
        if (extra > 1 || (extra == 1 && !Is(w[2], "notify"))) return MCIERR_UNRECOGNIZED_KEYWORD;
        audio::MidiPlay(extra == 1 ? notify : 0, kDeviceId);
        return 0;
    }
    if (Is(verb, "stop") || Is(verb, "close")) {
        if (extra != 0) return MCIERR_UNRECOGNIZED_KEYWORD;
        if (Is(verb, "stop"))
            audio::MidiStop();
        else
            CloseDevice();
        return 0;
    }
    if (Is(verb, "status")) {
        if (extra != 1) return extra == 0 ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
        if (!Is(w[2], "mode")) return MCIERR_UNRECOGNIZED_KEYWORD;
        SetReply(reply, replyBytes, audio::MidiIsPlaying() ? "playing" : "stopped");
        return 0;
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}

}  // namespace

std::uint32_t MciSendString(const char* command, char* reply, std::uint32_t replyBytes, HWND notifyWindow) {
    SetReply(reply, replyBytes, "");
    if (!command) return MCIERR_UNRECOGNIZED_COMMAND;
    LogCommand(command);
    std::vector<std::string> words;
    if (!Split(command, words)) return MCIERR_UNRECOGNIZED_KEYWORD;
    if (words.empty()) return MCIERR_UNRECOGNIZED_COMMAND;
    if (Is(words[0], "open")) return Open(words);
    return OnDevice(words, reply, replyBytes, notifyWindow);
}

const std::vector<std::string>& MciCommandLog() { return Log(); }

void ClearMciCommandLog() { Log().clear(); }

}  // namespace plat
