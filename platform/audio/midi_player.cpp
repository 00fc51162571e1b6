// The MIDI player over FluidSynth. One synthesiser for the process, kept
// once made: loading a General MIDI SoundFont takes a few hundred
// milliseconds, so where the audio runs in real time MidiPreload makes it on
// a worker thread when music is initialised, and the first open only joins
// that worker (which has long finished by the time a game plays music).
//
// Locking: the mixer calls Render under its own lock, and Render takes the
// player's lock. The main thread therefore never calls into the mixer while
// it holds the player's lock.
#include "platform/audio/midi_player.h"

#include <dlfcn.h>
#include <fluidsynth.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/audio/midi_file.h"
#include "platform/audio/mixer.h"
#include "platform/audio/notices.h"
#include "platform/os/backend.h"
#include "platform/os/window.h"

namespace plat::audio {
namespace {

constexpr int kBlockFrames = 512;  // longest stretch rendered without looking at events
// Brings the music to about -22 dBFS RMS while it sounds, a few decibels
// under the effects, with its peaks well clear of full scale.
constexpr double kSynthGain = 0.55;

struct Notice {
    HWND window = 0;
    std::uintptr_t flag = 0;
    std::uint32_t deviceId = 0;
};

// A synthesiser with its SoundFont, made by the preloading worker.
struct Staged {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int rate = 0;
    int soundFontId = -1;
    std::string soundFontPath;
};

struct Player {
    std::mutex mutex;
    // The preloading worker and what it made; the main thread reads `staged`
    // only after joining it.
    std::thread worker;
    Staged staged;
    std::set<std::string> brokenFonts;  // SoundFonts that failed to load
    // The synthesiser (created once).
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int synthRate = 0;
    int soundFontId = -1;
    std::string soundFontPath;
    std::vector<float> block = std::vector<float>(2 * kBlockFrames);
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

// Never destroyed: the device thread may still render while the process
// exits.
Player& Self() {
    static Player* player = new Player;
    return *player;
}

// Set on the mixing thread when a piece with a pending notification ends.
std::atomic<bool> endSignal{false};

const char* const kSoundFontFolders[] = {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", "/usr/share/soundfonts"};
// The system's General MIDI alternative, as Debian links it.
const char* const kAlternatives[] = {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
                                     "/etc/alternatives/default-GM.sf2", "/etc/alternatives/default-GM.sf3"};
const char* const kPreferredSoundFonts[] = {"FluidR3_GM.sf2", "FluidR3_GM.sf3", "default.sf2"};

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where a path leads through its links, or the path itself.
std::string Resolved(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

void AddOnce(std::vector<std::string>& list, const std::string& path) {
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
}

void SayNoMusic(const std::string& why) { SayOnce("no music (" + why + ")"); }

void Silence(int, const char*, void*) {}

void SilentGlibLog(const char*, int, const char*, void*) {}

// The library's own log lines never reach the terminal; set before the
// first call into it, on whichever thread that is. Its SoundFont loaders
// also log through GLib (a file they cannot read gives "CRITICAL" lines);
// GLib is in the process only for them, so its default log goes quiet too.
// It is looked up at run time, as the synthesiser brings it in.
void QuietLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, &Silence, nullptr);
        using GlibLogFunction = void (*)(const char*, int, const char*, void*);
        using SetDefaultHandler = GlibLogFunction (*)(GlibLogFunction, void*);
        if (void* set = dlsym(RTLD_DEFAULT, "g_log_set_default_handler"))
            reinterpret_cast<SetDefaultHandler>(set)(&SilentGlibLog, nullptr);
    });
}

bool MakeSynth(Staged& s, int rate) {
    QuietLibrary();
    s.settings = new_fluid_settings();
    if (!s.settings) return false;
    fluid_settings_setnum(s.settings, "synth.sample-rate", rate);
    fluid_settings_setnum(s.settings, "synth.gain", kSynthGain);
    fluid_settings_setint(s.settings, "synth.threadsafe-api", 0);  // the player's lock serialises every call
    fluid_settings_setint(s.settings, "synth.cpu-cores", 1);
    s.synth = new_fluid_synth(s.settings);
    if (!s.synth) {
        delete_fluid_settings(s.settings);
        s.settings = nullptr;
        return false;
    }
    s.rate = rate;
    return true;
}

// Loads the first of the candidates that loads, skipping those that failed
// before; each failure is said once.
bool LoadFirstSoundFont(Staged& s, const std::vector<std::string>& candidates, std::set<std::string>& broken,
                        std::string& why) {
    for (const std::string& path : candidates) {
        if (s.soundFontId >= 0 && s.soundFontPath == path) return true;
        if (broken.count(path)) continue;
        const int id = fluid_synth_sfload(s.synth, path.c_str(), 1);
        if (id == FLUID_FAILED) {
            broken.insert(path);
            SayOnce("the SoundFont " + path + " could not be loaded");
            continue;
        }
        if (s.soundFontId >= 0) fluid_synth_sfunload(s.synth, s.soundFontId, 1);
        s.soundFontId = id;
        s.soundFontPath = path;
        fluid_synth_program_reset(s.synth);
        return true;
    }
    if (why.empty()) why = "no General MIDI SoundFont could be loaded";
    return false;
}

void Adopt(Player& p, Staged& s) {
    p.settings = s.settings;
    p.synth = s.synth;
    p.synthRate = s.rate;
    p.soundFontId = s.soundFontId;
    p.soundFontPath = s.soundFontPath;
    s = Staged{};
}

// Waits for the preloading worker and takes its synthesiser when none is
// made yet.
void JoinPreload(Player& p) {
    if (!p.worker.joinable()) return;
    p.worker.join();
    if (!p.synth && p.staged.synth) Adopt(p, p.staged);
    if (p.staged.synth) {
        delete_fluid_synth(p.staged.synth);
        delete_fluid_settings(p.staged.settings);
        p.staged = Staged{};
    }
}

// Makes sure the synthesiser exists with the chosen SoundFont, made for
// `rate`. Called on the main thread with the player's lock held (the mixer
// does not render the player while no piece is open, so a load here
// blocks nobody but the caller).
bool EnsureSynth(Player& p, int rate, std::string& why) {
    JoinPreload(p);
    const std::vector<std::string> candidates = SoundFontCandidates("", why);
    if (candidates.empty()) return false;
    if (!p.synth) {
        Staged made;
        if (!MakeSynth(made, rate)) {
            why = "the synthesiser could not be created";
            return false;
        }
        Adopt(p, made);
    }
    Staged current{p.settings, p.synth, p.synthRate, p.soundFontId, p.soundFontPath};
    const bool loaded = LoadFirstSoundFont(current, candidates, p.brokenFonts, why);
    p.soundFontId = current.soundFontId;
    p.soundFontPath = current.soundFontPath;
    return loaded;
}

void Send(fluid_synth_t* synth, const MidiSong& song, const MidiEvent& e) {
    if (e.status == 0xF0) {  // GM/GS resets, part assignments, tunings
        const char* bytes = reinterpret_cast<const char*>(song.sysex.data() + e.sysexOffset);
        fluid_synth_sysex(synth, bytes, static_cast<int>(e.sysexLength), nullptr, nullptr, nullptr, 0);
        return;
    }
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, e.data1);
            break;
        case 0x90:
            if (e.data2 == 0)
                fluid_synth_noteoff(synth, channel, e.data1);
            else
                fluid_synth_noteon(synth, channel, e.data1, e.data2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth, channel, e.data1, e.data2);
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, e.data1, e.data2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, e.data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth, channel, e.data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, e.data1 | e.data2 << 7);
            break;
        default:
            break;
    }
}

// Frame (at `rate`) at which something `micros` into the piece happens,
// rounded up.
std::uint64_t FrameOf(std::uint64_t micros, int rate) {
    return (micros * static_cast<std::uint64_t>(rate) + 999999) / 1000000;
}

// The output rate changed under a playing piece: follow it.
void FollowRate(Player& p, int rate) {
    if (rate != p.positionRate) {
        p.position = p.position * static_cast<std::uint64_t>(rate) / static_cast<std::uint64_t>(p.positionRate);
        p.positionRate = rate;
    }
    if (rate != p.synthRate) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        fluid_synth_set_sample_rate(p.synth, static_cast<float>(rate));
#pragma GCC diagnostic pop
        p.synthRate = rate;
    }
}

// Sends the events that are due and answers how many frames may be
// rendered before the next one (or the end) is due.
int Advance(Player& p, int wanted) {
    while (p.cursor < p.song.events.size() && FrameOf(p.song.events[p.cursor].micros, p.positionRate) <= p.position)
        Send(p.synth, p.song, p.song.events[p.cursor++]);
    const std::uint64_t next = p.cursor < p.song.events.size() ? FrameOf(p.song.events[p.cursor].micros, p.positionRate)
                                                               : FrameOf(p.song.lengthMicros, p.positionRate);
    if (p.cursor == p.song.events.size() && p.position >= next) {
        p.playing = false;  // the end: tails of the last notes still ring out
        if (p.notifyPending) endSignal.store(true);
        return wanted;
    }
    return static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(wanted), next - p.position));
}

// The mixer source: runs on the thread that pulls the mix.
void Render(float* mix, int frames, int rate) {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.synth || !p.open) return;
    FollowRate(p, rate);
    for (int done = 0; done < frames;) {
        int count = std::min(kBlockFrames, frames - done);
        const bool wasPlaying = p.playing;
        if (p.playing) count = Advance(p, count);
        if (!p.playing && fluid_synth_get_active_voice_count(p.synth) == 0) return;  // nothing left to hear
        float* block = p.block.data();
        fluid_synth_write_float(p.synth, count, block, 0, 2, block, 1, 2);
        float* out = mix + 2 * done;
        for (int i = 0; i < 2 * count; ++i) out[i] += block[i];
        if (wasPlaying && p.playing) p.position += static_cast<std::uint64_t>(count);
        done += count;
    }
}

// Takes the pending notification away, to be posted with `flag`.
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
    if (p.synth) fluid_synth_system_reset(p.synth);
}

void JoinAtExit() {
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.worker.joinable()) p.worker.join();
}

}  // namespace

std::vector<std::string> SoundFontCandidates(const std::string& root, std::string& why) {
    std::vector<std::string> found;
    // The player's choice leads; a choice that is no file is said once, and
    // one that cannot be loaded falls back to the rest of the search order.
    if (const char* chosen = std::getenv("KR_SOUNDFONT"); chosen && *chosen) {
        if (IsFile(chosen)) found.push_back(chosen);
        else SayOnce(std::string("KR_SOUNDFONT: no SoundFont file ") + chosen + "; using the installed ones");
    }
    for (const char* link : kAlternatives)
        if (IsFile(root + link)) AddOnce(found, Resolved(root + link));
    for (const char* folder : kSoundFontFolders)
        for (const char* name : kPreferredSoundFonts)
            if (IsFile(root + folder + "/" + name)) AddOnce(found, Resolved(root + folder + "/" + name));
    std::vector<std::string> others;
    for (const char* folder : kSoundFontFolders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root + folder, error)) {
            const std::string ext = entry.path().extension().string();
            if ((ext == ".sf2" || ext == ".sf3") && IsFile(entry.path().string())) others.push_back(Resolved(entry.path().string()));
        }
    }
    std::sort(others.begin(), others.end());
    for (const std::string& path : others) AddOnce(found, path);
    if (found.empty()) why = "no General MIDI SoundFont installed";
    return found;
}

void MidiPreload() {
    if (!ActiveBackend().AudioRunsInRealTime()) return;  // rendering on demand waits for nobody
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.synth || p.worker.joinable()) return;
    std::string why;
    std::vector<std::string> candidates = SoundFontCandidates("", why);
    if (candidates.empty()) return;  // the first open says why
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(&JoinAtExit); });
    // The synthesiser is made here: making its settings asks the library's
    // audio drivers about the system's devices, which only the main thread
    // may do. The worker loads the SoundFont, the slow part, and touches
    // only `staged` and its own copies.
    if (!MakeSynth(p.staged, OutputFormat().rate)) return;
    p.worker = std::thread([&staged = p.staged, candidates = std::move(candidates)] {
        std::set<std::string> broken;
        std::string ignored;
        if (!LoadFirstSoundFont(staged, candidates, broken, ignored)) {
            delete_fluid_synth(staged.synth);
            delete_fluid_settings(staged.settings);
            staged = Staged{};
        }
    });
}

bool MidiOpen(const std::string& path) {
    MidiClose();
    MidiSong song;
    if (!LoadMidiFile(path, song)) return false;
    if (!OpenOutput()) {
        SayNoMusic("no audio device");
        return false;
    }
    const int rate = OutputFormat().rate;
    Player& p = Self();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        std::string why;
        if (!EnsureSynth(p, rate, why)) {
            SayNoMusic(why);
            return false;
        }
        p.song = std::move(song);
        p.open = true;
        p.positionRate = p.synthRate;
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
        if (p.synth) fluid_synth_all_sounds_off(p.synth, -1);
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
        if (p.synth) fluid_synth_all_sounds_off(p.synth, -1);
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

bool MidiSynthAvailable() {
    const int rate = OutputFormat().rate;
    Player& p = Self();
    std::lock_guard<std::mutex> lock(p.mutex);
    std::string why;
    return EnsureSynth(p, rate, why);
}

bool MidiRendersIntoMixer() { return true; }

}  // namespace plat::audio
