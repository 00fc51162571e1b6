// Builders of WAV images and sound pack bytes for the sound tests: chunk by
// chunk, so that a test can write any lie a hostile file might tell.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace soundfiles {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const std::string& s) {
    for (char c : s) b.push_back(static_cast<std::uint8_t>(c));
}

// A chunk with its id, its (claimed) size and a body; odd bodies get the pad
// byte unless told otherwise.
inline Bytes Chunk(const std::string& id, const Bytes& body, bool pad = true) {
    Bytes b;
    PutText(b, id);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1)) b.push_back(0);
    return b;
}

// The 16 bytes of a wave format.
inline Bytes FormatFields(int tag, int channels, int rate, int bits, int blockAlign = -1) {
    if (blockAlign < 0) blockAlign = channels * bits / 8;
    Bytes b;
    Put16(b, static_cast<std::uint32_t>(tag));
    Put16(b, static_cast<std::uint32_t>(channels));
    Put32(b, static_cast<std::uint32_t>(rate));
    Put32(b, static_cast<std::uint32_t>(rate * blockAlign));
    Put16(b, static_cast<std::uint32_t>(blockAlign));
    Put16(b, static_cast<std::uint32_t>(bits));
    return b;
}

// A format record with its extra-size field and extra bytes.
inline Bytes FormatRecord(const Bytes& fields, const Bytes& extra = {}) {
    Bytes b = fields;
    Put16(b, static_cast<std::uint32_t>(extra.size()));
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

// RIFF/WAVE around the given chunks; riffSize < 0 gives the true size.
inline Bytes Riff(const std::vector<Bytes>& chunks, long riffSize = -1) {
    Bytes body;
    PutText(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutText(b, "RIFF");
    Put32(b, static_cast<std::uint32_t>(riffSize < 0 ? static_cast<long>(body.size()) : riffSize));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A plain PCM file.
inline Bytes PcmWave(int channels, int rate, int bits, const Bytes& samples) {
    return Riff({Chunk("fmt ", FormatFields(1, channels, rate, bits)), Chunk("data", samples)});
}

// `frames` frames of 16-bit samples; frame i of channel c holds base + i (+ c * 1000).
inline Bytes Ramp16(int channels, std::size_t frames, int base = 0) {
    Bytes b;
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) Put16(b, static_cast<std::uint32_t>((base + static_cast<int>(i) + c * 1000) & 0xFFFF));
    return b;
}

// A 16-bit sine of `hz` at `rate` (both channels alike), amplitude 16000.
inline Bytes Sine16(int channels, int rate, double hz, std::size_t frames) {
    Bytes b;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(2.0 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) Put16(b, static_cast<std::uint16_t>(v));
    }
    return b;
}

// One sound pack entry as the pack holds it.
inline Bytes PackEntryBytes(const std::string& name, const Bytes& record, const Bytes& samples) {
    Bytes b;
    Put32(b, static_cast<std::uint32_t>(samples.size()));
    PutText(b, name);
    b.push_back(0);
    Put32(b, static_cast<std::uint32_t>(record.size()));
    b.insert(b.end(), record.begin(), record.end());
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline Bytes ReadFile(const std::string& path) {
    Bytes b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
    }
    return b;
}

}  // namespace soundfiles
