// icongen: draws the game's desktop icon in the sizes a desktop looks for.
//
// Usage: icongen <outdir> [<window icon.bmp>]. Writes
// <outdir>/<n>x<n>/apps/pokotanba.png for n = 32, 48, 64, 128 and 256, the
// layout of an icon theme folder, and, when named, the 64 x 64 icon as the
// BMP picture the game gives its window (transparent pixels in magenta, the
// colour of its top-left corner, which the engine takes as transparent).
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/gen/bmp_out.h"
#include "tools/gen/icon.h"

namespace {

constexpr int kWindowIconSize = 64;

// Pixels at least half opaque keep their colour; the rest become the key.
gen::Image KeyedIcon(const gen::RgbaImage& icon) {
    gen::Image out(icon.w, icon.h, gen::kMagenta);
    for (int y = 0; y < icon.h; ++y) {
        for (int x = 0; x < icon.w; ++x) {
            const gen::Rgba p = icon.at(x, y);
            if (p.a >= 128 && !(p.r == 255 && p.g == 0 && p.b == 255)) out.at(x, y) = gen::Rgb{p.r, p.g, p.b};
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace gen;
    setProgramName("icongen");
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: icongen <outdir> [<window icon.bmp>]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const RgbaImage master = gameIcon();
    for (int size : {32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const fs::path folder = fs::path(argv[1]) / (side + "x" + side) / "apps";
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) fail("cannot create " + folder.string());
        writePng(folder / "pokotanba.png", size == kIconMaster ? master : resized(master, size));
    }
    if (argc == 3) writeBmp(argv[2], KeyedIcon(resized(master, kWindowIconSize)));
    return 0;
}
