// The system's own MIDI synthesiser on Windows (winmm's midiOut through the
// MIDI mapper), kept apart so that no Windows header meets the platform's
// own names for window messages.
#pragma once
#include <cstdint>

namespace plat::audio {

// Opens the synthesiser once; true while it is open.
bool SystemSynthOpen();
// Sends one short message (status | data1 << 8 | data2 << 16).
void SystemSynthSend(std::uint32_t message);

}  // namespace plat::audio
