// PNG files: signature, IHDR, one IDAT, IEND; each chunk with its CRC.
#include "tools/gen/png_out.h"

#include <zlib.h>

#include "tools/gen/bmp_out.h"

namespace gen {
namespace {

void putBigEndian(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

// Length, type, data and the CRC of type and data.
void putChunk(std::string& out, const char (&type)[5], const std::string& data) {
    putBigEndian(out, uint32_t(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    putBigEndian(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

// Each row behind a filter byte of 0 (none).
std::string rawRows(const RgbaImage& img) {
    std::string raw;
    raw.reserve(size_t(img.h) * (size_t(img.w) * 4 + 1));
    for (int y = 0; y < img.h; ++y) {
        raw += '\0';
        for (int x = 0; x < img.w; ++x) {
            const Rgba c = img.at(x, y);
            raw += char(c.r);
            raw += char(c.g);
            raw += char(c.b);
            raw += char(c.a);
        }
    }
    return raw;
}

}  // namespace

std::string pngBytes(const RgbaImage& img) {
    if (img.w <= 0 || img.h <= 0 || img.px.size() != size_t(img.w) * size_t(img.h)) fail("an empty PNG picture");
    std::string header;
    putBigEndian(header, uint32_t(img.w));
    putBigEndian(header, uint32_t(img.h));
    header += char(8);  // bits per component
    header += char(6);  // colour type: RGB with alpha
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    const std::string raw = rawRows(img);
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        fail("cannot deflate a PNG picture");
    packed.resize(packedSize);

    std::string out = "\x89PNG\r\n\x1a\n";
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", "");
    return out;
}

void writePng(const std::filesystem::path& path, const RgbaImage& img) { writeFile(path, pngBytes(img)); }

}  // namespace gen
