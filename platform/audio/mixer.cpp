// The process's one software mixer: voices that act as sound buffers and
// sources that render into the mix, pulled by the active backend's audio
// device (SDL) or on demand (headless, tests).
//
// Two locks with separate duties: `mutex` guards voices, sources and the
// output format and is held while a mix is produced; `deviceMutex` orders
// opening and closing the device. The device is never opened or closed under
// `mutex`, because closing waits for the device thread, which takes `mutex`.
#include "platform/audio/mixer.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/voice_mix.h"
#include "platform/os/backend.h"

namespace plat::audio {
namespace {

constexpr int kMinRate = 100, kMaxRate = 100000;
constexpr int kMinOutputRate = 8000, kMaxOutputRate = 192000;
constexpr std::uint32_t kMaxVoiceBytes = 0x0FFFFFFF;  // the largest buffer a voice may have
constexpr int kChunkFrames = 1024;                    // frames mixed per pass of the accumulator
constexpr int kMaxLevel = 0, kMinLevel = -10000;
constexpr int kMaxPan = 10000;

struct Voice {
    int handle = 0;
    PcmFormat format;
    std::vector<std::uint8_t> data;
    std::uint64_t position = 0;  // 32.32 frames
    bool playing = false, loop = false;
    int volume = 0, pan = 0, frequency = 0;
    float gainLeft = 1, gainRight = 1;
    // Lock/Unlock: the caller writes into a copy that Unlock publishes, so
    // the device thread never reads bytes while they are being written.
    bool locked = false;
    std::uint32_t lockOffset = 0;
    std::vector<std::uint8_t> staging;

    std::uint32_t Frames() const { return static_cast<std::uint32_t>(data.size() / format.BlockAlign()); }
};

struct SourceEntry {
    int handle = 0;
    Source render;
};

struct Mixer {
    std::mutex mutex;
    std::vector<std::unique_ptr<Voice>> voices;  // ordered by handle
    int nextVoice = 1;
    std::vector<SourceEntry> sources;
    int nextSource = 1;
    PcmFormat output;
    std::vector<float> scratch = std::vector<float>(2 * kChunkFrames);

    std::mutex deviceMutex;
    bool outputOpen = false;
};

// Never destroyed: an audio device thread may still pull while the process
// exits.
Mixer& State() {
    static Mixer* mixer = new Mixer;
    return *mixer;
}

Voice* Find(Mixer& m, int handle) {
    auto it = std::lower_bound(m.voices.begin(), m.voices.end(), handle,
                               [](const std::unique_ptr<Voice>& v, int h) { return v->handle < h; });
    return it != m.voices.end() && (*it)->handle == handle ? it->get() : nullptr;
}

bool UsableVoiceFormat(const PcmFormat& f) {
    return (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) && f.rate >= kMinRate &&
           f.rate <= kMaxRate;
}

bool UsableOutputFormat(const PcmFormat& f) {
    return (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) && f.rate >= kMinOutputRate &&
           f.rate <= kMaxOutputRate;
}

bool SameFormat(const PcmFormat& a, const PcmFormat& b) {
    return a.rate == b.rate && a.channels == b.channels && a.bits == b.bits;
}

void UpdateGains(Voice& v) {
    const float level = internal::LevelToAmplitude(v.volume);
    v.gainLeft = level * (v.pan > 0 ? internal::LevelToAmplitude(-v.pan) : 1.0f);
    v.gainRight = level * (v.pan < 0 ? internal::LevelToAmplitude(v.pan) : 1.0f);
}

std::uint8_t SilenceByte(int bits) { return bits == 8 ? 0x80 : 0x00; }

// Runs `op` on the voice under the lock; `fallback` when there is none.
template <typename Op, typename R>
R WithVoice(int handle, R fallback, Op op) {
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    Voice* v = Find(m, handle);
    return v ? op(*v) : fallback;
}

void MixChunk(Mixer& m, float* mix, int frames) {
    std::fill(mix, mix + 2 * frames, 0.0f);
    const std::uint64_t outRate = static_cast<std::uint64_t>(m.output.rate);
    for (auto& owned : m.voices) {
        Voice& v = *owned;
        if (!v.playing) continue;
        internal::VoiceCursor cursor;
        cursor.data = v.data.data();
        cursor.frames = v.Frames();
        cursor.channels = v.format.channels;
        cursor.bits = v.format.bits;
        cursor.loop = v.loop;
        cursor.position = v.position;
        cursor.step = (static_cast<std::uint64_t>(v.frequency) << 32) / outRate;
        cursor.gainLeft = v.gainLeft;
        cursor.gainRight = v.gainRight;
        const int produced = internal::MixVoice(cursor, mix, frames);
        v.position = cursor.position;
        if (produced < frames) v.playing = false;  // played once to its end
    }
    for (SourceEntry& source : m.sources) source.render(mix, frames, m.output.rate);
}

// Opens or closes the device of the active backend; the caller holds
// deviceMutex (never mutex).
bool OpenDevice(Mixer& m) {
    PcmFormat format;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        format = m.output;
    }
    m.outputOpen = ActiveBackend().OpenAudio(format);
    return m.outputOpen;
}

void CloseDevice(Mixer& m) {
    if (m.outputOpen) ActiveBackend().CloseAudio();
    m.outputOpen = false;
}

}  // namespace

// ---- the output device ----

bool OpenOutput() {
    Mixer& m = State();
    std::lock_guard<std::mutex> device(m.deviceMutex);
    return m.outputOpen || OpenDevice(m);
}

void CloseOutput() {
    Mixer& m = State();
    std::lock_guard<std::mutex> device(m.deviceMutex);
    CloseDevice(m);
}

bool OutputOpen() {
    Mixer& m = State();
    std::lock_guard<std::mutex> device(m.deviceMutex);
    return m.outputOpen;
}

bool SetOutputFormat(const PcmFormat& format) {
    if (!UsableOutputFormat(format)) return false;
    Mixer& m = State();
    std::lock_guard<std::mutex> device(m.deviceMutex);
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        if (SameFormat(m.output, format)) return true;
    }
    const bool reopen = m.outputOpen;
    CloseDevice(m);
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.output = PcmFormat{format.rate, format.channels, format.bits};
    }
    return !reopen || OpenDevice(m);
}

PcmFormat OutputFormat() {
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    return m.output;
}

// ---- voices ----

int CreateVoice(const PcmFormat& format, std::uint32_t bytes) {
    if (!UsableVoiceFormat(format)) return 0;
    if (bytes < static_cast<std::uint32_t>(format.BlockAlign()) || bytes > kMaxVoiceBytes) return 0;
    auto voice = std::make_unique<Voice>();
    voice->format = PcmFormat{format.rate, format.channels, format.bits};
    voice->data.assign(bytes, SilenceByte(format.bits));
    voice->frequency = format.rate;
    UpdateGains(*voice);
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    voice->handle = m.nextVoice++;
    m.voices.push_back(std::move(voice));
    return m.voices.back()->handle;
}

void ReleaseVoice(int handle) {
    std::unique_ptr<Voice> doomed;  // freed outside the lock
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    auto it = std::find_if(m.voices.begin(), m.voices.end(), [&](const auto& v) { return v->handle == handle; });
    if (it == m.voices.end()) return;
    doomed = std::move(*it);
    m.voices.erase(it);
}

bool Lock(int handle, std::uint32_t offset, std::uint32_t bytes, void** first, std::uint32_t* firstBytes,
          void** second, std::uint32_t* secondBytes) {
    if (first) *first = nullptr;
    if (firstBytes) *firstBytes = 0;
    if (second) *second = nullptr;
    if (secondBytes) *secondBytes = 0;
    if (!first || !firstBytes) return false;
    return WithVoice(handle, false, [&](Voice& v) {
        const std::uint32_t size = static_cast<std::uint32_t>(v.data.size());
        if (bytes == 0) bytes = size;
        if (v.locked || offset >= size || bytes > size) return false;
        const std::uint32_t head = std::min(bytes, size - offset);
        const std::uint32_t tail = bytes - head;
        if (tail > 0 && (!second || !secondBytes)) return false;
        v.staging.resize(bytes);
        std::copy_n(v.data.begin() + offset, head, v.staging.begin());
        std::copy_n(v.data.begin(), tail, v.staging.begin() + head);
        v.locked = true;
        v.lockOffset = offset;
        *first = v.staging.data();
        *firstBytes = head;
        if (tail > 0) {
            *second = v.staging.data() + head;
            *secondBytes = tail;
        }
        return true;
    });
}

void Unlock(int handle) {
    WithVoice(handle, false, [&](Voice& v) {
        if (!v.locked) return false;
        const std::uint32_t size = static_cast<std::uint32_t>(v.data.size());
        const std::uint32_t bytes = static_cast<std::uint32_t>(v.staging.size());
        const std::uint32_t head = std::min(bytes, size - v.lockOffset);
        std::copy_n(v.staging.begin(), head, v.data.begin() + v.lockOffset);
        std::copy_n(v.staging.begin() + head, bytes - head, v.data.begin());
        v.locked = false;
        std::vector<std::uint8_t>().swap(v.staging);
        return true;
    });
}

bool Play(int handle, bool loop) {
    return WithVoice(handle, false, [&](Voice& v) {
        v.playing = true;
        v.loop = loop;
        return true;
    });
}

bool Stop(int handle) {
    return WithVoice(handle, false, [&](Voice& v) {
        v.playing = false;
        return true;
    });
}

bool SetPosition(int handle, std::uint32_t byteOffset) {
    return WithVoice(handle, false, [&](Voice& v) {
        if (byteOffset > v.data.size()) return false;
        v.position = static_cast<std::uint64_t>(byteOffset / v.format.BlockAlign()) << 32;
        return true;
    });
}

std::uint32_t GetPosition(int handle) {
    return WithVoice(handle, std::uint32_t{0}, [&](Voice& v) {
        const std::uint32_t frame = std::min(static_cast<std::uint32_t>(v.position >> 32), v.Frames());
        return frame * static_cast<std::uint32_t>(v.format.BlockAlign());
    });
}

bool IsPlaying(int handle) {
    return WithVoice(handle, false, [](Voice& v) { return v.playing; });
}

bool IsLooping(int handle) {
    return WithVoice(handle, false, [](Voice& v) { return v.playing && v.loop; });
}

bool SetVolume(int handle, int hundredthsDb) {
    return WithVoice(handle, false, [&](Voice& v) {
        v.volume = std::clamp(hundredthsDb, kMinLevel, kMaxLevel);
        UpdateGains(v);
        return true;
    });
}

int GetVolume(int handle) {
    return WithVoice(handle, 0, [](Voice& v) { return v.volume; });
}

bool SetPan(int handle, int pan) {
    return WithVoice(handle, false, [&](Voice& v) {
        v.pan = std::clamp(pan, -kMaxPan, kMaxPan);
        UpdateGains(v);
        return true;
    });
}

int GetPan(int handle) {
    return WithVoice(handle, 0, [](Voice& v) { return v.pan; });
}

bool SetFrequency(int handle, int hz) {
    return WithVoice(handle, false, [&](Voice& v) {
        v.frequency = std::clamp(hz, kMinRate, kMaxRate);
        return true;
    });
}

int GetFrequency(int handle) {
    return WithVoice(handle, 0, [](Voice& v) { return v.frequency; });
}

PcmFormat VoiceFormat(int handle) {
    return WithVoice(handle, PcmFormat{}, [](Voice& v) { return v.format; });
}

std::uint32_t VoiceBytes(int handle) {
    return WithVoice(handle, std::uint32_t{0}, [](Voice& v) { return static_cast<std::uint32_t>(v.data.size()); });
}

// ---- sources ----

int AddSource(Source source) {
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    const int handle = m.nextSource++;
    m.sources.push_back(SourceEntry{handle, std::move(source)});
    return handle;
}

void RemoveSource(int handle) {
    Source doomed;
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    auto it = std::find_if(m.sources.begin(), m.sources.end(), [&](const SourceEntry& s) { return s.handle == handle; });
    if (it == m.sources.end()) return;
    doomed = std::move(it->render);
    m.sources.erase(it);
}

// ---- pulling the mix ----

void Mix(void* out, int frames) {
    if (!out || frames <= 0) return;
    Mixer& m = State();
    std::lock_guard<std::mutex> lock(m.mutex);
    auto* bytes = static_cast<std::uint8_t*>(out);
    const int blockAlign = m.output.BlockAlign();
    for (int done = 0; done < frames;) {
        const int count = std::min(kChunkFrames, frames - done);
        MixChunk(m, m.scratch.data(), count);
        internal::WriteOutput(m.scratch.data(), count, m.output.channels, m.output.bits,
                              bytes + static_cast<std::size_t>(done) * blockAlign);
        done += count;
    }
}

void ResetMixer() {
    std::vector<std::unique_ptr<Voice>> voices;
    std::vector<SourceEntry> sources;
    {
        Mixer& m = State();
        std::lock_guard<std::mutex> lock(m.mutex);
        voices.swap(m.voices);
        sources.swap(m.sources);
    }
    SetOutputFormat(PcmFormat{});
}

}  // namespace plat::audio
