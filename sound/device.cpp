// The sound device and the 70-slot sound-object table: set-up and release,
// loading a WAV file (or an embedded WAV image) into a sound object of one to
// ten buffers, freeing it, the change of the output format and the rebuild
// that re-creates every object with its settings, and the blocking system
// sound. Buffers are voices of the platform mixer; the WAV reading is ours.
#include <algorithm>
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

krSoundObject krSoundObjects[krSoundObjectCount];
krSoundDeviceRecord krSoundDevice;

namespace {

namespace audio = plat::audio;
using krSound::internal::WaveData;

constexpr std::size_t kMaxNameLength = 30;
constexpr std::uint32_t kSystemSoundStepMs = 10;
constexpr std::uint32_t kSystemSoundSlackMs = 1000;

struct Resource {
    std::string upperName;
    const std::uint8_t* image = nullptr;
    std::size_t size = 0;
};
std::vector<Resource> resources;

bool InRange(int slot) { return slot >= 0 && slot < krSoundObjectCount; }

int LowestFreeSlot() {
    for (int slot = 0; slot < krSoundObjectCount; ++slot)
        if (!krSoundObjects[slot].inUse) return slot;
    return -1;
}

void ReleaseAllBuffers() {
    for (int slot = 0; slot < krSoundObjectCount; ++slot) krSound::internal::ReleaseBuffers(slot);
}

bool ReadResource(const char* name, WaveData& wave) {
    const std::string upper = krSound::internal::UpperCase(name);
    for (const Resource& r : resources)
        if (r.upperName == upper) return krSound::internal::ParseWave(r.image, r.size, wave);
    return false;
}

// The WAV file beside the program, else an embedded image of that name.
bool ReadSource(const char* name, WaveData& wave) {
    return krSound::internal::ReadWaveFile(krSound::internal::ProgramFile(name), wave) || ReadResource(name, wave);
}

int RateOfCode(int code) {
    switch (code) {
        case 8: return 8000;
        case 11: return 11025;
        case 22: return 22050;
        case 44: return 44100;
        default: return code;
    }
}

// Re-creates every object in use into its own slot, from its file, its
// pack entry or its stream, keeping its settings. The current sound pack is
// the caller's again afterwards.
void ReloadObjects() {
    char callerPack[sizeof krSoundDevice.packPath];
    std::memcpy(callerPack, krSoundDevice.packPath, sizeof callerPack);
    krSoundDevice.reloadMode = 1;
    for (int slot = 0; slot < krSoundObjectCount; ++slot) {
        krSoundObject& o = krSoundObjects[slot];
        if (!o.inUse) continue;
        krSoundDevice.reloadSlot = slot;
        // The echo state comes back from the mix count alone: available
        // whenever there are several buffers, whatever sign the load gave.
        const int mix = o.mixCount;
        if (o.packed) {
            std::snprintf(krSoundDevice.packPath, sizeof krSoundDevice.packPath, "%s", o.stream.packPath);
            if (o.stream.dataSize > 0)
                krSound::LoadStream(o.name, static_cast<int>(o.stream.loopStart - o.stream.dataStart));
            else
                krSound::LoadPack(o.name, mix);
        } else {
            krSound::LoadObject(o.name, mix);
        }
    }
    krSoundDevice.reloadMode = 0;
    std::memcpy(krSoundDevice.packPath, callerPack, sizeof callerPack);
}

// Plays a WAV file once through the mixer and returns when it has ended
// (or after its length and a second more, should nothing pull the mix).
void PlayFileToEnd(const char* file) {
    WaveData wave;
    krSound::internal::PlayableSound sound;
    if (!krSound::internal::ReadWaveFile(krSound::internal::ProgramFile(file), wave) ||
        !krSound::internal::MakePlayable(wave.format, wave.samples, sound))
        return;
    audio::OpenOutput();
    const int voice = audio::CreateVoice(sound.format, static_cast<std::uint32_t>(sound.bytes.size()));
    if (!voice) return;
    krSound::internal::WriteBuffer(voice, 0, sound.bytes.data(), static_cast<std::uint32_t>(sound.bytes.size()));
    audio::Play(voice, false);
    const std::uint64_t lengthMs =
        static_cast<std::uint64_t>(sound.bytes.size()) * 1000u / static_cast<std::uint64_t>(sound.format.BytesPerSecond());
    for (std::uint64_t waited = 0; audio::IsPlaying(voice) && waited < lengthMs + kSystemSoundSlackMs;
         waited += kSystemSoundStepMs)
        plat::Sleep(kSystemSoundStepMs);
    audio::ReleaseVoice(voice);
}

}  // namespace

namespace krSound::internal {

std::string ProgramFile(const char* name) {
    return plat::ResolvePath(std::string(krSystem::GetBaseFolder(0)) + (name ? name : ""));
}

int TakeLoadSlot(const char* label, const char* name, const char* nameTooLongMessage) {
    if (krSoundDevice.reloadMode) return krSoundDevice.reloadSlot;
    const int slot = LowestFreeSlot();
    if (slot < 0) {
        krSystem::ReportError(label, u8"オブジェクト数が多過ぎます"_cp932);
        return -1;
    }
    if (std::strlen(name) > kMaxNameLength) {
        krSystem::ReportError(label, nameTooLongMessage);
        return -1;
    }
    return slot;
}

void ReleaseBuffers(int slot) {
    if (!InRange(slot)) return;
    for (std::int32_t& voice : krSoundObjects[slot].buffers) {
        if (!voice) continue;
        audio::Stop(voice);
        audio::ReleaseVoice(voice);
        voice = 0;
    }
}

void WriteBuffer(int voice, std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t count) {
    if (count == 0) return;  // a lock of 0 bytes would mean the whole buffer
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0, secondBytes = 0;
    if (!audio::Lock(voice, offset, count, &first, &firstBytes, &second, &secondBytes)) return;
    firstBytes = std::min(firstBytes, count);
    secondBytes = std::min(secondBytes, count - firstBytes);
    if (bytes) {
        if (first) std::memcpy(first, bytes, firstBytes);
        if (second) std::memcpy(second, bytes + firstBytes, secondBytes);
    } else {
        if (first) std::memset(first, 0, firstBytes);
        if (second) std::memset(second, 0, secondBytes);
    }
    audio::Unlock(voice);
}

bool CreateBuffer(const char* label, int slot, int j, const audio::PcmFormat& format, std::uint32_t bytes) {
    krSoundObject& o = krSoundObjects[slot];
    const int voice = audio::CreateVoice(format, bytes);
    if (!voice) {
        krSystem::ReportError(label, u8"サウンドバッファが生成できません"_cp932);
        return false;
    }
    o.buffers[j] = voice;
    if (krSoundDevice.reloadMode) {
        audio::SetVolume(voice, o.volume[j]);
        audio::SetFrequency(voice, o.frequency[j]);
        audio::SetPan(voice, o.pan[j]);
    } else {
        o.frequency[j] = audio::GetFrequency(voice);
        o.baseFrequency = o.frequency[j];
        o.volume[j] = 0;
        o.pan[j] = 0;
    }
    return true;
}

bool FillBuffers(const char* label, int slot, int mix, WaveData& wave) {
    krSoundObject& o = krSoundObjects[slot];
    PlayableSound sound;
    if (!MakePlayable(wave.format, wave.samples, sound)) {
        krSystem::ReportError(label, u8"サウンドバッファが生成できません"_cp932);
        return false;
    }
    const int count = std::max(1, std::abs(mix));
    const auto bytes = static_cast<std::uint32_t>(sound.bytes.size());
    for (int j = 0; j < count; ++j) {
        if (!CreateBuffer(label, slot, j, sound.format, bytes)) {
            ReleaseBuffers(slot);
            return false;
        }
        WriteBuffer(o.buffers[j], 0, sound.bytes.data(), bytes);
    }
    o.mixCount = count;
    o.echoState = mix > 1 ? 0 : -1;
    if (!krSoundDevice.reloadMode) o.nextBuffer = 0;
    if (o.nextBuffer >= count) o.nextBuffer = 0;
    return true;
}

}  // namespace krSound::internal

namespace krSound {

int Init() {
    ReleaseAllBuffers();  // a second set-up must not leave voices playing
    if (!audio::OpenOutput()) {
        krSoundDevice.ready = 0;
        return 0;
    }
    krSoundDevice.reloadMode = 0;
    krSoundDevice.ready = 1;
    return 1;
}

void Release() {
    ReleaseAllBuffers();
    audio::CloseOutput();
}

void ClearObjects() {
    ReleaseAllBuffers();
    for (krSoundObject& o : krSoundObjects) o = krSoundObject{};
}

int LoadObject(const char* name, int mix) {
    if (!krSoundDevice.ready) return -1;
    if (!name) name = "";
    const char* label = "krSound::LoadObject";
    if (std::abs(mix) > krSoundMaxMix) {
        krSystem::ReportError(label, u8"ミックス数が多過ぎます"_cp932);
        return -1;
    }
    const int slot = internal::TakeLoadSlot(label, name, u8"ファイル名またはリソース名が長すぎます"_cp932);
    if (slot < 0) return -1;
    WaveData wave;
    if (!ReadSource(name, wave)) {
        krSystem::ReportLoadError(label, u8"WAVEリソースが見つかりません"_cp932,
                                  (std::string(krSystem::GetBaseFolder(0)) + name).c_str());
        return -1;
    }
    if (!internal::FillBuffers(label, slot, mix, wave)) return -1;
    krSoundObject& o = krSoundObjects[slot];
    o.inUse = 1;
    o.packed = 0;
    o.stream.dataSize = 0;
    if (!krSoundDevice.reloadMode) std::snprintf(o.name, sizeof o.name, "%s", name);
    return slot;
}

void FreeObject(int slot) {
    if (!InRange(slot) || !krSoundObjects[slot].inUse) return;
    internal::ReleaseBuffers(slot);
    krSoundObjects[slot] = krSoundObject{};
}

int SelectFormat(int channels, int rate, int bits) {
    if (!krSoundDevice.ready) return 1;
    ReleaseAllBuffers();
    const audio::PcmFormat format{RateOfCode(rate), channels, bits};
    const bool usable = (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && format.rate > 0;
    if (!usable || !audio::SetOutputFormat(format)) {
        krSystem::ReportError("krSound::SelectFormat", u8"再生フォーマットを変更できません"_cp932);
        ReloadObjects();  // the objects play on in the format that stays
        return 0;
    }
    ReloadObjects();
    return 1;
}

void PlaySystemSound(const char* file) {
    if (!krSoundDevice.ready) return;
    Release();
    PlayFileToEnd(file);
    Rebuild();
}

void Rebuild() {
    if (!krSoundDevice.ready) return;
    if (!Init()) return;
    ReloadObjects();
}

std::uint32_t GetPosition(int slot) {
    if (!krSoundDevice.ready || !InRange(slot)) return 0;
    return audio::GetPosition(krSoundObjects[slot].buffers[0]);
}

void RegisterResource(const char* name, const void* wavImage, std::size_t size) {
    resources.push_back(Resource{internal::UpperCase(name), static_cast<const std::uint8_t*>(wavImage), size});
}

void ClearResources() { resources.clear(); }

}  // namespace krSound
