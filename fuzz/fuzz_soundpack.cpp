// libFuzzer harness of the sound pack reader: any bytes, taken as a pack,
// must be walked entry by entry without reading past the file or allocating
// more than it holds; every entry read whole is converted or refused.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sound/sound_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* pack = std::tmpfile();
    if (!pack) return 0;
    if (size) std::fwrite(data, 1, size, pack);
    std::fflush(pack);
    const long fileSize = krSound::internal::FileSize(pack);
    long next = 0;
    krSound::internal::PackEntry entry;
    for (int guard = 0; next < fileSize && guard < 64; ++guard) {
        if (std::fseek(pack, next, SEEK_SET) != 0 || !krSound::internal::ReadPackHeader(pack, fileSize, entry)) break;
        krSound::internal::WaveData wave;
        if (krSound::internal::ReadPackEntry(pack, entry, wave)) {
            if (wave.samples.size() > size || wave.format.size() > size + 2) std::abort();
            krSound::internal::PlayableSound sound;
            krSound::internal::MakePlayable(wave.format, wave.samples, sound);
        }
        if (!entry.complete) break;
        next = entry.formatOffset + static_cast<long>(entry.formatSize) + static_cast<long>(entry.dataSize);
    }
    // The lookup walks the same entries.
    std::string name = entry.name.empty() ? "X.WAV" : entry.name;
    krSound::internal::FindPackEntry(pack, name, entry);
    std::fclose(pack);
    return 0;
}
