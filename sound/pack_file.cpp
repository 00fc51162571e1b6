// The sound pack's layout: a plain run of entries (data size, NUL-ended
// upper-case name, format size, format record, samples), read and written
// here for the loaders, the conversion and the pack tool. Every size in a
// pack is checked against the file's length before anything is allocated.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/os/atomic_file.h"
#include "platform/text/cp932.h"
#include "sound/sound_internal.h"

namespace krSound::internal {

namespace {

constexpr std::uint32_t kMinRecord = 16;
constexpr std::uint32_t kMaxRecord = 18 + 0xFFFF;

bool ReadU32(std::FILE* file, std::uint32_t& value) {
    std::uint8_t b[4];
    if (std::fread(b, 1, 4, file) != 4) return false;
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return true;
}

bool WriteU32(std::FILE* file, std::uint32_t value) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                               static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return std::fwrite(b, 1, 4, file) == 4;
}

bool HasWavExtension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return ext == ".WAV";
}

std::vector<std::string> WaveFilesOf(const std::string& folderPath) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folderPath.empty() ? "." : folderPath, error)) {
        std::error_code ignored;
        const std::string name = item.path().filename().string();
        if (HasWavExtension(name) && item.is_regular_file(ignored)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

long FileSize(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return size;
}

bool ReadPackHeader(std::FILE* pack, long fileSize, PackEntry& entry) {
    entry = PackEntry{};
    if (!ReadU32(pack, entry.dataSize)) return false;
    char name[kMaxPackName + 1];
    std::size_t length = 0;
    for (;;) {
        const int c = std::fgetc(pack);
        if (c == EOF) return false;
        if (c == 0) break;
        if (length == kMaxPackName) return false;  // longer than any name a pack holds
        name[length++] = static_cast<char>(c);
    }
    entry.name.assign(name, length);
    if (!ReadU32(pack, entry.formatSize)) return false;
    entry.formatOffset = std::ftell(pack);
    if (entry.formatOffset < 0 || fileSize < entry.formatOffset) return false;
    const std::uint64_t left = static_cast<std::uint64_t>(fileSize - entry.formatOffset);
    entry.complete = static_cast<std::uint64_t>(entry.formatSize) + entry.dataSize <= left;
    return true;
}

bool FindPackEntry(std::FILE* pack, const std::string& upperName, PackEntry& entry) {
    const long fileSize = FileSize(pack);
    if (fileSize < 0 || std::fseek(pack, 0, SEEK_SET) != 0) return false;
    while (ReadPackHeader(pack, fileSize, entry)) {
        if (entry.name == upperName) return true;
        if (!entry.complete) return false;  // the next entry would start past the end
        if (std::fseek(pack, entry.formatOffset + static_cast<long>(entry.formatSize) + static_cast<long>(entry.dataSize),
                       SEEK_SET) != 0)
            return false;
    }
    return false;
}

bool ReadPackEntry(std::FILE* pack, const PackEntry& entry, WaveData& out) {
    out = WaveData{};
    if (!entry.complete || entry.formatSize < kMinRecord || entry.formatSize > kMaxRecord) return false;
    if (std::fseek(pack, entry.formatOffset, SEEK_SET) != 0) return false;
    out.format.resize(entry.formatSize);
    out.samples.resize(entry.dataSize);
    if (std::fread(out.format.data(), 1, out.format.size(), pack) != out.format.size() ||
        std::fread(out.samples.data(), 1, out.samples.size(), pack) != out.samples.size()) {
        out = WaveData{};
        return false;
    }
    // A 16-byte record gets its extra-size field, as the reader gives it.
    if (out.format.size() < 18) out.format.resize(18, 0);
    return true;
}

bool WritePackEntry(std::FILE* pack, const std::string& name, const WaveData& wave) {
    return WriteU32(pack, static_cast<std::uint32_t>(wave.samples.size())) &&
           std::fwrite(name.c_str(), 1, name.size() + 1, pack) == name.size() + 1 &&
           WriteU32(pack, static_cast<std::uint32_t>(wave.format.size())) &&
           std::fwrite(wave.format.data(), 1, wave.format.size(), pack) == wave.format.size() &&
           std::fwrite(wave.samples.data(), 1, wave.samples.size(), pack) == wave.samples.size();
}

bool AppendFolder(const std::string& packPath, const std::string& folderPath, bool fresh,
                  std::vector<std::string>* skipped, int* written) {
    if (written) *written = 0;
    plat::AtomicFile pack(packPath, fresh ? plat::AtomicFile::Start::kEmpty : plat::AtomicFile::Start::kExisting);
    if (!pack.IsOpen()) return false;
    int entries = 0;
    for (const std::string& file : WaveFilesOf(folderPath)) {
        const std::string entryName = UpperCase(plat::Utf8ToCp932(file).c_str());
        WaveData wave;
        const std::string path = folderPath.empty() ? file : folderPath + "/" + file;
        if (entryName.empty() || entryName.size() > kMaxPackName || !ReadWaveFile(path, wave)) {
            if (skipped) skipped->push_back(file);
            continue;
        }
        if (!WritePackEntry(pack.Stream(), entryName, wave)) return false;
        ++entries;
    }
    if (entries == 0) {
        pack.Discard();
        if (fresh) std::remove(packPath.c_str());
        return true;
    }
    if (!pack.Commit()) return false;
    if (written) *written = entries;
    return true;
}

}  // namespace krSound::internal
