// soundpack: builds, lists and unpacks the engine's sound packs.
//
//   soundpack build PACK FOLDER [--append]   every *.wav of FOLDER into PACK
//   soundpack list PACK                      name, format and length of each entry
//   soundpack extract PACK NAME OUT.wav      one entry back to a WAV file
//
// A pack built here holds the same bytes as krSound::Convert writes for the
// same folder (entries sorted by file name, names in upper case). Exit status
// 0 on success, 1 on a failure (a message on standard error), 2 on bad usage,
// an output that is one of the command's inputs included.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/atomic_file.h"
#include "platform/os/same_file.h"
#include "platform/text/cp932.h"
#include "sound/sound_internal.h"
#include "tools/pack_command.h"

namespace {

namespace sound = krSound::internal;

const char* const kUsage =
    "usage: soundpack build PACK FOLDER [--append]\n"
    "       soundpack list PACK\n"
    "       soundpack extract PACK NAME OUT.wav\n"
    "\n"
    "build    writes every .wav file of FOLDER (any case, sorted by name) into PACK,\n"
    "         each entry named by its file name in upper case; PACK is made anew\n"
    "         unless --append is given\n"
    "list     prints each entry: name, format, channels, rate, bits, seconds\n"
    "extract  writes the entry NAME (any case) of PACK as a WAV file\n";

// Usage on standard output for --help; wrong use gets one line naming the
// problem.
int Usage(const char* problem) {
    if (!problem) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fprintf(stderr, "soundpack: %s (see soundpack --help)\n", problem);
    return 2;
}

int Misused(const std::string& problem) { return Usage(problem.c_str()); }

int Fail(const std::string& message) {
    std::fprintf(stderr, "soundpack: %s\n", message.c_str());
    return 1;
}

// An output that would overwrite one of the command's inputs.
int RefuseOverwriting(const std::string& output, const std::string& input) {
    std::fprintf(stderr, "soundpack: %s is the input %s; it would be overwritten\n", output.c_str(), input.c_str());
    return 2;
}

// The folder's file a build would read that is the pack itself, or "".
std::string PackAmongInputs(const std::string& pack, const std::string& folder) {
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = item.path().extension().string();
        for (char& c : extension) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (extension == ".WAV" && plat::SameFile(pack, item.path().string())) return item.path().string();
    }
    return "";
}

const char* FormatName(std::uint16_t tag) {
    switch (tag) {
        case sound::kTagPcm: return "PCM";
        case sound::kTagFloat: return "float";
        case sound::kTagALaw: return "A-law";
        case sound::kTagMuLaw: return "mu-law";
        case sound::kTagExtensible: return "extensible";
        default: return "other";
    }
}

struct OpenPack {
    std::FILE* file = nullptr;
    explicit OpenPack(const std::string& path) : file(std::fopen(path.c_str(), "rb")) {}
    ~OpenPack() {
        if (file) std::fclose(file);
    }
};

// Reads the pack's entries through to its end: "" when they read whole,
// else what is wrong. With `print`, one line per entry and a count.
std::string WalkPack(const std::string& path, bool print) {
    OpenPack pack(path);
    if (!pack.file) return "cannot open " + path;
    const long size = sound::FileSize(pack.file);
    sound::PackEntry entry;
    long next = 0;
    int count = 0;
    while (next < size) {
        if (std::fseek(pack.file, next, SEEK_SET) != 0 || !sound::ReadPackHeader(pack.file, size, entry))
            return "damaged entry at offset " + std::to_string(next);
        sound::WaveData wave;
        sound::WaveFormat f;
        if (!sound::ReadPackEntry(pack.file, entry, wave) || !sound::ReadFormat(wave.format, f))
            return "damaged entry " + plat::Cp932ToUtf8(entry.name.c_str());
        const double seconds = f.rate && f.blockAlign ? static_cast<double>(entry.dataSize) / f.blockAlign / f.rate : 0.0;
        if (print)
            std::printf("%-32s %-10s %u ch %6u Hz %2u bit %9.3f s\n", plat::Cp932ToUtf8(entry.name.c_str()).c_str(),
                        FormatName(f.tag), f.channels, f.rate, f.bits, seconds);
        next = entry.formatOffset + static_cast<long>(entry.formatSize) + static_cast<long>(entry.dataSize);
        ++count;
    }
    if (print) std::printf("%d entries\n", count);
    return "";
}

int List(const std::string& path) {
    const std::string damage = WalkPack(path, true);
    return damage.empty() ? 0 : Fail(damage);
}

int Build(const std::string& pack, const std::string& folder, bool append) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return Fail(folder + ": no such folder");
    if (const std::string input = PackAmongInputs(pack, folder); !input.empty()) return RefuseOverwriting(pack, input);
    // Entries after a damaged one could never be read: nothing is appended to it.
    if (append && std::filesystem::exists(pack, error))
        if (const std::string damage = WalkPack(pack, false); !damage.empty())
            return Fail(damage + "; nothing appended to " + pack);
    std::vector<std::string> skipped;
    int written = 0;
    if (!sound::AppendFolder(pack, folder, !append, &skipped, &written)) return Fail("cannot write " + pack);
    for (const std::string& file : skipped) std::fprintf(stderr, "soundpack: skipped %s (not a readable WAV file)\n", file.c_str());
    std::printf("%d entries written to %s\n", written, pack.c_str());
    if (written == 0 && skipped.empty()) return Fail("no .wav files in " + folder);
    return skipped.empty() ? 0 : 1;
}

int Extract(const std::string& path, const std::string& name, const std::string& out) {
    OpenPack pack(path);
    if (!pack.file) return Fail("cannot open " + path);
    if (plat::SameFile(out, path)) return RefuseOverwriting(out, path);
    sound::PackEntry entry;
    sound::WaveData wave;
    const std::string upper = sound::UpperCase(plat::Utf8ToCp932(name).c_str());
    if (!sound::FindPackEntry(pack.file, upper, entry)) return Fail("no entry " + name + " in " + path);
    if (!sound::ReadPackEntry(pack.file, entry, wave)) return Fail("entry " + name + " is damaged");
    const std::vector<std::uint8_t> image = sound::BuildWaveFile(wave);
    if (!plat::WriteFileAtomically(out, image.data(), image.size())) return Fail("cannot write " + out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(nullptr);
    return RunPackCommand(args, PackCommands{&Build, &List, &Extract, &Misused, "PACK FOLDER", "PACK",
                                             "PACK NAME OUT.wav"});
}
