// krSound: the engine's sound. The 70-slot sound-object table and the MIDI
// state are program-wide records; the operations are free functions in the
// krSound namespace.
#pragma once
#include <cstdint>

namespace krSound {

// ---- device and sound objects ----

// ---- sound packs and streaming ----

// ---- playback controls ----

// ---- MIDI music ----

// Set by PlayMidi, cleared by CloseMidi; the window procedure reads it.
extern int midiOpen;
// 1: the piece starts again when it ends; 0: it is closed at its end.
extern int midiLoop;

int InitMidi();
void PlayMidi(const char* file, int loop);
// The end of the piece (from the window procedure): again or closed.
void MidiNotify();
void CloseMidi();
void StopMidi();
void EndMidiLoop();

}  // namespace krSound
