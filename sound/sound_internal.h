// Helpers shared by the sound modules and the sound pack tool: the WAV
// reader and writer, the conversion of a format record and its samples into
// something the mixer plays, the sound pack's entry layout and the folder
// walk of a pack conversion. None of them touches the mixer or the table.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/mixer.h"

namespace krSound::internal {

// Format tags the loaders understand.
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagALaw = 6;
constexpr std::uint16_t kTagMuLaw = 7;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// A format record (the 18-byte wave format with its extra-size field,
// followed by the extra bytes) and the samples of a "data" chunk.
struct WaveData {
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> samples;
};

// The fixed fields of a format record.
struct WaveFormat {
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bits = 0;
    std::uint16_t extraSize = 0;
};

// Reads a RIFF/WAVE image. False (and `out` empty) when the image is not one:
// no RIFF/WAVE header, no "fmt " of 16 bytes or more, no "data", a chunk that
// runs past the image or its RIFF chunk, extra bytes the chunk does not hold.
bool ParseWave(const std::uint8_t* image, std::size_t size, WaveData& out);
// The same for a file (a path of this system).
bool ReadWaveFile(const std::string& path, WaveData& out);
// A canonical WAV image of a format record and samples (what the pack tool
// extracts).
std::vector<std::uint8_t> BuildWaveFile(const WaveData& wave);

// False for a record shorter than 16 bytes.
bool ReadFormat(const std::vector<std::uint8_t>& record, WaveFormat& out);
// Bytes per second as the fields describe them (rate x block align), 0 for
// a record the mixer cannot play directly.
std::uint32_t DirectBytesPerSecond(const std::vector<std::uint8_t>& record);

// Samples ready for a mixer voice.
struct PlayableSound {
    plat::audio::PcmFormat format;
    std::vector<std::uint8_t> bytes;
};
// Checks the record (channels, rate, block align against channels x bits)
// and turns float, A-law, mu-law, 24/32-bit and extensible data into 16-bit
// PCM with at most two channels; 8/16-bit mono or stereo PCM passes as it
// is. False for anything else. `samples` may be moved from.
bool MakePlayable(const std::vector<std::uint8_t>& record, std::vector<std::uint8_t>& samples, PlayableSound& out);

// Upper case of the ASCII letters of a code page 932 name; the second byte of
// a two-byte character is left alone.
std::string UpperCase(const char* name);

// ---- sound pack entries ----

constexpr std::size_t kMaxPackName = 255;

struct PackEntry {
    std::string name;
    std::uint32_t dataSize = 0;
    std::uint32_t formatSize = 0;
    long formatOffset = 0;  // the record's offset in the pack
    bool complete = false;  // the record and the samples lie inside the file
};

// Reads the next entry header at the file's position, leaving the file at
// the entry's format record. False at the end of the file or at a header
// the file does not hold whole (a name without its NUL within 255 bytes).
bool ReadPackHeader(std::FILE* pack, long fileSize, PackEntry& entry);
// Walks from the start to the entry named `upperName`; on success the file
// stands at its format record.
bool FindPackEntry(std::FILE* pack, const std::string& upperName, PackEntry& entry);
// Reads the entry's format record and samples (the file at its record).
// False when the file does not hold them or the record is shorter than 16.
bool ReadPackEntry(std::FILE* pack, const PackEntry& entry, WaveData& out);
// Appends one entry; false when the writing failed.
bool WritePackEntry(std::FILE* pack, const std::string& name, const WaveData& wave);
long FileSize(std::FILE* file);

// Appends every *.wav file (any case) of `folderPath` to the pack at
// `packPath`, sorted by name, each entry named by its file name in upper
// case (code page 932); with `fresh` the pack is made anew instead (and
// removed when the folder gives no entry). A file the WAV reader refuses is
// skipped and named in `skipped` (UTF-8). The new pack replaces the old one
// only when written whole: false, the old pack intact, when it could not be.
bool AppendFolder(const std::string& packPath, const std::string& folderPath, bool fresh,
                  std::vector<std::string>* skipped, int* written);

}  // namespace krSound::internal

// ---- the sound-object table (device, packs and playback share these) ----

namespace krSound::internal {

// The slot a loader fills: the rebuild's slot in reload mode, else the lowest
// free one. Reports "オブジェクト数が多過ぎます" or the name message (names
// longer than 30 bytes) under `label` and answers -1.
int TakeLoadSlot(const char* label, const char* name, const char* nameTooLongMessage);
// Creates |mix| buffers (at least one) holding the sound, sets mix count,
// echo state, next buffer and the volume, frequency and pan records (or
// restores them in reload mode). Reports "サウンドバッファが生成できません"
// and answers false when the data cannot be played or a buffer not created.
bool FillBuffers(const char* label, int slot, int mix, WaveData& wave);
// Creates the slot's buffer `j` and applies its records (reset or restored).
bool CreateBuffer(const char* label, int slot, int j, const plat::audio::PcmFormat& format, std::uint32_t bytes);
// Copies bytes into a buffer from `offset` (wrapping past its end).
void WriteBuffer(int voice, std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t count);
// Stops and releases the slot's buffers; the records stay.
void ReleaseBuffers(int slot);
// The program folder followed by a name, resolved to a path of this system.
std::string ProgramFile(const char* name);

}  // namespace krSound::internal
