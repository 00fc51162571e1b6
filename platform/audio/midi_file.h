// Standard MIDI files (format 0 and 1, metrical or SMPTE time) read into one
// time-ordered list of channel events in microseconds. The file is outside
// input: every length is checked against the bytes that are there; a track
// that goes wrong is kept up to the last good event; nothing that is read
// allocates more than a small multiple of the file's size.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat::audio {

struct MidiEvent {
    std::uint64_t micros = 0;  // from the start of the piece
    std::uint8_t status = 0;   // a channel message 0x80..0xEF, or 0xF0 (system exclusive)
    std::uint8_t data1 = 0, data2 = 0;
    // System exclusive: the message's bytes between F0 and F7 in the song's
    // `sysex` store.
    std::uint32_t sysexOffset = 0, sysexLength = 0;
};

struct MidiSong {
    std::vector<MidiEvent> events;  // in playing order
    std::uint64_t lengthMicros = 0; // the last event, end-of-track marks included
    std::vector<std::uint8_t> sysex;
};

// Longest piece kept; events later than this are dropped (a lying delta
// time would otherwise make an hours-long silence).
constexpr std::uint64_t kMaxMidiMicros = 3600ull * 1000000ull;
// Largest file read.
constexpr std::size_t kMaxMidiFileBytes = 2u << 20;

// False when the bytes are not a standard MIDI file that can be played: no
// "MThd" header, a format other than 0 or 1, no track, a zero or unusable
// time division, or no track that could be read at all.
bool ParseMidi(const std::uint8_t* data, std::size_t size, MidiSong& song);
// Reads the file first; false when it is missing, unreadable or too large.
bool LoadMidiFile(const std::string& path, MidiSong& song);

}  // namespace plat::audio
