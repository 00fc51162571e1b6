// Scenes of the sound: sound objects with echoes, a pan sweep and pitch
// changes; a stream played from a sound pack. Each scene also plays by
// itself on a timeline, so that a recording of it holds every effect.
#include <cmath>
#include <cstdio>

#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "sound/krSound.h"
#include "system/krSystem.h"

namespace {

constexpr int kRotation = -2;

struct SoundSlots {
    bool loaded = false;
    int bell = -1, blip = -1, whistle = -1, stream = -1;
} slots;

std::uint32_t Pixel(int r, int g, int b) { return plat::MapRGB(krScreen.back->format, r, g, b); }

void LoadSounds() {
    if (slots.loaded) return;
    slots.loaded = true;
    // Several buffers each, so echoes and repeats overlap.
    slots.bell = krSound::LoadObject("showcase\\sound\\bell.wav", 4);
    slots.blip = krSound::LoadObject("showcase\\sound\\blip.wav", 8);
    slots.whistle = krSound::LoadObject("showcase\\sound\\whistle.wav", 2);
}

void Panel(int top, int bottom) {
    krDraw::HalfFillRect(16, top, 784, bottom, Pixel(0, 0, 40));
}

// ---- sound objects ----

struct ObjectsScene {
    float cycle = 0.0f;  // seconds into the six-second timeline
    float pitch = 0.0f;  // the whistle's offset, in hundreds of Hz
    bool sweeping = false;
    char last[96] = "";
} objects;

constexpr float kCycle = 6.0f;

void Bell() {
    krSound::Play(slots.bell, kRotation);  // the rotation channel starts the echo
    std::snprintf(objects.last, sizeof objects.last, "bell with echo: 250 ms apart, 6 dB quieter each");
}
void Blip() {
    krSound::Play(slots.blip, kRotation);
    std::snprintf(objects.last, sizeof objects.last, "blip with echo and pan sweep");
}
void Whistle() {
    objects.pitch = -60.0f;
    objects.sweeping = true;
    krSound::Play(slots.whistle, 0);
    std::snprintf(objects.last, sizeof objects.last, "whistle with its pitch swept up");
}

void EnterObjects() {
    LoadSounds();
    objects = ObjectsScene{};
}

void LeaveObjects() {
    for (int slot : {slots.bell, slots.blip, slots.whistle}) krSound::Stop(slot, -1);
}

// A bar from -10000 (left) to 10000 (right) with a mark per buffer.
void PanMeter(int y, int slot) {
    krDraw::FillRect(100, y + 6, 700, y + 8, Pixel(120, 120, 160));
    krDraw::FillRect(399, y, 401, y + 14, Pixel(200, 200, 220));
    if (slot < 0) return;
    const krSoundObject& o = krSoundObjects[slot];
    for (int j = 0; j < o.mixCount; ++j) {
        const int x = 400 + o.pan[j] * 300 / 10000;
        const int level = 255 + o.volume[j] * 255 / 3000;  // -30 dB and below: dark
        const int c = level < 40 ? 40 : level;
        krDraw::FillRect(x - 4, y + 1, x + 4, y + 13, Pixel(c, c / 2 + 60, 40));
    }
}

void FrameObjects() {
    ObjectsScene& s = objects;
    const float before = s.cycle;
    s.cycle += krSystemState.frameTime;
    if (s.cycle >= kCycle) s.cycle -= kCycle;
    auto crossed = [&](float at) { return before < at && s.cycle >= at; };
    if (crossed(0.1f) || ShowcasePressed('1')) Bell();
    if (crossed(2.0f) || ShowcasePressed('2')) Blip();
    if (crossed(4.0f) || ShowcasePressed('3')) Whistle();
    if (ShowcasePressed(plat::VK_LEFT)) krSound::AddPan(slots.bell, -25, -1);
    if (ShowcasePressed(plat::VK_RIGHT)) krSound::AddPan(slots.bell, 25, -1);
    if (ShowcasePressed(plat::VK_UP)) krSound::AddFrequency(slots.bell, 20, -1);
    if (ShowcasePressed(plat::VK_DOWN)) krSound::AddFrequency(slots.bell, -20, -1);

    // The effects advance once per frame.
    krSound::Echo(slots.bell, 250, 4, 6);
    // The sweep moves as each echo comes (by 25 at 60 frames a second), so
    // the ten echoes travel from one side to the other and back.
    krSound::EchoPan(slots.blip, 120, 10, 2, 15);
    if (s.sweeping) {
        s.pitch += 100.0f * krSystemState.frameTime;
        krSound::SetFrequency(slots.whistle, static_cast<int>(s.pitch), 0);
        if (s.pitch >= 60.0f) s.sweeping = false;
    }

    DrawBackdrop();
    Panel(44, 400);
    if (krSoundDevice.ready == 0) Label(32, 56, "No sound device: the scene runs silent.");
    Label(32, 72, "1: bell + Echo   2: blip + EchoPan   3: whistle + SetFrequency   (the timeline plays them every 6 s)");
    Label(32, 88, "Left/Right: AddPan of the bell   Up/Down: AddFrequency of the bell");
    const struct {
        const char* name;
        int slot;
    } rows[] = {{"bell", slots.bell}, {"blip", slots.blip}, {"whistle", slots.whistle}};
    int y = 130;
    for (const auto& row : rows) {
        char line[128];
        if (row.slot >= 0) {
            const krSoundObject& o = krSoundObjects[row.slot];
            std::snprintf(line, sizeof line, "%-8s slot %2d  buffers %d  echo %2d  rate %5d Hz  pan %+6d  volume %6d", row.name,
                          row.slot, o.mixCount, o.echoState, o.frequency[0], o.pan[0], o.volume[0]);
        } else {
            std::snprintf(line, sizeof line, "%-8s not loaded", row.name);
        }
        Label(32, y, line);
        PanMeter(y + 20, row.slot);
        y += 70;
    }
    Label(32, 360, s.last);
    // A clock hand around the timeline.
    const double a = s.cycle / kCycle * 2 * 3.14159265358979;
    krDraw::DrawLine(700, 480, 700 + static_cast<int>(50 * std::sin(a)), 480 - static_cast<int>(50 * std::cos(a)), 0xFFFFFF, 3);
}

// ---- a stream from a sound pack ----

bool streamPaused = false;

void EnterStream() {
    LoadSounds();
    if (slots.stream < 0) {
        krSound::SetPack("showcase\\sounds.pak");
        slots.stream = krSound::LoadStream("chords.wav", 0);
    }
    streamPaused = false;
    krSound::PlayLoop(slots.stream, 0);
}

void LeaveStream() { krSound::Stop(slots.stream, -1); }

void FrameStream() {
    if (ShowcasePressed(plat::VK_SPACE)) {
        krSound::Pause(slots.stream, -1);
        streamPaused = !streamPaused;
    }
    krSound::Streaming();
    DrawBackdrop();
    Panel(44, 300);
    if (krSoundDevice.ready == 0) Label(32, 56, "No sound device: the scene runs silent.");
    Label(32, 72, "LoadStream(\"chords.wav\") from showcase/sounds.pak, refilled by Streaming every frame");
    if (slots.stream < 0) return;
    const krSoundObject& o = krSoundObjects[slots.stream];
    const krSoundStreamRecord& st = o.stream;
    const std::uint32_t cursor = krSound::GetPosition(slots.stream);
    char line[160];
    std::snprintf(line, sizeof line, "ring %u bytes   play cursor %u   next refill at %u   read %u of %u bytes%s",
                  st.ringSize, cursor, st.nextWrite, st.consumed, st.dataSize, streamPaused ? "   (paused)" : "");
    Label(32, 100, line);
    // The ring: the play cursor and the half being refilled.
    if (st.ringSize > 0) {
        krDraw::FillRect(32, 130, 768, 160, Pixel(40, 40, 70));
        const int half = st.nextWrite >= st.ringSize / 2 ? 1 : 0;
        krDraw::FillRect(32 + half * 368, 130, 32 + half * 368 + 368, 160, Pixel(70, 90, 140));
        const int x = 32 + static_cast<int>(static_cast<std::uint64_t>(cursor) * 736 / st.ringSize);
        krDraw::FillRect(x - 2, 124, x + 2, 166, Pixel(255, 230, 120));
    }
    if (st.dataSize > 0) {
        krDraw::FillRect(32, 190, 768, 200, Pixel(40, 40, 70));
        const int done = static_cast<int>(static_cast<std::uint64_t>(st.consumed % (st.dataSize + 1)) * 736 / st.dataSize);
        krDraw::FillRect(32, 190, 32 + done, 200, Pixel(120, 220, 140));
        Label(32, 206, "how much of the entry the refills have read (it loops)");
    }
}

}  // namespace

void AddSoundScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"sound", "Sound objects: echo, pan sweep, pitch", "1/2/3: play   arrows: pan and pitch",
                      &EnterObjects, &FrameObjects, &LeaveObjects});
    scenes.push_back({"stream", "A stream from a sound pack", "Space: pause", &EnterStream, &FrameStream, &LeaveStream});
}
