// The MIDI player on Windows: the same reader (midi_file.h) and the same
// clock as on other systems, but the notes go to the system's own MIDI
// synthesiser (winmm's midiOut) instead of a synthesiser in the mixer.
//
// The clock is the mixer: the player is a mixer source that adds no sound.
// Each pull advances the piece by the frames pulled and sends the events
// that fell due, so the music keeps the audio device's time in a window and
// the virtual time of the headless edge, and every position, end and
// notification behaves as where the mixer renders the music itself. The
// system's synthesiser is opened only when the active edge's audio runs in
// real time: headless runs are silent and never touch a device.
//
// System-exclusive messages are not sent: the system's synthesiser is
// already a General MIDI one and needs no reset.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/audio/midi_file.h"
#include "platform/audio/midi_out_win32.h"
#include "platform/audio/midi_player.h"
#include "platform/audio/mixer.h"
#include "platform/audio/notices.h"
#include "platform/os/backend.h"
#include "platform/os/window.h"

namespace plat::audio {
namespace {

struct Notice {
    HWND window = 0;
    std::uintptr_t flag = 0;
    std::uint32_t deviceId = 0;
};

struct Player {
    std::mutex mutex;
    bool out = false;  // the system's synthesiser is open (real time only)
    bool outTried = false;
    // The piece.
    bool open = false;
    MidiSong song;
    std::size_t cursor = 0;       // next event to send
    std::uint64_t position = 0;   // frames played at `positionRate`
    int positionRate = 44100;
    bool playing = false;
    // The pending end notification.
    bool notifyPending = false;
    HWND notifyWindow = 0;
    std::uint32_t deviceId = 0;
    int source = 0;
};

// Never destroyed: the device thread may still pull while the process exits.
Player& Self() {
    static Player* player = new Player;
    return *player;
}

// Set on the mixing thread when a piece with a pending notification ends.
std::atomic<bool> endSignal{false};

void SayNoMusic(const std::string& why) { SayOnce("no music (" + why + ")"); }

// Opens the system's synthesiser once, in real-time runs only.
void EnsureOutput(Player& p) {
    if (p.outTried || !ActiveBackend().AudioRunsInRealTime()) return;
    p.outTried = true;
    p.out = SystemSynthOpen();
    if (!p.out) SayNoMusic("the system's MIDI synthesiser could not be opened");
}

void Send(Player& p, const MidiEvent& e) {
    if (!p.out || e.status == 0xF0) return;
    SystemSynthSend(e.status | (static_cast<std::uint32_t>(e.data1) << 8) | (static_cast<std::uint32_t>(e.data2) << 16));
}

// Every note off and every controller back, on all sixteen channels.
void Silence(Player& p) {
    if (!p.out) return;
    for (std::uint32_t channel = 0; channel < 16; ++channel) {
        SystemSynthSend(0xB0 | channel | (120 << 8));  // all sound off
        SystemSynthSend(0xB0 | channel | (121 << 8));  // reset all controllers
    }
}

// Frame (at `rate`) at which something `micros` into the piece happens,
// rounded up.
std::uint64_t FrameOf(std::uint64_t micros, int rate) {
    return (micros * static_cast<std::uint64_t>(rate) + 999999) / 1000000;
}

// The mixer source: adds nothing, advances the piece on the pulling thread.
void Render(float*, int frames, int rate) {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.open || !p.playing) return;
    if (rate != p.positionRate) {
        p.position = p.position * static_cast<std::uint64_t>(rate) / static_cast<std::uint64_t>(p.positionRate);
        p.positionRate = rate;
    }
    const std::uint64_t end = p.position + static_cast<std::uint64_t>(frames);
    while (p.cursor < p.song.events.size() && FrameOf(p.song.events[p.cursor].micros, rate) <= end)
        Send(p, p.song.events[p.cursor++]);
    const std::uint64_t last = FrameOf(p.song.lengthMicros, rate);
    if (p.cursor == p.song.events.size() && end >= last) {
        p.position = last;
        p.playing = false;
        if (p.notifyPending) endSignal.store(true);
        return;
    }
    p.position = end;
}

Notice TakeNotice(Player& p, std::uintptr_t flag) {
    Notice n;
    if (!p.notifyPending) return n;
    p.notifyPending = false;
    n = Notice{p.notifyWindow, flag, p.deviceId};
    return n;
}

void Post(const Notice& n) {
    if (n.flag) PostMessage(n.window, MM_MCINOTIFY, n.flag, static_cast<std::intptr_t>(n.deviceId));
}

// The message pump's hook: the end found on the mixing thread becomes the
// notification message, here on the main thread.
void DeliverEnd() {
    if (!endSignal.exchange(false)) return;
    Player& p = Self();
    Notice n;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.playing) n = TakeNotice(p, MCI_NOTIFY_SUCCESSFUL);
    }
    Post(n);
}

void Rewind(Player& p) {
    p.playing = false;
    p.cursor = 0;
    p.position = 0;
    Silence(p);
}

}  // namespace

std::vector<std::string> SoundFontCandidates(const std::string&, std::string& why) {
    why = "the system's MIDI synthesiser needs no SoundFont";
    return {};
}

void MidiPreload() {}

bool MidiOpen(const std::string& path) {
    MidiClose();
    MidiSong song;
    if (!LoadMidiFile(path, song)) return false;
    if (!OpenOutput()) {
        SayNoMusic("no audio device");
        return false;
    }
    Player& p = Self();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        EnsureOutput(p);
        p.song = std::move(song);
        p.open = true;
        p.positionRate = OutputFormat().rate;
        p.notifyPending = false;
        Rewind(p);
    }
    AddMainThreadHook(&DeliverEnd);
    const int source = AddSource(&Render);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.source = source;
    return true;
}

void MidiClose() {
    Player& p = Self();
    Notice n;
    int source = 0;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.open) return;
        n = TakeNotice(p, MCI_NOTIFY_ABORTED);
        Rewind(p);
        p.open = false;
        p.song = MidiSong{};
        source = p.source;
        p.source = 0;
    }
    RemoveSource(source);
    Post(n);
}

bool MidiIsOpen() {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.open;
}

void MidiSeekToStart() {
    Player& p = Self();
    Notice n;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.open) return;
        n = TakeNotice(p, MCI_NOTIFY_ABORTED);
        Rewind(p);
    }
    Post(n);
}

void MidiPlay(HWND notifyWindow, std::uint32_t deviceId) {
    Player& p = Self();
    Notice n;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.open) return;
        n = TakeNotice(p, MCI_NOTIFY_SUPERSEDED);
        p.playing = true;
        if (notifyWindow) {
            p.notifyPending = true;
            p.notifyWindow = notifyWindow;
            p.deviceId = deviceId;
        }
    }
    Post(n);
}

void MidiStop() {
    Player& p = Self();
    Notice n;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.open) return;
        n = TakeNotice(p, MCI_NOTIFY_ABORTED);
        p.playing = false;
        Silence(p);
    }
    Post(n);
}

bool MidiIsPlaying() {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.open && p.playing;
}

std::uint64_t MidiLengthMicros() {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.song.lengthMicros;
}

std::uint64_t MidiPositionMicros() {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.position * 1000000 / static_cast<std::uint64_t>(p.positionRate);
}

bool MidiSynthAvailable() { return true; }

bool MidiRendersIntoMixer() { return false; }

}  // namespace plat::audio
