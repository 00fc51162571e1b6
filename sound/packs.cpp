// Sound packs and streaming: the current pack, loading an entry whole into a
// sound object, streaming a long entry through a four-second ring that
// krSound::Streaming refills two seconds at a time (polled once per frame),
// and the conversion of a folder of WAV files into a pack. The pack is opened
// and closed around every read; a pack that vanishes or shrinks under a
// playing stream stops that stream instead of feeding it stale bytes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "sound/krSound.h"
#include "sound/sound_internal.h"
#include "system/krSystem.h"

namespace {

namespace audio = plat::audio;
using krSound::internal::PackEntry;
using krSound::internal::WaveData;

constexpr std::uint32_t kStreamSeconds = 5;  // shorter entries are loaded whole
constexpr std::uint32_t kRingSeconds = 4;

const char* const kNoPack = u8"パックファイル名が指定されていません"_cp932;
const char* const kNoEntry = u8"WAVEファイルを読み込めません"_cp932;
const char* const kCannotStream = u8"ストリーミング再生できません"_cp932;
const char* const kNameTooLong = u8"ファイル名が長すぎます"_cp932;

bool InRange(int slot) { return slot >= 0 && slot < krSoundObjectCount; }

// A pack opened for reading, closed on every path out.
class PackFile {
public:
    // Pack paths already begin with the program folder.
    explicit PackFile(const char* path) : file_(path[0] ? std::fopen(plat::ResolvePath(path).c_str(), "rb") : nullptr) {}
    ~PackFile() { Close(); }
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;
    std::FILE* get() const { return file_; }
    void Close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }

private:
    std::FILE* file_;
};

// Reads `count` bytes at `offset`; false when the pack no longer holds them.
bool ReadAt(std::FILE* file, std::uint32_t offset, std::uint32_t count, std::vector<std::uint8_t>& out) {
    out.resize(count);
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(out.data(), 1, count, file) == count;
}

std::uint32_t AlignDown(std::uint32_t value, std::uint32_t block) { return block ? value / block * block : value; }

void FinishPackedLoad(int slot, const char* name, const char* packPath) {
    krSoundObject& o = krSoundObjects[slot];
    o.inUse = 1;
    o.packed = 1;
    std::snprintf(o.stream.packPath, sizeof o.stream.packPath, "%s", packPath);
    if (!krSoundDevice.reloadMode) std::snprintf(o.name, sizeof o.name, "%s", name);
}

// Stops a stream whose pack failed it and reports why; the stream stays
// silent until it is played again.
int StreamFailed(int slot, const char* message) {
    krSound::Stop(slot, -1);
    return krSystem::ReportError("krSound::Streaming", message);
}

bool RefillDue(const krSoundStreamRecord& s, std::uint32_t cursor) {
    if (s.wrapMark == krNoWrapMark) return !(cursor < s.lastWrite && cursor >= s.lastCursor);
    if (s.lastWrite < s.wrapMark) return s.lastWrite <= cursor && cursor < s.wrapMark;
    return cursor >= s.lastWrite;
}

// The next refill's size: two seconds, what is left when less, and half of
// what is left (in whole sample frames) when two seconds would leave less
// than two seconds for the last one.
std::uint32_t RefillSize(const krSoundStreamRecord& s, std::uint32_t blockAlign) {
    const std::uint32_t left = s.dataSize - s.consumed;
    if (s.half > left) return left;
    if (left - s.half < s.half) return AlignDown(left / 2, blockAlign);
    return s.half;
}

// A looping refill that reads to the data's end goes on with whole loop
// periods for as long as they fit in two seconds, so that a loop shorter
// than a refill plays exactly instead of leaving stale ring bytes behind.
// False when the pack no longer holds the loop.
bool AppendLoopPeriods(std::FILE* pack, const krSoundStreamRecord& s, std::vector<std::uint8_t>& bytes) {
    if (s.consumed + bytes.size() < s.dataSize) return true;
    const std::uint32_t period = s.dataSize - (s.loopStart - s.dataStart);
    if (period == 0 || bytes.size() + period > s.half) return true;
    std::vector<std::uint8_t> loop;
    if (!ReadAt(pack, s.loopStart, period, loop)) return false;
    while (bytes.size() + period <= s.half) bytes.insert(bytes.end(), loop.begin(), loop.end());
    return true;
}

// Writes a refill of `count` bytes (or silence when `bytes` is null) at the
// ring's next write offset and moves the ring bookkeeping on.
void WriteRefill(krSoundObject& o, std::uint32_t cursor, const std::uint8_t* bytes, std::uint32_t count) {
    krSoundStreamRecord& s = o.stream;
    krSound::internal::WriteBuffer(o.buffers[0], s.nextWrite, bytes, count);
    s.wrapMark = s.nextWrite < s.lastWrite ? cursor : krNoWrapMark;
    s.lastWrite = s.nextWrite > s.ringSize ? s.nextWrite - s.ringSize : s.nextWrite;
    s.nextWrite += count;
    if (s.nextWrite >= s.ringSize) s.nextWrite -= s.ringSize;
}

// One refill of a due stream; 0 after a failure that ends the call.
int RefillStream(int slot, std::uint32_t cursor) {
    krSoundObject& o = krSoundObjects[slot];
    krSoundStreamRecord& s = o.stream;
    s.lastCursor = cursor;
    if (s.endCountdown != 0 && --s.endCountdown == 0) {
        krSound::Stop(slot, -1);
        return 1;
    }
    std::uint32_t count = RefillSize(s, static_cast<std::uint32_t>(audio::VoiceFormat(o.buffers[0]).BlockAlign()));
    std::vector<std::uint8_t> bytes;
    // The refill after the last data is silence: nothing to read for it.
    if (s.endCountdown != 1) {
        PackFile pack(s.packPath);
        if (!pack.get()) return StreamFailed(slot, kNoPack);
        if (!ReadAt(pack.get(), s.filePosition, count, bytes)) return StreamFailed(slot, kCannotStream);
        if (o.loop == 1 && !AppendLoopPeriods(pack.get(), s, bytes)) return StreamFailed(slot, kCannotStream);
    }
    // Loop periods end on the data's end, so the bookkeeping below wraps to
    // the loop start as after any refill that read to the end.
    if (bytes.size() > count) count = static_cast<std::uint32_t>(bytes.size());
    s.filePosition += count;
    s.consumed += count;
    if (s.consumed >= s.dataSize) {
        s.filePosition = s.loopStart;
        s.consumed = s.loopStart - s.dataStart;
        if (o.loop == 0 && s.endCountdown == 0) s.endCountdown = 2;
    }
    WriteRefill(o, cursor, s.endCountdown == 1 ? nullptr : bytes.data(), count);
    return 1;
}

// Reads the entry's format record; the pack then stands at its samples.
bool ReadRecord(std::FILE* pack, const PackEntry& entry, std::vector<std::uint8_t>& record) {
    if (entry.formatSize < 16 || entry.formatSize > 18 + 0xFFFF || !entry.complete) return false;
    if (!ReadAt(pack, static_cast<std::uint32_t>(entry.formatOffset), entry.formatSize, record)) return false;
    if (record.size() < 18) record.resize(18, 0);
    return true;
}

// Sets up the slot's stream record and its ring holding the first two
// seconds. False after a reported failure.
bool OpenStream(int slot, const PackEntry& entry, const std::vector<std::uint8_t>& record, std::uint32_t bytesPerSecond,
                int loopOffset, std::FILE* pack) {
    const char* label = "krSound::LoadStream";
    krSoundObject& o = krSoundObjects[slot];
    krSoundStreamRecord& s = o.stream;
    krSound::internal::WaveFormat f;
    krSound::internal::ReadFormat(record, f);
    const std::uint32_t block = f.blockAlign;
    s.dataSize = AlignDown(entry.dataSize, block);
    s.ringSize = kRingSeconds * bytesPerSecond;
    s.half = s.ringSize / 2;
    s.lastWrite = 0;
    s.nextWrite = s.half;
    s.dataStart = static_cast<std::uint32_t>(entry.formatOffset) + entry.formatSize;
    // A loop point outside the data (or inside a sample frame) would read
    // past the entry or swap the channels: it falls back to the start.
    const std::uint32_t loop = loopOffset >= 0 && static_cast<std::uint32_t>(loopOffset) < s.dataSize
                                   ? AlignDown(static_cast<std::uint32_t>(loopOffset), block)
                                   : 0;
    s.loopStart = s.dataStart + loop;
    std::vector<std::uint8_t> first;
    if (!ReadAt(pack, s.dataStart, s.half, first)) {
        s.dataSize = 0;
        krSystem::ReportError(label, kNoEntry);
        return false;
    }
    s.filePosition = s.dataStart + s.half;
    s.consumed = s.half;
    s.wrapMark = krNoWrapMark;
    s.lastCursor = 0;
    s.endCountdown = 0;
    o.mixCount = 1;
    o.echoState = -1;
    o.nextBuffer = 0;  // the one buffer
    const plat::audio::PcmFormat format{static_cast<int>(f.rate), f.channels, f.bits};
    if (!krSound::internal::CreateBuffer(label, slot, 0, format, s.ringSize)) {
        s.dataSize = 0;
        return false;
    }
    krSound::internal::WriteBuffer(o.buffers[0], 0, first.data(), s.half);
    return true;
}

}  // namespace

namespace krSound {

void SetPack(const char* name) {
    std::snprintf(krSoundDevice.packPath, sizeof krSoundDevice.packPath, "%s%s", krSystem::GetBaseFolder(0),
                  name ? name : "");
}

int LoadPack(const char* name, int mix) {
    if (!krSoundDevice.ready) return -1;
    if (!name) name = "";
    const char* label = "krSound::LoadPack";
    if (std::abs(mix) > krSoundMaxMix) {
        krSystem::ReportError(label, u8"ミックス数が多過ぎます"_cp932);
        return -1;
    }
    const int slot = internal::TakeLoadSlot(label, name, kNameTooLong);
    if (slot < 0) return -1;
    PackFile pack(krSoundDevice.packPath);
    if (!pack.get()) {
        krSystem::ReportLoadError(label, kNoPack, krSoundDevice.packPath);
        return -1;
    }
    PackEntry entry;
    WaveData wave;
    if (!internal::FindPackEntry(pack.get(), internal::UpperCase(name), entry) ||
        !internal::ReadPackEntry(pack.get(), entry, wave)) {
        krSystem::ReportError(label, kNoEntry);
        return -1;
    }
    pack.Close();
    if (!internal::FillBuffers(label, slot, mix, wave)) return -1;
    krSoundObjects[slot].stream.dataSize = 0;
    FinishPackedLoad(slot, name, krSoundDevice.packPath);
    return slot;
}

int LoadStream(const char* name, int loopOffset) {
    if (!krSoundDevice.ready) return -1;
    if (!name) name = "";
    const char* label = "krSound::LoadStream";
    const int slot = internal::TakeLoadSlot(label, name, kNameTooLong);
    if (slot < 0) return -1;
    PackFile pack(krSoundDevice.packPath);
    if (!pack.get()) {
        krSystem::ReportLoadError(label, kNoPack, krSoundDevice.packPath);
        return -1;
    }
    PackEntry entry;
    std::vector<std::uint8_t> record;
    if (!internal::FindPackEntry(pack.get(), internal::UpperCase(name), entry) || !ReadRecord(pack.get(), entry, record)) {
        krSystem::ReportError(label, kNoEntry);
        return -1;
    }
    // Short entries, and entries in a format the ring cannot hold as it is
    // (they are converted on loading), are loaded whole.
    const std::uint32_t bytesPerSecond = internal::DirectBytesPerSecond(record);
    if (bytesPerSecond == 0 || entry.dataSize / bytesPerSecond < kStreamSeconds) {
        pack.Close();
        return LoadPack(name, 1);
    }
    if (!OpenStream(slot, entry, record, bytesPerSecond, loopOffset, pack.get())) return -1;
    FinishPackedLoad(slot, name, krSoundDevice.packPath);
    return slot;
}

int ResetStream(int slot) {
    if (!krSoundDevice.ready || !InRange(slot)) return 0;
    krSoundObject& o = krSoundObjects[slot];
    krSoundStreamRecord& s = o.stream;
    if (s.dataSize == 0) return 0;
    const char* label = "krSound::ResetStream";
    PackFile pack(s.packPath);
    if (!pack.get()) return krSystem::ReportError(label, kNoPack);
    std::vector<std::uint8_t> first;
    if (!ReadAt(pack.get(), s.dataStart, s.half, first)) return krSystem::ReportError(label, kCannotStream);
    pack.Close();
    s.lastWrite = 0;
    s.nextWrite = s.half;
    s.filePosition = s.dataStart + s.half;
    s.consumed = s.half;
    s.wrapMark = krNoWrapMark;
    s.lastCursor = 0;
    s.endCountdown = 0;
    internal::WriteBuffer(o.buffers[0], 0, first.data(), s.half);
    return 1;
}

int Streaming() {
    if (!krSoundDevice.ready) return 0;
    for (int slot = 0; slot < krSoundObjectCount; ++slot) {
        krSoundObject& o = krSoundObjects[slot];
        if (o.stream.dataSize == 0 || !o.buffers[0] || !audio::IsPlaying(o.buffers[0])) continue;
        const std::uint32_t cursor = audio::GetPosition(o.buffers[0]);
        if (!RefillDue(o.stream, cursor)) continue;
        if (!RefillStream(slot, cursor)) return 0;
    }
    return 1;
}

int Convert(const char* packName, const char* folder, int fresh) {
    const std::string packPath = internal::ProgramFile(packName);
    const std::string folderPath = internal::ProgramFile(folder && folder[0] ? folder : ".");
    return internal::AppendFolder(packPath, folderPath, fresh != 0, nullptr, nullptr) ? 1 : 0;
}

}  // namespace krSound
