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

}  // namespace krSound
