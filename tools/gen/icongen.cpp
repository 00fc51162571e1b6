// icongen: draws the game's desktop icon in the sizes a desktop looks for.
//
// Usage: icongen <outdir>. Writes <outdir>/<n>x<n>/apps/pokotanba.png for n =
// 32, 48, 64, 128 and 256, the layout of an icon theme folder.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/gen/icon.h"

int main(int argc, char** argv) {
    using namespace gen;
    setProgramName("icongen");
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen <outdir>\n");
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
    return 0;
}
