// The MIDI player of the web build. FluidSynth (and the glib it needs) is
// not built for the web, so this build has no synthesiser of its own: a
// piece does not open, and one line on standard error says why, as on a
// system without a SoundFont. The engine's MCI layer treats it the same
// way (the device cannot be opened; everything else keeps working).
#include <cstdio>

#include "platform/audio/midi_player.h"

namespace plat::audio {
namespace {

const char* const kWhy = "music: this build of the page has no MIDI synthesiser";

void SayWhyOnce() {
    static bool said = false;
    if (!said) std::fprintf(stderr, "%s\n", kWhy);
    said = true;
}

}  // namespace

bool MidiOpen(const std::string&) {
    SayWhyOnce();
    return false;
}
void MidiClose() {}
bool MidiIsOpen() { return false; }
void MidiSeekToStart() {}
void MidiPlay(HWND, std::uint32_t) {}
void MidiStop() {}
bool MidiIsPlaying() { return false; }
std::uint64_t MidiLengthMicros() { return 0; }
std::uint64_t MidiPositionMicros() { return 0; }
bool MidiSynthAvailable() { return false; }
void MidiPreload() {}

std::vector<std::string> SoundFontCandidates(const std::string&, std::string& why) {
    why = kWhy;
    return {};
}

}  // namespace plat::audio
