// krSound: the engine's sound. The 70-slot sound-object table and the MIDI
// state are program-wide records; the operations are free functions in the
// krSound namespace.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- device and sound objects ----

constexpr int krSoundObjectCount = 70;
constexpr int krSoundMaxMix = 10;
constexpr std::uint32_t krNoWrapMark = 0xFFFFFFFFu;

// The streaming fields of a slot; data size > 0 marks a stream. Offsets are
// bytes in the pack file, ring offsets bytes in the slot's one buffer.
struct krSoundStreamRecord {
    std::uint32_t dataStart = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t filePosition = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t consumed = 0;
    std::uint32_t lastWrite = 0;
    std::uint32_t nextWrite = 0;
    std::uint32_t half = 0;
    std::uint32_t ringSize = 0;
    std::uint32_t wrapMark = krNoWrapMark;
    std::uint32_t lastCursor = 0;
    std::uint8_t endCountdown = 0;
    char packPath[259] = {};  // the pack the slot was loaded from (also for whole packed sounds)
};

struct krSoundObject {
    std::int32_t inUse = 0;
    std::int32_t mixCount = 1;
    std::int32_t buffers[krSoundMaxMix] = {};  // mixer voices, 0 when absent
    std::int32_t volume[krSoundMaxMix] = {};   // hundredths of a decibel, -10000..0
    std::int32_t pan[krSoundMaxMix] = {};      // -10000..10000
    std::int32_t frequency[krSoundMaxMix] = {};  // Hz, 100..100000
    std::int32_t baseFrequency = 0;
    char name[31] = {};
    std::int32_t packed = 0;
    krSoundStreamRecord stream;
    std::int32_t nextBuffer = 0;
    std::int32_t echoState = -1;  // -1 unavailable, 0 idle, n >= 1 next echo

    // Playback state.
    std::int32_t loop = 0;
    std::uint32_t pausedPosition[krSoundMaxMix] = {};
    float echoTimer = 0.0f;
    std::int32_t echoLoop = 0;
    float sweepPosition = 0.0f;
    std::int32_t sweepDirection = 1;
};

struct krSoundDeviceRecord {
    std::int32_t ready = 0;       // 1 after a successful krSound::Init
    std::int32_t reloadMode = 0;  // 1 while krSound::Rebuild re-creates the objects
    std::int32_t reloadSlot = 0;  // the slot a loader fills in reload mode
    char packPath[256] = {};      // the current sound pack (program folder + name)
};

extern krSoundObject krSoundObjects[krSoundObjectCount];
extern krSoundDeviceRecord krSoundDevice;

namespace krSound {

int Init();
void Release();
// Empties every slot (releasing any buffer still there): the table's state
// after screen set-up.
void ClearObjects();
int LoadObject(const char* name, int mix);
void FreeObject(int slot);
int SelectFormat(int channels, int rate, int bits);
void PlaySystemSound(const char* file);
void Rebuild();
std::uint32_t GetPosition(int slot);
// The program's embedded WAV images, searched by name (in any case) when a
// file beside the program cannot be read. The bytes must outlive the run.
void RegisterResource(const char* name, const void* wavImage, std::size_t size);
void ClearResources();

// ---- sound packs and streaming ----

void SetPack(const char* name);
int LoadPack(const char* name, int mix);
int LoadStream(const char* name, int loopOffset);
int ResetStream(int slot);
int Streaming();
int Convert(const char* packName, const char* folder, int fresh);

// ---- playback controls ----

// Channel: a buffer number; -2 the next buffer in rotation; any other
// negative value every buffer (Stop and Pause: every negative value).
void Play(int slot, int channel);
void PlayLoop(int slot, int channel);
void Stop(int slot, int channel);
void Pause(int slot, int channel);
void AddFrequency(int slot, int step, int channel);
void SetFrequency(int slot, int value, int channel);
void ResetFrequency(int slot, int channel);
void AddPan(int slot, int step, int channel);
void SetPan(int slot, int value, int channel);
void PanLeft(int slot, int channel);
void PanRight(int slot, int channel);
void ResetPan(int slot, int channel);
void AddVolume(int slot, int step, int channel);
void SetVolume(int slot, int value, int channel);
void ResetVolume(int slot, int channel);
void Echo(int slot, int interval, int repeats, int decay);
void EchoPan(int slot, int interval, int repeats, int decay, int sweep);

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
