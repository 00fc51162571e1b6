// The image pack file format: walking entries, finding one by name,
// decoding its pixel words into a surface's format, and encoding pictures.
#include "draw/pack_format.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <system_error>

#include "platform/text/cp932.h"

namespace krDraw::pack {

namespace {

// How a 5-bit value becomes one component of a format: its lowest bit's
// place and the field's width.
struct Field {
    int shift = 0, width = 0;
    explicit Field(std::uint32_t mask) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        width = std::bit_width(mask >> shift);
    }
    // An 8-bit field repeats the value's top bits below it, so that 31 is
    // full 255 and a pack picture meets keys made of 8-bit colours; the
    // narrower fields of 15- and 16-bit displays take the value at their
    // top (on 5-6-5 green's lowest bit stays 0).
    std::uint32_t Place(std::uint32_t value) const {
        if (width == 8) return (value << 3 | value >> 2) << shift;
        return width >= 5 ? value << (shift + width - 5) : value >> (5 - width) << shift;
    }
};

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t word) {
    out.push_back(static_cast<std::uint8_t>(word));
    out.push_back(static_cast<std::uint8_t>(word >> 8));
}

bool EndsWithBmp(const std::string& name) {
    if (name.size() < 4) return false;
    return plat::UpperCase(name.substr(name.size() - 4)) == ".BMP";
}

}  // namespace

bool MeasureFile(std::FILE* file, std::uint64_t& size) {
    // A folder opens like a file here, but reading it fails.
    if (std::fgetc(file) == EOF && std::ferror(file)) return false;
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) return false;
    size = static_cast<std::uint64_t>(end);
    return true;
}

Step ReadHeader(std::FILE* file, std::uint64_t fileSize, Entry& entry) {
    const long at = std::ftell(file);
    if (at < 0) return Step::kEnd;
    entry.offset = static_cast<std::uint64_t>(at);
    std::uint8_t sizes[4];
    if (entry.offset + 4 > fileSize || std::fread(sizes, 1, 4, file) != 4) return Step::kEnd;
    entry.width = static_cast<std::uint16_t>(sizes[0] | sizes[1] << 8);
    entry.height = static_cast<std::uint16_t>(sizes[2] | sizes[3] << 8);
    entry.name.clear();
    for (;;) {
        const int c = std::fgetc(file);
        if (c == EOF) return Step::kDamaged;
        if (c == 0) break;
        if (entry.name.size() == kMaxEntryName) return Step::kDamaged;
        entry.name.push_back(static_cast<char>(c));
    }
    entry.pixelOffset = entry.offset + 4 + entry.name.size() + 1;
    return Step::kEntry;
}

bool PixelsInside(const Entry& entry, std::uint64_t fileSize) {
    return entry.pixelOffset <= fileSize && entry.PixelBytes() <= fileSize - entry.pixelOffset;
}

Lookup Find(std::FILE* file, std::uint64_t fileSize, const std::string& name, Entry& entry) {
    while (ReadHeader(file, fileSize, entry) == Step::kEntry) {
        if (entry.name == name) return PixelsInside(entry, fileSize) ? Lookup::kFound : Lookup::kTruncated;
        // An entry that claims more pixels than the file holds ends the walk.
        if (!PixelsInside(entry, fileSize)) break;
        if (std::fseek(file, static_cast<long>(entry.PixelBytes()), SEEK_CUR) != 0) break;
    }
    return Lookup::kMissing;
}

bool ReadPixels(std::FILE* file, const Entry& entry, const plat::PixelFormat& format, std::uint8_t* bits,
                std::ptrdiff_t pitch) {
    const Field red(format.redMask), green(format.greenMask), blue(format.blueMask);
    const int bytes = format.bytesPerPixel;
    std::vector<std::uint8_t> row(2u * entry.width);
    for (int y = 0; y < entry.height; ++y) {
        if (std::fread(row.data(), 1, row.size(), file) != row.size()) return false;
        std::uint8_t* out = bits + y * pitch;
        for (int x = 0; x < entry.width; ++x, out += bytes) {
            const std::uint32_t word = row[2 * x] | row[2 * x + 1] << 8;
            const std::uint32_t pixel =
                red.Place((word >> 10) & 31) | green.Place((word >> 5) & 31) | blue.Place(word & 31);
            for (int k = 0; k < bytes; ++k) out[k] = static_cast<std::uint8_t>(pixel >> (8 * k));
        }
    }
    return true;
}

std::uint16_t EncodeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (red == 0 && green == 0 && blue == 0) return 0;
    const int r = red >> 3, g = green >> 3;
    int b = blue >> 3;
    if (r == 0 && g == 0 && b == 0) b = 1;  // 0x0000 stays pure black only
    return static_cast<std::uint16_t>(r << 10 | g << 5 | b);
}

void EncodeEntry(std::vector<std::uint8_t>& out, const std::string& name, const plat::Surface& picture) {
    out.reserve(out.size() + 5 + name.size() + 2u * picture.width * picture.height);
    PutWord(out, static_cast<std::uint16_t>(picture.width));
    PutWord(out, static_cast<std::uint16_t>(picture.height));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            std::uint8_t r = 0, g = 0, b = 0;
            plat::UnmapRGB(picture.format, plat::GetPixel(picture, x, y), r, g, b);
            PutWord(out, EncodeColor(r, g, b));
        }
}

std::string BaseName(const std::string& name) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (plat::IsLeadByte(c)) {
            ++i;
        } else if (c == '\\' || c == '/') {
            start = i + 1;
        }
    }
    return name.substr(std::min(start, name.size()));
}

std::vector<std::string> BmpFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        const std::string name = it->path().filename().string();
        if (EndsWithBmp(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = plat::UpperCase(a), ub = plat::UpperCase(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

}  // namespace krDraw::pack
