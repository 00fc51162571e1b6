// A streaming WAV writer: RIFF header, "fmt " (PCM, 16 bytes), "data".
#include "platform/audio/wav_writer.h"

namespace plat::audio {
namespace {

constexpr std::uint32_t kHeaderBytes = 44;
constexpr std::uint32_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes - 1;

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace

bool WavWriter::Open(const std::string& path, const PcmFormat& format) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    format_ = format;
    dataBytes_ = 0;
    sinceHeader_ = 0;
    WriteHeader(false);
    return true;
}

void WavWriter::Append(const void* bytes, std::size_t size) {
    if (!file_ || size == 0) return;
    if (size > kMaxDataBytes - dataBytes_) size = kMaxDataBytes - dataBytes_;  // the format's limit
    const std::size_t written = std::fwrite(bytes, 1, size, file_);
    dataBytes_ += static_cast<std::uint32_t>(written);
    sinceHeader_ += static_cast<std::uint32_t>(written);
    if (sinceHeader_ >= static_cast<std::uint32_t>(format_.BytesPerSecond())) WriteHeader(false);
}

void WavWriter::Close() {
    if (!file_) return;
    if (dataBytes_ & 1) std::fputc(0, file_);  // chunks are padded to an even size
    WriteHeader(true);
    std::fclose(file_);
    file_ = nullptr;
}

void WavWriter::WriteHeader(bool final) {
    std::uint8_t h[kHeaderBytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    // The pad byte of an odd data chunk is written only by Close.
    const std::uint32_t pad = final ? dataBytes_ & 1 : 0;
    Put32(h + 4, kHeaderBytes - 8 + dataBytes_ + pad);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // PCM
    Put16(h + 22, static_cast<std::uint32_t>(format_.channels));
    Put32(h + 24, static_cast<std::uint32_t>(format_.rate));
    Put32(h + 28, static_cast<std::uint32_t>(format_.BytesPerSecond()));
    Put16(h + 32, static_cast<std::uint32_t>(format_.BlockAlign()));
    Put16(h + 34, static_cast<std::uint32_t>(format_.bits));
    h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
    Put32(h + 40, dataBytes_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, kHeaderBytes, file_);
    std::fseek(file_, 0, SEEK_END);  // appending goes on after the data
    std::fflush(file_);
    sinceHeader_ = 0;
}

}  // namespace plat::audio
