// The music: the engine's piece of MIDI music looping, with its end of loop,
// stop and restart, and creatures hopping on its beat.
#include <cmath>
#include <cstdio>

#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "sound/krSound.h"
#include "system/krSystem.h"

namespace {

constexpr char kPiece[] = "music.mid";
constexpr float kBeat = 60.0f / 112.0f;  // the piece's tempo

struct MusicScene {
    float sincePlay = 0.0f;
    const char* last = "PlayMidi(\"music.mid\", 1): looping";
} music;

void Play() {
    krSound::PlayMidi(kPiece, 1);
    music.sincePlay = 0.0f;
    music.last = "PlayMidi(\"music.mid\", 1): looping";
}

void EnterMusic() {
    music = MusicScene{};
    Play();
}

void LeaveMusic() { krSound::CloseMidi(); }

void FrameMusic() {
    if (ShowcasePressed(plat::VK_SPACE)) {
        krSound::EndMidiLoop();
        music.last = "EndMidiLoop: this pass is the last, then the piece closes";
    }
    if (ShowcasePressed('S')) {
        krSound::StopMidi();
        music.last = "StopMidi: stopped and closed, the open flag kept";
    }
    if (ShowcasePressed(plat::VK_RETURN)) Play();
    music.sincePlay += krSystemState.frameTime;

    DrawBackdrop();
    krDraw::HalfFillRect(16, 44, 784, 170, plat::MapRGB(krScreen.back->format, 0, 0, 40));
    Label(32, 56, "A standard MIDI file of our own, played through the General MIDI synthesiser into the mixer.");
    Label(32, 72, "Space: end the loop after this pass   S: stop   Return: play again (looping)");
    char line[128];
    std::snprintf(line, sizeof line, "open %d   loop %d   %.1f s since PlayMidi", krSound::midiOpen,
                  krSound::midiLoop, static_cast<double>(music.sincePlay));
    Label(32, 104, line);
    Label(32, 120, music.last);
    if (krSoundDevice.ready == 0) Label(32, 144, "No sound device: the scene runs silent.");
    // The creatures hop on the beat while the piece is open.
    const float phase = std::fmod(music.sincePlay, kBeat) / kBeat;
    for (int i = 0; i < 4; ++i) {
        const bool on = krSound::midiOpen != 0;
        const float own = std::fmod(phase + (i % 2) * 0.5f, 1.0f);
        const int hop = on ? static_cast<int>(std::sin(own * 3.14159265f) * 60.0f) : 0;
        krDraw::Blit(150 + i * 140, 440 - hop, showcasePictures.sprites, i * 64, 0, i * 64 + 64, 64);
    }
}

}  // namespace

void AddMusicScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"music", "The music looping", "Space: end loop   S: stop   Return: again", &EnterMusic,
                      &FrameMusic, &LeaveMusic});
}
