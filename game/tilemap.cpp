// The tile map: 100 x 75 tiles of 8 x 8 pixels read once from "map.txt" in
// the working directory (beside the program once installed), drawn once from
// the tile sheet into the map image.
// The file is untrusted: bad tokens end the reading, numbers beyond the
// 32-bit range saturate, and tiles outside the sheet draw nothing.
#include <cstdio>
#include <limits>
#include <string>

#include "draw/krDraw.h"
#include "game/game_state.h"
#include "platform/os/user_folder.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

std::int32_t tileGrid[kTileCount] = {};
std::int32_t mapLoaded = 0;

namespace {

constexpr int kSheetColumns = 3;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Reads decimal integers the way "%d" does: white space skipped, an optional
// sign, then digits. Once a read fails, every later read fails too.
class NumberReader {
public:
    explicit NumberReader(std::FILE* file) : file_(file) {}

    bool Read(std::int32_t& value) {
        if (failed_) return false;
        int c = SkipSpace();
        bool negative = false;
        if (c == '+' || c == '-') {
            negative = c == '-';
            c = std::getc(file_);
        }
        if (!IsDigit(c)) {
            failed_ = true;
            return false;
        }
        value = Accumulate(c, negative);
        return true;
    }

private:
    int SkipSpace() {
        int c = std::getc(file_);
        while (c != EOF && IsSpace(c)) c = std::getc(file_);
        return c;
    }

    // Reads the digits starting with c and leaves the first non-digit in the
    // stream; a magnitude beyond the 32-bit range saturates.
    std::int32_t Accumulate(int c, bool negative) {
        constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
        std::int64_t magnitude = 0;
        while (IsDigit(c)) {
            if (magnitude <= kLimit) magnitude = magnitude * 10 + (c - '0');
            c = std::getc(file_);
        }
        if (c != EOF) std::ungetc(c, file_);
        if (negative) return static_cast<std::int32_t>(magnitude > kLimit + 1 ? -(kLimit + 1) : -magnitude);
        return static_cast<std::int32_t>(magnitude > kLimit ? kLimit : magnitude);
    }

    std::FILE* file_;
    bool failed_ = false;
};

// Run from its build folder, the game reads map.txt from the working
// folder; installed, from beside the program, wherever the player starts it.
std::string MapPath() {
    if (!plat::ProgramIsInstalled()) return "map.txt";
    return plat::ResolvePath(std::string(krSystem::GetBaseFolder(0)) + "map.txt");
}

// Fills the grid row by row; a failed read stores the last value read (0
// before the first one).
void ReadMap() {
    std::FILE* file = std::fopen(MapPath().c_str(), "rt");
    if (file == nullptr) return;
    NumberReader reader(file);
    std::int32_t value = 0;
    for (int row = 0; row < kMapRows; ++row) {
        for (int column = 0; column < kMapColumns; ++column) {
            reader.Read(value);
            tileGrid[row * kMapColumns + column] = value;
        }
    }
    std::fclose(file);
}

void DrawTile(std::int32_t value, int x, int y) {
    // Signed quotient and remainder, in 64 bits so that no value overflows.
    const std::int64_t column = value % kSheetColumns;
    const std::int64_t row = value / kSheetColumns;
    const std::int64_t left = kTileSize * column;
    const std::int64_t top = kTileSize * row;
    DrawCell(gamePictures.tileSheet, x, y, left, top, left + kTileSize, top + kTileSize);
}

void PreRender() {
    krDraw::ClearScreen();
    for (int column = 0; column < kMapColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            DrawTile(tileGrid[row * kMapColumns + column], kTileSize * column, kTileSize * row);
        }
    }
    if (gamePictures.mapImage > 0 && krObjects[gamePictures.mapImage].surface != nullptr) {
        krDraw::CaptureScreen(gamePictures.mapImage, 0, 0, kMapColumns * kTileSize, kMapRows * kTileSize);
    }
}

}  // namespace

void TileMapStep() {
    if (mapLoaded == 1) return;
    mapLoaded = 1;
    ReadMap();
    PreRender();
}
