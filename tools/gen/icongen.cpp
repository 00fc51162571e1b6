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
#include <vector>

#include "tools/gen/bmp_out.h"
#include "tools/gen/icon.h"
#include "tools/operand_args.h"

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
    std::vector<std::string> operands;
    const int status = ReadOperands("icongen",
                                    "usage: icongen <outdir> [<window icon.bmp>]\n\n"
                                    "Draws the game's icon as <outdir>/<n>x<n>/apps/pokotanba.png for n = 32, 48,\n"
                                    "64, 128 and 256, the layout of an icon theme folder, and, when a second\n"
                                    "operand names it, the window's icon as a keyed BMP.\n",
                                    "output folder (and window icon)", 1, 2, argc, argv, operands);
    if (status >= 0) return status;
    const std::string& outdir = operands[0];
    namespace fs = std::filesystem;
    const RgbaImage master = gameIcon();
    for (int size : {32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const fs::path folder = fs::path(outdir) / (side + "x" + side) / "apps";
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) fail("cannot create " + folder.string());
        writePng(folder / "pokotanba.png", size == kIconMaster ? master : resized(master, size));
    }
    if (operands.size() == 2) writeBmp(operands[1], KeyedIcon(resized(master, kWindowIconSize)));
    return 0;
}
