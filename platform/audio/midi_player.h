// The MIDI player: one piece at a time, read by our own reader
// (midi_file.h), rendered by FluidSynth with a General MIDI SoundFont into
// the mixer as one more source, on whatever thread pulls the mix.
//
// The end of a piece is found on that thread; it is handed to the main
// thread through an atomic and posted as MM_MCINOTIFY from the message pump,
// never from the mixing thread.
//
// SoundFont: $KR_SOUNDFONT, else the one the system's General MIDI
// alternative points to, else a General MIDI SoundFont found by name where
// Debian installs them. It is loaded by MidiPreload on a worker (real-time
// edges) or by the first open, and kept.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/types.h"

namespace plat::audio {

// Opens `path` (a path of this system). False when the file is not a
// playable MIDI file (silently), or when there is no SoundFont or no audio
// device (one line on standard error says why there is no music). An open
// piece is closed first.
bool MidiOpen(const std::string& path);
void MidiClose();
bool MidiIsOpen();
// Back to the start, stopped; a pending notification is aborted.
void MidiSeekToStart();
// Plays from the current position. With a window, MM_MCINOTIFY is posted to
// it when the piece ends (MCI_NOTIFY_SUCCESSFUL), or when the request is
// replaced (MCI_NOTIFY_SUPERSEDED) or cut short by stop, seek or close
// (MCI_NOTIFY_ABORTED). lParam carries `deviceId`.
void MidiPlay(HWND notifyWindow, std::uint32_t deviceId);
// Stops and keeps the position; sounding notes are cut.
void MidiStop();
bool MidiIsPlaying();
// Length of the open piece in microseconds, and where it plays.
std::uint64_t MidiLengthMicros();
std::uint64_t MidiPositionMicros();

// Whether a SoundFont can be loaded (loads it if not yet done).
bool MidiSynthAvailable();

// Whether the music is rendered into the mixer, and so heard in its output
// and in the headless edge's recordings: true with FluidSynth, false on
// Windows, where the system's own MIDI synthesiser plays it.
bool MidiRendersIntoMixer();

// Starts loading the SoundFont on a worker thread when the active edge's
// audio runs in real time, so that no frame waits for it later.
void MidiPreload();

// The SoundFonts to try, in order: $KR_SOUNDFONT alone when set; else the
// General MIDI alternative, the known names, then any other in the system's
// SoundFont folders (all looked up under `root`, "" for the system itself).
// Empty, with `why`, when there is none.
std::vector<std::string> SoundFontCandidates(const std::string& root, std::string& why);

}  // namespace plat::audio
