// Files and BMP pictures of the generators, and the colour-key checks.
#include "tools/gen/bmp_out.h"

#include <cstdint>
#include <vector>

#include "platform/images/bmp.h"
#include "platform/os/atomic_file.h"

namespace gen {

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    if (!plat::WriteFileAtomically(path.string(), bytes.data(), bytes.size())) fail("cannot write " + path.string());
}

void writeBmp(const std::filesystem::path& path, const Image& img) {
    std::vector<std::uint32_t> xrgb;
    xrgb.reserve(img.px.size());
    for (Rgb c : img.px) xrgb.push_back(std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
    if (!plat::WriteBmp24(path.string(), xrgb.data(), img.w, img.h)) fail("cannot write " + path.string());
}

bool sameOn555(Rgb a, Rgb b) {
    return (a.r >> 3) == (b.r >> 3) && (a.g >> 3) == (b.g >> 3) && (a.b >> 3) == (b.b >> 3);
}

void requireCornerKeySafe(const Image& img, const std::string& name) {
    const Rgb key = img.at(0, 0);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            if (!(c == key) && sameOn555(c, key))
                fail(name + ": pixel (" + std::to_string(x) + "," + std::to_string(y) +
                     ") would turn transparent");
        }
}

void requireBlackKeySafe(const Image& img, const std::string& name) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            if (!(c == kBlack) && sameOn555(c, kBlack))
                fail(name + ": pixel (" + std::to_string(x) + "," + std::to_string(y) +
                     ") would turn transparent");
        }
}

}  // namespace gen
