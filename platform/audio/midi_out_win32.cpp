// winmm's midiOut behind midi_out_win32.h. The device stays open for the
// life of the process and is reset and closed at exit.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>

#include "platform/audio/midi_out_win32.h"

namespace plat::audio {
namespace {

HMIDIOUT device = nullptr;

void CloseAtExit() {
    if (!device) return;
    midiOutReset(device);
    midiOutClose(device);
    device = nullptr;
}

}  // namespace

bool SystemSynthOpen() {
    static const bool opened = [] {
        if (midiOutOpen(&device, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            device = nullptr;
            return false;
        }
        std::atexit(&CloseAtExit);
        return true;
    }();
    return opened;
}

void SystemSynthSend(std::uint32_t message) {
    if (device) midiOutShortMsg(device, message);
}

}  // namespace plat::audio
