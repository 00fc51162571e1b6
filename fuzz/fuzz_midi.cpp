// libFuzzer harness of the MIDI file reader that every open goes through:
// any bytes must parse or fail without a fault, and what parses must be a
// playable list (channel messages and system exclusive messages whose bytes
// lie in the song's store, in time order, within the piece).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/audio/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::audio::MidiSong song;
    if (!plat::audio::ParseMidi(data, size, song)) return 0;
    if (song.lengthMicros > plat::audio::kMaxMidiMicros) std::abort();
    std::uint64_t last = 0;
    for (const plat::audio::MidiEvent& e : song.events) {
        if (e.status == 0xF0) {
            if (e.sysexOffset > song.sysex.size() || e.sysexLength > song.sysex.size() - e.sysexOffset) std::abort();
        } else if (e.status < 0x80 || e.status > 0xEF || e.data1 > 0x7F || e.data2 > 0x7F) {
            std::abort();
        }
        if (e.micros < last || e.micros > song.lengthMicros) std::abort();
        last = e.micros;
    }
    return 0;
}
