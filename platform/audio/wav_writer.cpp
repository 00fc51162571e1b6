// A streaming WAV writer: RIFF header, "fmt " (PCM, 16 bytes), "data".
// Every byte passes the checked write steps of platform/os, so the failing-
// write seam reaches it as it reaches the atomic files.
#include "platform/audio/wav_writer.h"

#include <algorithm>

#include "platform/os/write_steps.h"
#include "platform/os/write_steps_os.h"

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
    failed_ = false;
    padded_ = false;
    format_ = format;
    dataBytes_ = 0;
    sinceHeader_ = 0;
    fd_ = OsOpenForWriting(path, seekable_);
    if (fd_ < 0) {
        failed_ = true;
        return false;
    }
    std::uint8_t header[kHeaderBytes];
    MakeHeader(header, false);
    if (!WriteStepAll(fd_, header, kHeaderBytes)) Stop();
    return !failed_;
}

bool WavWriter::Append(const void* bytes, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    if (size > kMaxDataBytes - dataBytes_) size = kMaxDataBytes - dataBytes_;  // the format's limit
    if (size == 0) return true;
    std::size_t written = 0;
    const bool whole = WriteStepAll(fd_, bytes, size, &written);
    dataBytes_ += static_cast<std::uint32_t>(written);
    sinceHeader_ += static_cast<std::uint32_t>(written);
    if (!whole || (sinceHeader_ >= static_cast<std::uint32_t>(format_.BytesPerSecond()) && !WriteHeader(false))) {
        Stop();
        return false;
    }
    return true;
}

bool WavWriter::Flush() {
    if (fd_ < 0 || failed_) return false;
    if (WriteHeader(false)) return true;
    Stop();
    return false;
}

bool WavWriter::Close() {
    if (fd_ < 0) return !failed_;
    if (!failed_ && seekable_ && (dataBytes_ & 1)) {
        // Chunks are padded to an even size.
        const std::uint8_t zero = 0;
        if (WriteStepAll(fd_, &zero, 1)) padded_ = true;
        else Stop();
    }
    if (!failed_ && !WriteHeader(true)) Stop();
    if (!CloseStep(fd_)) failed_ = true;
    fd_ = -1;
    return !failed_;
}

// After a failed write: keep only whole sample frames and a header that
// claims exactly them. Rewriting the header takes no new room on the disk.
void WavWriter::Stop() {
    failed_ = true;
    if (!seekable_) return;
    const std::uint32_t frame = static_cast<std::uint32_t>(format_.BlockAlign() > 0 ? format_.BlockAlign() : 1);
    dataBytes_ -= dataBytes_ % frame;
    padded_ = false;
    if (OsTruncate(fd_, static_cast<off_t>(kHeaderBytes + dataBytes_))) WriteHeader(false);
}

void WavWriter::MakeHeader(std::uint8_t* h, bool final) const {
    static const std::uint8_t kStart[16] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    std::copy(kStart, kStart + 16, h);
    // The pad byte of an odd data chunk is written only by Close.
    const std::uint32_t pad = final && padded_ ? 1 : 0;
    const std::uint32_t data = seekable_ ? dataBytes_ : kMaxDataBytes;
    Put32(h + 4, kHeaderBytes - 8 + data + pad);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // PCM
    Put16(h + 22, static_cast<std::uint32_t>(format_.channels));
    Put32(h + 24, static_cast<std::uint32_t>(format_.rate));
    Put32(h + 28, static_cast<std::uint32_t>(format_.BytesPerSecond()));
    Put16(h + 32, static_cast<std::uint32_t>(format_.BlockAlign()));
    Put16(h + 34, static_cast<std::uint32_t>(format_.bits));
    h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
    Put32(h + 40, data);
}

// Rewrites the header in place (a stream that cannot seek keeps its first).
bool WavWriter::WriteHeader(bool final) {
    sinceHeader_ = 0;
    if (!seekable_) return true;
    std::uint8_t header[kHeaderBytes];
    MakeHeader(header, final);
    return WriteStepAt(fd_, header, kHeaderBytes, 0);
}

}  // namespace plat::audio
