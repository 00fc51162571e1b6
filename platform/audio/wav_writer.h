// Writes PCM into a WAV file as it arrives (the sound dump of the windowed
// program). The header's sizes are brought up to date every second of audio
// and on Close, so the file is valid even if the program is killed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/audio/mixer.h"

namespace plat::audio {

class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter() { Close(); }

    bool Open(const std::string& path, const PcmFormat& format);
    void Append(const void* bytes, std::size_t size);
    void Close();
    // Brings the header up to date and keeps the file open for more.
    void Flush() {
        if (file_) WriteHeader(false);
    }
    bool IsOpen() const { return file_ != nullptr; }
    const PcmFormat& Format() const { return format_; }

private:
    void WriteHeader(bool final);

    std::FILE* file_ = nullptr;
    PcmFormat format_;
    std::uint32_t dataBytes_ = 0;
    std::uint32_t sinceHeader_ = 0;
};

}  // namespace plat::audio
