// Writes PCM into a WAV file as it arrives (the sound dump of the windowed
// program, the script driver's --audio). The header's sizes are brought up
// to date every second of audio and on Close, so the file is valid even if
// the program is killed.
//
// Every write is checked. The first that fails (a full disk) stops the
// file: it is cut back to the whole sample frames that reached it, its
// header is made to say so, and nothing more is written to it; Append,
// Flush and Close then answer false. A target that cannot seek (a pipe) gets
// one header claiming the format's largest size, and the stream after it.
#pragma once
#include <cstdint>
#include <string>

#include "platform/audio/mixer.h"

namespace plat::audio {

class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter() { Close(); }

    // False when the file cannot be made or its header written.
    bool Open(const std::string& path, const PcmFormat& format);
    // False once the file has stopped.
    bool Append(const void* bytes, std::size_t size);
    // Brings the header up to date and keeps the file open for more.
    bool Flush();
    // Pads and finishes the file; false when any write of it failed (also
    // when it was not open: then nothing failed, and the answer is true).
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool Failed() const { return failed_; }
    const PcmFormat& Format() const { return format_; }

private:
    void MakeHeader(std::uint8_t* header, bool final) const;
    bool WriteHeader(bool final);
    void Stop();

    int fd_ = -1;
    bool seekable_ = true;
    bool failed_ = false;
    bool padded_ = false;
    PcmFormat format_;
    std::uint32_t dataBytes_ = 0;
    std::uint32_t sinceHeader_ = 0;
};

}  // namespace plat::audio
