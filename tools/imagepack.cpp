// imagepack: builds, lists and unpacks image pack files without a display.
//
//   imagepack build <pack> <folder> [--append]   every *.bmp of the folder
//   imagepack list <pack>                        name, width, height, offset
//   imagepack extract <pack> <name> <out.bmp>    one entry as a 24-bit BMP
//
// A pack built here holds the same bytes as the engine's converter makes of
// the same folder: the pictures in the same order, each decoded by the
// engine's BMP reader to full colour and reduced to 15 bits by the same
// encoder. Entry names are kept in code page 932, as the engine reads them.
// Every failure, wrong use of the command line included, is told in one line
// on standard error and ends with exit status 1; an output that is one of
// the command's own inputs is refused with exit status 2, before anything is
// written.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "draw/pack_format.h"
#include "platform/images/bmp.h"
#include "platform/os/atomic_file.h"
#include "platform/os/same_file.h"
#include "platform/text/cp932.h"
#include "platform/pixels/surface.h"
#include "tools/pack_command.h"

namespace {

namespace pack = krDraw::pack;

constexpr const char* kUsage =
    "usage: imagepack build <pack> <folder> [--append]\n"
    "       imagepack list <pack>\n"
    "       imagepack extract <pack> <name> <out.bmp>\n"
    "       imagepack --help\n"
    "\n"
    "build    writes every *.bmp picture of <folder> (any case, ordered by upper-case\n"
    "         name) into <pack>, replacing it unless --append is given. Entries are\n"
    "         named by the upper-case file name; pixels become 15-bit words, and a\n"
    "         colour that is not black but rounds to black is kept as 0x0001.\n"
    "         (The engine's converter also leaves out pictures whose name relative\n"
    "         to the program's folder is longer than 30 characters.)\n"
    "list     prints one line per entry: name, width, height and the entry's\n"
    "         byte offset in the file.\n"
    "extract  writes the first entry called <name> (any case) as a 24-bit BMP,\n"
    "         each 5-bit component widened to eight bits.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "imagepack: %s\n", message.c_str());
    return 1;
}

// An output that would overwrite one of the command's inputs.
int RefuseOverwriting(const std::string& output, const std::string& input) {
    std::fprintf(stderr, "imagepack: %s is the input %s; it would be overwritten\n", output.c_str(), input.c_str());
    return 2;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct SurfaceDeleter {
    void operator()(plat::Surface* s) const { plat::DestroySurface(s); }
};

// Opens a pack for reading and measures it.
bool OpenPack(const std::string& path, File& file, std::uint64_t& size) {
    file.reset(std::fopen(path.c_str(), "rb"));
    return file && pack::MeasureFile(file.get(), size);
}

// Reads the pack's entries through to its end: "" when they read whole,
// else what is wrong. With `print`, one line per entry on standard output.
std::string WalkPack(const std::string& packPath, bool print) {
    File file;
    std::uint64_t size = 0;
    if (!OpenPack(packPath, file, size)) return packPath + ": cannot be read";
    pack::Entry entry;
    for (;;) {
        const pack::Step step = pack::ReadHeader(file.get(), size, entry);
        if (step == pack::Step::kEnd) break;
        if (step == pack::Step::kDamaged)
            return packPath + ": entry at offset " + std::to_string(entry.offset) + " has no proper name";
        if (!pack::PixelsInside(entry, size))
            return packPath + ": entry at offset " + std::to_string(entry.offset) + " runs past the end";
        if (print)
            std::printf("%s\t%u\t%u\t%llu\n", plat::Cp932ToUtf8(entry.name.c_str()).c_str(), entry.width, entry.height,
                        static_cast<unsigned long long>(entry.offset));
        if (std::fseek(file.get(), static_cast<long>(entry.PixelBytes()), SEEK_CUR) != 0)
            return packPath + ": cannot be read";
    }
    if (std::ftell(file.get()) != static_cast<long>(size))
        return packPath + ": " + std::to_string(size - static_cast<std::uint64_t>(entry.offset)) +
               " stray bytes after the last entry";
    return "";
}

int Build(const std::string& packPath, const std::string& folder, bool append) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return Fail(folder + ": no such folder");
    const std::vector<std::string> files = pack::BmpFilesIn(folder);
    for (const std::string& file : files)
        if (plat::SameFile(packPath, folder + "/" + file)) return RefuseOverwriting(packPath, folder + "/" + file);
    // Entries after a damaged one could never be read: nothing is appended to it.
    if (append && std::filesystem::exists(packPath, error))
        if (const std::string damage = WalkPack(packPath, false); !damage.empty())
            return Fail(damage + "; nothing appended");
    std::vector<std::uint8_t> bytes;
    int skipped = 0;
    for (const std::string& file : files) {
        const std::string name = plat::UpperCase(plat::Utf8ToCp932(file));
        if (name.empty() || name.size() > pack::kMaxEntryName) {
            Fail(file + ": name too long for a pack entry, skipped");
            ++skipped;
            continue;
        }
        std::unique_ptr<plat::Surface, SurfaceDeleter> picture(
            plat::LoadBmpFile(folder + "/" + file, plat::FormatForBits(32), true));
        if (!picture) {
            Fail(file + ": not a BMP picture this reader takes, skipped");
            ++skipped;
            continue;
        }
        pack::EncodeEntry(bytes, name, *picture);
    }
    // Replaces the pack only when written whole: a failure leaves the old one.
    plat::AtomicFile out(packPath, append ? plat::AtomicFile::Start::kExisting : plat::AtomicFile::Start::kEmpty);
    if (!out.IsOpen()) return Fail(packPath + ": cannot be written");
    if (!out.Write(bytes.data(), bytes.size()) || !out.Commit()) return Fail(packPath + ": writing failed");
    return skipped == 0 ? 0 : 1;
}

int List(const std::string& packPath) {
    const std::string damage = WalkPack(packPath, true);
    return damage.empty() ? 0 : Fail(damage);
}

int Extract(const std::string& packPath, const std::string& requested, const std::string& outPath) {
    File file;
    std::uint64_t size = 0;
    if (!OpenPack(packPath, file, size)) return Fail(packPath + ": cannot be read");
    if (plat::SameFile(outPath, packPath)) return RefuseOverwriting(outPath, packPath);
    const std::string name = plat::UpperCase(plat::Utf8ToCp932(requested));
    pack::Entry entry;
    switch (pack::Find(file.get(), size, name, entry)) {
        case pack::Lookup::kMissing:
            return Fail(packPath + ": no entry called " + requested);
        case pack::Lookup::kTruncated:
            return Fail(packPath + ": entry " + requested + " runs past the end");
        case pack::Lookup::kFound:
            break;
    }
    if (entry.width == 0 || entry.height == 0) return Fail(packPath + ": entry " + requested + " is empty");
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(entry.width) * entry.height);
    if (!pack::ReadPixels(file.get(), entry, plat::FormatForBits(32), reinterpret_cast<std::uint8_t*>(pixels.data()),
                          static_cast<std::ptrdiff_t>(entry.width) * 4))
        return Fail(packPath + ": cannot be read");
    if (!plat::WriteBmp24(outPath, pixels.data(), entry.width, entry.height))
        return Fail(outPath + ": cannot be written");
    return 0;
}

}  // namespace

// Wrong use gets one line naming the problem.
int Misused(const std::string& problem) { return Fail(problem + " (see imagepack --help)"); }

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.empty()) return Misused("no command given");
    return RunPackCommand(args, PackCommands{&Build, &List, &Extract, &Misused, "<pack> <folder>", "<pack>",
                                             "<pack> <name> <out.bmp>"});
}
