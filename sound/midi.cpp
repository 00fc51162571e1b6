// MIDI music: one piece at a time under the alias "midi", driven by media
// control command strings. The end of a piece comes back as MM_MCINOTIFY to
// the main window, whose procedure calls MidiNotify. No command's result is
// examined: a piece that cannot be opened just never sounds.
#include <cstdio>

#include "platform/audio/mci.h"
#include "platform/audio/midi_player.h"
#include "sound/krSound.h"
#include "system/krSystem.h"

namespace krSound {

int midiOpen = 0;
int midiLoop = 1;

namespace {

constexpr int kCommandBytes = 260;

void Send(const char* command, plat::HWND notify = 0) { plat::MciSendString(command, nullptr, 0, notify); }

void RewindAndPlay() {
    Send("seek midi to start");
    Send("play midi notify", krSystemState.mainWindow);
}

}  // namespace

int InitMidi() {
    midiOpen = 0;
    midiLoop = 1;
    // The SoundFont loads now, off the main thread, so that the first
    // PlayMidi does not hold up a frame.
    if (krSoundDevice.ready) plat::audio::MidiPreload();
    return 1;
}

void PlayMidi(const char* file, int loop) {
    char command[kCommandBytes];
    std::snprintf(command, sizeof command, "open \"%s%s\" type sequencer alias midi", krSystem::GetBaseFolder(0),
                  file ? file : "");
    if (midiOpen) CloseMidi();
    Send(command);
    RewindAndPlay();
    midiOpen = 1;
    midiLoop = loop;
}

void MidiNotify() {
    if (midiLoop)
        RewindAndPlay();
    else
        CloseMidi();
}

void CloseMidi() {
    if (!midiOpen) return;
    Send("stop midi");
    Send("close midi");
    midiOpen = 0;
}

void StopMidi() {
    Send("stop midi");
    Send("close midi");
}

void EndMidiLoop() { midiLoop = 0; }

}  // namespace krSound
