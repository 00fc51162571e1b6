// libFuzzer harness of the image pack reader: any bytes are walked entry by
// entry, searched for a name taken from the input, and a found entry is
// decoded into a surface of one of the four display formats. Nothing may be
// read outside the bytes, and no allocation may follow a size the file
// cannot back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "draw/pack_format.h"
#include "platform/pixels/surface.h"

namespace {

namespace pack = krDraw::pack;

void Walk(std::FILE* file, std::uint64_t size) {
    pack::Entry entry;
    while (pack::ReadHeader(file, size, entry) == pack::Step::kEntry) {
        if (entry.name.size() > pack::kMaxEntryName || entry.pixelOffset > size) std::abort();
        if (!pack::PixelsInside(entry, size)) break;
        if (std::fseek(file, static_cast<long>(entry.PixelBytes()), SEEK_CUR) != 0) break;
    }
}

void FindAndDecode(std::FILE* file, std::uint64_t size, const std::string& name, int bits) {
    pack::Entry entry;
    if (pack::Find(file, size, name, entry) != pack::Lookup::kFound) return;
    if (entry.PixelBytes() > size) std::abort();  // found entries are backed by the file
    plat::Surface* s = plat::CreateSurface(entry.width, entry.height, plat::FormatForBits(bits));
    if (!s) return;
    pack::ReadPixels(file, entry, s->format, s->pixels, s->pitch);
    plat::DestroySurface(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int kDepths[4] = {15, 16, 24, 32};
    if (size == 0) return 0;
    // fmemopen needs a writable buffer of at least one byte.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file) return 0;
    std::uint64_t measured = 0;
    if (pack::MeasureFile(file, measured) && measured == size) {
        Walk(file, measured);
        // The name of the second entry, if the input starts like one.
        std::rewind(file);
        pack::Entry first;
        std::string name;
        if (pack::ReadHeader(file, measured, first) == pack::Step::kEntry && pack::PixelsInside(first, measured) &&
            std::fseek(file, static_cast<long>(first.PixelBytes()), SEEK_CUR) == 0) {
            pack::Entry second;
            if (pack::ReadHeader(file, measured, second) == pack::Step::kEntry) name = second.name;
        }
        std::rewind(file);
        FindAndDecode(file, measured, name.empty() ? first.name : name, kDepths[size % 4]);
    }
    std::fclose(file);
    return 0;
}
