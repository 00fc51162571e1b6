// BMP decoding: header parsing and validation, the palette, and one row
// decoder per pixel layout (palette indices, bit fields, run-length codes).
// Every read is bounds-checked against the bytes given; every size and
// offset in the headers is checked before it is used. Also the 24-bit
// writer that screenshots and frame dumps share.
#include "platform/images/bmp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/atomic_file.h"

namespace plat {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
constexpr std::size_t kFileHeaderBytes = 14;
// Larger files cannot hold a picture of at most 16384 x 16384 x 32 bits.
constexpr std::uint64_t kMaxFileBytes = 16384ull * 16384ull * 4ull + 65536ull;
// Run-length pictures up to this many pixels need no more codes than they have.
constexpr std::uint64_t kFreeRunLengthPixels = 1ull << 22;
constexpr std::uint64_t kRunLengthPixelsPerByte = 128;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One colour component inside a source pixel, widened to 8 bits by
// repeating its bits (so a full 5-bit value becomes 255, not 248).
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    static bool Make(std::uint32_t mask, int pixelBits, Field& out) {
        out = Field{};
        if (mask == 0) return true;
        if (pixelBits < 32 && (mask >> pixelBits) != 0) return false;
        const int shift = std::countr_zero(mask);
        const std::uint32_t bits = mask >> shift;
        if ((bits & (bits + 1)) != 0) return false;  // not one run of ones
        out = Field{mask, shift, std::popcount(bits)};
        return true;
    }

    std::uint8_t Expand(std::uint32_t pixel) const {
        if (width == 0) return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (width >= 8) return static_cast<std::uint8_t>(v >> (width - 8));
        std::uint32_t r = 0;
        int filled = 0;
        while (filled < 8) {
            r = (r << width) | v;
            filled += width;
        }
        return static_cast<std::uint8_t>(r >> (filled - 8));
    }
};

struct Header {
    std::int64_t width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t imageBytes = 0;      // compressed size; 0 = to the end of the file
    std::size_t pixelOffset = 0;
    std::size_t paletteOffset = 0;
    std::size_t paletteEntryBytes = 4;
    std::size_t paletteCount = 0;
    Field red, green, blue;
};

// Reads the fixed headers and checks every size and offset they give.
bool ParseHeader(const std::uint8_t* d, std::size_t size, Header& h) {
    if (size < kFileHeaderBytes + 4 || d[0] != 'B' || d[1] != 'M') return false;
    const std::uint32_t fileBytes = U32(d + 2);
    if (fileBytes > size) return false;  // the file was cut short
    h.pixelOffset = U32(d + 10);
    const std::uint32_t infoBytes = U32(d + 14);
    if (infoBytes > size - kFileHeaderBytes) return false;
    const std::uint8_t* info = d + kFileHeaderBytes;
    std::uint32_t colorsUsed = 0;
    std::size_t afterHeader = kFileHeaderBytes + infoBytes;
    int planes = 0;

    if (infoBytes == 12) {
        h.width = U16(info + 4);
        h.height = U16(info + 6);
        planes = U16(info + 8);
        h.bits = U16(info + 10);
        h.paletteEntryBytes = 3;
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24) return false;
    } else if (infoBytes == 40 || infoBytes == 52 || infoBytes == 56 || infoBytes == 108 || infoBytes == 124) {
        h.width = static_cast<std::int32_t>(U32(info + 4));
        const std::int32_t height = static_cast<std::int32_t>(U32(info + 8));
        h.topDown = height < 0;
        h.height = h.topDown ? -static_cast<std::int64_t>(height) : height;
        planes = U16(info + 12);
        h.bits = U16(info + 14);
        h.compression = U32(info + 16);
        h.imageBytes = U32(info + 20);
        colorsUsed = U32(info + 32);
    } else {
        return false;
    }
    if (planes != 1) return false;
    if (h.width < 1 || h.height < 1 || h.width > kMaxSurfaceSide || h.height > kMaxSurfaceSide) return false;

    // Layout and compression must agree.
    switch (h.compression) {
        case kRgb:
            if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) return false;
            break;
        case kRle8:
            if (h.bits != 8 || h.topDown) return false;
            break;
        case kRle4:
            if (h.bits != 4 || h.topDown) return false;
            break;
        case kBitFields:
            if (h.bits != 16 && h.bits != 32) return false;
            break;
        default:
            return false;
    }

    // Colour masks.
    std::uint32_t masks[3];
    if (h.compression == kBitFields) {
        const std::uint8_t* m = info + 40;
        if (infoBytes == 40) {  // the masks follow the header
            if (afterHeader + 12 > size) return false;
            m = d + afterHeader;
            afterHeader += 12;
        }
        for (int i = 0; i < 3; ++i) masks[i] = U32(m + 4 * i);
    } else if (h.bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    if (h.bits >= 16) {
        if (!Field::Make(masks[0], h.bits, h.red) || !Field::Make(masks[1], h.bits, h.green) ||
            !Field::Make(masks[2], h.bits, h.blue))
            return false;
    }

    // Palette: between the headers and the pixels.
    h.paletteOffset = afterHeader;
    if (h.pixelOffset < afterHeader || h.pixelOffset > size) return false;
    if (h.bits <= 8) {
        const std::size_t full = std::size_t{1} << h.bits;
        if (infoBytes == 12) {
            // Core files carry as many entries as fit before the pixels.
            h.paletteCount = std::min(full, (h.pixelOffset - afterHeader) / h.paletteEntryBytes);
        } else {
            if (colorsUsed > full) return false;
            h.paletteCount = colorsUsed ? colorsUsed : full;
        }
        if (h.paletteCount == 0) return false;
        if (afterHeader + h.paletteCount * h.paletteEntryBytes > h.pixelOffset) return false;
    }

    // Pixel data inside the file.
    const std::uint64_t available = size - h.pixelOffset;
    if (h.compression == kRle8 || h.compression == kRle4) {
        if (h.imageBytes > available) return false;
        // A few bytes of codes could otherwise ask for a picture of a
        // gigabyte: beyond a modest size, a picture must carry at least one
        // code byte for every 128 pixels (a two-byte run covers 255).
        const std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height);
        const std::uint64_t codeBytes = h.imageBytes ? h.imageBytes : available;
        if (pixels > kFreeRunLengthPixels && pixels > codeBytes * kRunLengthPixelsPerByte) return false;
    } else {
        const std::uint64_t stride = ((static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32) * 4;
        if (stride * static_cast<std::uint64_t>(h.height) > available) return false;
    }
    return true;
}

// Writes a row of surface pixel values.
void StoreRow(Surface& s, int y, const std::uint32_t* values) {
    std::uint8_t* out = s.Row(y);
    const std::size_t bpp = static_cast<std::size_t>(s.format.bytesPerPixel);
    for (int x = 0; x < s.width; ++x, out += bpp) std::memcpy(out, &values[x], bpp);
}

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size, const Header& h, Surface& s)
        : d_(data), size_(size), h_(h), s_(s), row_(static_cast<std::size_t>(h.width)) {}

    bool Run() {
        if (h_.bits <= 8) BuildPalette();
        switch (h_.compression) {
            case kRle8: return DecodeRle(false);
            case kRle4: return DecodeRle(true);
            default: break;
        }
        if (h_.bits == 16) BuildWordTable();
        const std::size_t stride = ((static_cast<std::size_t>(h_.width) * h_.bits + 31) / 32) * 4;
        for (std::int64_t i = 0; i < h_.height; ++i) {
            const std::uint8_t* src = d_ + h_.pixelOffset + static_cast<std::size_t>(i) * stride;
            if (!DecodeRow(src)) return false;
            StoreRow(s_, SurfaceRow(i), row_.data());
        }
        return true;
    }

private:
    std::uint32_t Pack(std::uint8_t r, std::uint8_t g, std::uint8_t b) const { return MapRGB(s_.format, r, g, b); }

    int SurfaceRow(std::int64_t fileRow) const {
        return static_cast<int>(h_.topDown ? fileRow : h_.height - 1 - fileRow);
    }

    void BuildPalette() {
        const std::uint8_t* p = d_ + h_.paletteOffset;
        for (std::size_t i = 0; i < h_.paletteCount; ++i, p += h_.paletteEntryBytes) {
            palette_[i] = Pack(p[2], p[1], p[0]);  // stored blue, green, red
        }
    }

    void BuildWordTable() {
        words_.resize(65536);
        for (std::uint32_t v = 0; v < 65536; ++v) {
            words_[v] = Pack(h_.red.Expand(v), h_.green.Expand(v), h_.blue.Expand(v));
        }
    }

    bool Index(std::uint32_t index, std::uint32_t& out) const {
        if (index >= h_.paletteCount) return false;
        out = palette_[index];
        return true;
    }

    bool DecodeRow(const std::uint8_t* src) {
        const int w = static_cast<int>(h_.width);
        switch (h_.bits) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / h_.bits;
                const std::uint32_t mask = (1u << h_.bits) - 1u;
                for (int x = 0; x < w; ++x) {
                    const int shift = 8 - h_.bits * (x % perByte + 1);
                    if (!Index((src[x / perByte] >> shift) & mask, row_[x])) return false;
                }
                return true;
            }
            case 16:
                for (int x = 0; x < w; ++x) row_[x] = words_[U16(src + 2 * x)];
                return true;
            case 24:
                for (int x = 0; x < w; ++x) row_[x] = Pack(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                return true;
            default:
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t v = U32(src + 4 * x);
                    row_[x] = Pack(h_.red.Expand(v), h_.green.Expand(v), h_.blue.Expand(v));
                }
                return true;
        }
    }

    // Run-length codes, from the bottom row up. Pixels the codes skip keep
    // palette entry 0. Runs, literals and moves past the end of a row are
    // cut there (encoders pad rows so); a code that reaches past the last
    // row ends the picture. Codes cut off by the end of the data, or an
    // index outside the palette, refuse the file.
    bool DecodeRle(bool fourBit) {
        if (palette_[0] != 0) FillRect(&s_, nullptr, palette_[0]);
        const std::size_t end = h_.imageBytes ? h_.pixelOffset + h_.imageBytes : size_;
        std::size_t pos = h_.pixelOffset;
        std::int64_t x = 0, y = 0;
        const std::int64_t w = h_.width, ht = h_.height;
        auto put = [&](std::uint32_t index) {
            std::uint32_t value;
            if (!Index(index, value)) return false;
            if (x < w) PutPixel(s_, static_cast<int>(x), static_cast<int>(ht - 1 - y), value);
            ++x;
            return true;
        };
        while (true) {
            if (end - pos < 2) return false;
            const std::uint32_t count = d_[pos], code = d_[pos + 1];
            pos += 2;
            if (count > 0) {  // a run of one index (4-bit: two alternating)
                if (y >= ht) return true;
                std::uint32_t even = 0, odd = 0;
                if (!Index(fourBit ? code >> 4 : code, even)) return false;
                if (count > 1 && !Index(fourBit ? code & 15 : code, odd)) return false;
                // Only the part inside the row is drawn; the rest costs nothing.
                const std::int64_t shown = std::clamp<std::int64_t>(w - x, 0, count);
                for (std::int64_t i = 0; i < shown; ++i) {
                    PutPixel(s_, static_cast<int>(x + i), static_cast<int>(ht - 1 - y), (i & 1) ? odd : even);
                }
                x += count;
                continue;
            }
            if (code == 0) {  // end of line
                x = 0;
                ++y;
            } else if (code == 1) {  // end of picture
                return true;
            } else if (code == 2) {  // move right and up
                if (end - pos < 2) return false;
                x += d_[pos];
                y += d_[pos + 1];
                pos += 2;
                if (y > ht) return true;
            } else {  // literal pixels, padded to a 16-bit boundary
                const std::size_t bytes = fourBit ? (code + 1) / 2 : code;
                const std::size_t padded = (bytes + 1) & ~std::size_t{1};
                if (end - pos < padded) return false;
                if (y >= ht) return true;
                for (std::uint32_t i = 0; i < code; ++i) {
                    const std::uint8_t b = d_[pos + (fourBit ? i / 2 : i)];
                    const std::uint32_t index = fourBit ? ((i & 1) ? (b & 15) : (b >> 4)) : b;
                    if (!put(index)) return false;
                }
                pos += padded;
            }
        }
    }

    const std::uint8_t* d_;
    std::size_t size_;
    const Header& h_;
    Surface& s_;
    std::vector<std::uint32_t> row_;
    std::array<std::uint32_t, 256> palette_{};
    std::vector<std::uint32_t> words_;
};

}  // namespace

Surface* DecodeBmp(const std::uint8_t* data, std::size_t size, const PixelFormat& fmt, bool systemMemory) {
    if (!data) return nullptr;
    Header h;
    if (!ParseHeader(data, size, h)) return nullptr;
    Surface* s = CreateSurface(static_cast<int>(h.width), static_cast<int>(h.height), fmt, systemMemory);
    if (!s) return nullptr;
    Decoder decoder(data, size, h, *s);
    if (!decoder.Run()) {
        DestroySurface(s);
        return nullptr;
    }
    return s;
}

Surface* LoadBmpFile(const std::string& path, const PixelFormat& fmt, bool systemMemory) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return nullptr;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return nullptr;
    const long length = std::ftell(f.get());
    if (length < 0 || static_cast<std::uint64_t>(length) > kMaxFileBytes) return nullptr;
    if (std::fseek(f.get(), 0, SEEK_SET) != 0) return nullptr;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return nullptr;
    return DecodeBmp(bytes.data(), bytes.size(), fmt, systemMemory);
}

// ---- writer ----

namespace {

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

}  // namespace

// 72 dots per inch, as picture editors write by default.
constexpr std::uint32_t kPixelsPerMetre = 2835;

bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0) return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> file(54 + imageBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<std::uint32_t>(file.size()));
    Put32(file, 10, 54);
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<std::uint32_t>(width));
    Put32(file, 22, static_cast<std::uint32_t>(height));
    Put16(file, 26, 1);
    Put16(file, 28, 24);
    Put32(file, 34, static_cast<std::uint32_t>(imageBytes));
    Put32(file, 38, kPixelsPerMetre);
    Put32(file, 42, kPixelsPerMetre);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = file.data() + 54 + rowBytes * static_cast<std::size_t>(height - 1 - y);
        const std::uint32_t* src = pixels + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(src[x]);
            row[3 * x + 1] = static_cast<std::uint8_t>(src[x] >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(src[x] >> 16);
        }
    }
    return WriteFileAtomically(path, file.data(), file.size());
}

}  // namespace plat
