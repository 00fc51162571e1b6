// artgen: draws every picture of the game and its tile map, deterministically.
//
// Usage: artgen <outdir>. Writes <outdir>/BMP/<name> (24-bit uncompressed bottom-up BMP) and
// <outdir>/map.txt. Characters, the tree and the overlay are built from shaded, outlined shapes
// seen in a tilted top-down view; tiles come from small hand-made pixel patterns. No clock and no
// library random numbers are used, so two runs write the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/gen/bmp_out.h"
#include "tools/gen/field.h"
#include "tools/gen/game_art.h"
#include "tools/gen/overlay.h"
#include "tools/gen/tiles.h"

namespace {

const char* const kUsage =
    "usage: artgen <outdir>\n"
    "\n"
    "Draws every picture of the game into <outdir>/BMP/ and its tile map into\n"
    "<outdir>/map.txt; the same bytes on every run.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace gen;
    setProgramName("artgen");
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first.size() > 1 && first[0] == '-') return misused("unknown switch " + first);
    if (argc != 2) return misused(argc < 2 ? "missing the output folder" : "one output folder only");
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out / "BMP", ec);
    if (ec) fail("cannot create " + (out / "BMP").string());
    auto corner = [&](const std::string& name, const Image& img) {
        if (!(img.at(0, 0) == kMagenta)) fail(name + ": the corner pixel must hold the transparent colour");
        requireCornerKeySafe(img, name);
        writeBmp(out / "BMP" / name, img);
    };
    auto blackKeyed = [&](const std::string& name, const Image& img) {
        requireBlackKeySafe(img, name);
        writeBmp(out / "BMP" / name, img);
    };
    const Field field = buildField();
    requirePlayAreaOpen(field);
    writeFile(out / "map.txt", mapText(field));
    blackKeyed("map_data.BMP", tileSheet());
    corner("bg.BMP", overlayPicture(field));
    blackKeyed("en.BMP", rangeCircle(152, 70, {176, 238, 250}, {96, 184, 214}, 0));
    blackKeyed("en1.BMP", rangeCircle(300, 145, {252, 240, 150}, {214, 186, 80}, 40));
    corner("obj_treefall_00.BMP", treeSheet());
    corner("hokou1.BMP", playerSheet(true));
    corner("hokou.BMP", playerSheet(false));
    for (int i = 0; i < 3; ++i) {
        corner("damenzu1_0" + std::to_string(i) + ".bmp", followerSheet(i, true));
        corner("damenzu_0" + std::to_string(i) + ".bmp", followerSheet(i, false));
    }
    corner("damenzu_ef00.bmp", effectSheet());
    return 0;
}
