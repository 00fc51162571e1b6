/// @file
/// krSound: the engine's sound. The 70-slot sound-object table and the MIDI
/// state are program-wide records; the operations are free functions in the
/// krSound namespace.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- device and sound objects ----

/// Slots of the sound-object table.
constexpr int krSoundObjectCount = 70;
/// Most buffers (voices) one sound object may have.
constexpr int krSoundMaxMix = 10;
/// A stream's wrap mark while no wrap is pending.
constexpr std::uint32_t krNoWrapMark = 0xFFFFFFFFu;

// The streaming fields of a slot; data size > 0 marks a stream. Offsets are
// bytes in the pack file, ring offsets bytes in the slot's one buffer.
/// The streaming fields of a slot; data size > 0 marks a stream. Offsets are bytes in the pack file, ring offsets
/// bytes in the slot's one buffer.
struct krSoundStreamRecord {
    /// Where the entry's sound data starts in the pack.
    std::uint32_t dataStart = 0;
    /// Where a looping stream starts again.
    std::uint32_t loopStart = 0;
    /// Where the next refill reads from.
    std::uint32_t filePosition = 0;
    /// Bytes of sound data; above 0 marks a stream.
    std::uint32_t dataSize = 0;
    /// Bytes of data read so far.
    std::uint32_t consumed = 0;
    /// Ring offset of the last refill.
    std::uint32_t lastWrite = 0;
    /// Ring offset of the next refill.
    std::uint32_t nextWrite = 0;
    /// Bytes of half the ring: one refill.
    std::uint32_t half = 0;
    /// Bytes of the ring buffer.
    std::uint32_t ringSize = 0;
    /// Ring offset where the data ends and reading wraps; krNoWrapMark when none is pending.
    std::uint32_t wrapMark = krNoWrapMark;
    /// The play cursor at the last refill.
    std::uint32_t lastCursor = 0;
    /// Refills left once a non-looping stream has read its data to the end.
    std::uint8_t endCountdown = 0;
    char packPath[259] = {};  ///< the pack the slot was loaded from (also for whole packed sounds)
};

/// One slot of the sound-object table: its buffers and their settings, its name, stream and playback state.
struct krSoundObject {
    /// 1 while the slot holds a sound.
    std::int32_t inUse = 0;
    /// Buffers of the sound: how many copies can sound at once.
    std::int32_t mixCount = 1;
    std::int32_t buffers[krSoundMaxMix] = {};  ///< mixer voices, 0 when absent
    std::int32_t volume[krSoundMaxMix] = {};   ///< hundredths of a decibel, -10000..0
    std::int32_t pan[krSoundMaxMix] = {};      ///< -10000..10000
    std::int32_t frequency[krSoundMaxMix] = {};  ///< Hz, 100..100000
    /// The sound's own sample rate, in Hz.
    std::int32_t baseFrequency = 0;
    /// The file, resource or pack entry the sound came from.
    char name[31] = {};
    /// 1 when the sound came from a sound pack.
    std::int32_t packed = 0;
    /// The streaming fields.
    krSoundStreamRecord stream;
    /// The buffer that channel -2 plays next.
    std::int32_t nextBuffer = 0;
    std::int32_t echoState = -1;  ///< -1 unavailable, 0 idle, n >= 1 next echo

    // Playback state.
    /// 1 while the sound plays looping.
    std::int32_t loop = 0;
    /// Play cursor saved by krSound::Pause, per buffer.
    std::uint32_t pausedPosition[krSoundMaxMix] = {};
    /// Seconds until the next echo.
    float echoTimer = 0.0f;
    /// Echoes left to play.
    std::int32_t echoLoop = 0;
    /// Pan position of the echo sweep.
    float sweepPosition = 0.0f;
    /// Direction of the echo sweep: 1 or -1.
    std::int32_t sweepDirection = 1;
};

/// The sound device's state.
struct krSoundDeviceRecord {
    std::int32_t ready = 0;       ///< 1 after a successful krSound::Init
    std::int32_t reloadMode = 0;  ///< 1 while krSound::Rebuild re-creates the objects
    std::int32_t reloadSlot = 0;  ///< the slot a loader fills in reload mode
    char packPath[256] = {};      ///< the current sound pack (program folder + name)
};

/// The program-wide sound-object table.
extern krSoundObject krSoundObjects[krSoundObjectCount];
/// The program-wide sound device state.
extern krSoundDeviceRecord krSoundDevice;

/// The engine's sound: sound objects, packs and streams, playback controls and MIDI music. While no device could be
/// opened every call is harmless and sound stays off.
namespace krSound {

/// Opens the sound device (called by krDraw::Screen). Returns 1, or 0 when there is none: sound then stays off for
/// the run.
int Init();
/// Stops and releases every buffer and closes the device.
void Release();
/// Empties every slot (releasing any buffer still there): the table's state
/// after screen set-up.
void ClearObjects();
/// Loads a WAV file beside the program (or a registered resource of that name) into a new slot with |mix| buffers
/// (1 to 10). Returns the slot, or -1 after an error report.
int LoadObject(const char* name, int mix);
/// Stops and frees a slot.
void FreeObject(int slot);
/// Sets the output format (channels, rate in Hz or kHz, bits) and rebuilds every sound. Returns 1, or 0 after an
/// error report.
int SelectFormat(int channels, int rate, int bits);
/// Plays a WAV file to its end through the system player, with the device closed meanwhile.
void PlaySystemSound(const char* file);
/// Re-creates the device and every sound in use.
void Rebuild();
/// The play cursor of the slot's first buffer, in bytes.
std::uint32_t GetPosition(int slot);
/// The program's embedded WAV images, searched by name (in any case) when a
/// file beside the program cannot be read. The bytes must outlive the run.
void RegisterResource(const char* name, const void* wavImage, std::size_t size);
/// Forgets every registered resource.
void ClearResources();

// ---- sound packs and streaming ----

/// Chooses the sound pack (a file beside the program) that krSound::LoadPack and krSound::LoadStream read.
void SetPack(const char* name);
/// As krSound::LoadObject, from an entry of the current sound pack (name in any case). Returns the slot, or -1
/// after an error report.
int LoadPack(const char* name, int mix);
/// Opens a pack entry as a stream played through one ring buffer (entries under five seconds are loaded whole); a
/// looping stream starts again at loopOffset. Returns the slot, or -1 after an error report.
int LoadStream(const char* name, int loopOffset);
/// Rewinds a stream and refills the first half of its ring. Returns 1, or 0 after an error report.
int ResetStream(int slot);
/// Refills every playing stream that is due; call it once per frame while streams play. Returns 1 (0 while sound is
/// off).
int Streaming();
/// Appends every WAV file of a folder beside the program to a sound pack (fresh 1 starts the pack anew). Returns 1.
int Convert(const char* packName, const char* folder, int fresh);

// ---- playback controls ----

// Channel: a buffer number; -2 the next buffer in rotation; any other
// negative value every buffer (Stop and Pause: every negative value).
/// Plays the sound once on a channel: a buffer number, -2 the next buffer in turn, another negative value every
/// buffer.
void Play(int slot, int channel);
/// Plays the sound looping on a channel (as krSound::Play).
void PlayLoop(int slot, int channel);
/// Stops a channel and rewinds it; every negative channel stops all buffers and ends an echo.
void Stop(int slot, int channel);
/// Pauses a playing channel, or resumes a paused one where it stopped.
void Pause(int slot, int channel);
/// Changes the playback rate by step x 100 Hz (100 to 100000 Hz).
void AddFrequency(int slot, int step, int channel);
/// Sets the playback rate to the sound's own rate + value x 100 Hz (100 to 100000 Hz).
void SetFrequency(int slot, int value, int channel);
/// Puts the playback rate back to the sound's own.
void ResetFrequency(int slot, int channel);
/// Changes the pan by step x 100 (-10000 left to 10000 right).
void AddPan(int slot, int step, int channel);
/// Sets the pan to value x 100 (-10000 left to 10000 right).
void SetPan(int slot, int value, int channel);
/// Pans fully left.
void PanLeft(int slot, int channel);
/// Pans fully right.
void PanRight(int slot, int channel);
/// Pans to the centre.
void ResetPan(int slot, int channel);
/// Changes the volume by step x 100 hundredths of a decibel (-10000 to 0).
void AddVolume(int slot, int step, int channel);
/// Sets the volume to value x 100 hundredths of a decibel (-10000 to 0).
void SetVolume(int slot, int value, int channel);
/// Puts the volume back to full.
void ResetVolume(int slot, int channel);
/// Plays the sound with repeats echoes, interval milliseconds apart, each decay decibels softer.
void Echo(int slot, int interval, int repeats, int decay);
/// As krSound::Echo, the echoes sweeping across the stereo field by 100 x sweep per second.
void EchoPan(int slot, int interval, int repeats, int decay, int sweep);

// ---- MIDI music ----

// Set by PlayMidi, cleared by CloseMidi; the window procedure reads it.
/// Set by krSound::PlayMidi, cleared by krSound::CloseMidi; the window procedure reads it.
extern int midiOpen;
// 1: the piece starts again when it ends; 0: it is closed at its end.
/// 1: the piece starts again when it ends; 0: it is closed at its end.
extern int midiLoop;

/// Resets the music state: nothing open, looping on (called by krDraw::Screen). Returns 1.
int InitMidi();
/// Plays a standard MIDI file beside the program, closing any piece open; loop 1 starts it again at its end, 0
/// closes it then.
void PlayMidi(const char* file, int loop);
// The end of the piece (from the window procedure): again or closed.
/// The end of the piece (from the window procedure): starts it again or closes it.
void MidiNotify();
/// Stops and closes the open piece, if any.
void CloseMidi();
/// Stops and closes the music whatever is open; the open flag stays.
void StopMidi();
/// Lets the current piece play to its end and then closes it.
void EndMidiLoop();

}  // namespace krSound
