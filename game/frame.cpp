// The game's start-up step (screen, pictures, frame rate, scene) and its
// frame: fixed time step, map and overlay, then the tile map, tree, player
// and follower steps, then the present. Depends on krDraw and krSystem.
#include "draw/krDraw.h"
#include "game/game_state.h"
#include "system/krSystem.h"

std::int32_t gameVariant = 1;
GamePictures gamePictures;

namespace {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr int kLoadMode = 2;

void LoadCharacterSheets() {
    GamePictures& p = gamePictures;
    if (gameVariant == 1) {
        p.playerSheet = krDraw::LoadObject("BMP\\hokou1.BMP", kLoadMode);
        p.followerSheets[0] = krDraw::LoadObject("BMP\\damenzu1_00.bmp", kLoadMode);
        p.followerSheets[1] = krDraw::LoadObject("BMP\\damenzu1_01.bmp", kLoadMode);
        p.followerSheets[2] = krDraw::LoadObject("BMP\\damenzu1_02.bmp", kLoadMode);
    } else {
        p.playerSheet = krDraw::LoadObject("BMP\\hokou.BMP", kLoadMode);
        p.followerSheets[0] = krDraw::LoadObject("BMP\\damenzu_00.bmp", kLoadMode);
        p.followerSheets[1] = krDraw::LoadObject("BMP\\damenzu_01.bmp", kLoadMode);
        p.followerSheets[2] = krDraw::LoadObject("BMP\\damenzu_02.bmp", kLoadMode);
    }
}

}  // namespace

void DrawCell(std::int32_t handle, int x, int y, std::int64_t left, std::int64_t top, std::int64_t right,
              std::int64_t bottom) {
    // Handle 0 is the engine's internal buffer sprite, never one of ours.
    if (handle <= 0 || handle >= krObjectCount) return;
    const krObjectRecord& object = krObjects[handle];
    if (object.surface == nullptr) return;
    if (left < 0 || top < 0 || right > object.width || bottom > object.height) return;
    krDraw::Blit(x, y, handle, static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                 static_cast<int>(bottom));
}

bool TimerElapsed(float& timer, double period) {
    timer += krSystemState.frameTime;
    if (!TimerPast(timer, period)) return false;
    timer = 0.0f;
    return true;
}

void GameStartup() {
    GamePictures& p = gamePictures;
    krDraw::Screen(kScreenWidth, kScreenHeight, 1);
    p.mapImage = krDraw::CreateObject(kScreenWidth, kScreenHeight, kLoadMode);
    // These three take the load key colour (black).
    p.tileSheet = krDraw::LoadObject("BMP\\map_data.BMP", kLoadMode);
    p.smallCircle = krDraw::LoadObject("BMP\\en.BMP", kLoadMode);
    p.largeCircle = krDraw::LoadObject("BMP\\en1.BMP", kLoadMode);
    // Every later picture is keyed by its own top-left pixel.
    krDraw::SetCornerColorKey();
    p.overlay = krDraw::LoadObject("BMP\\bg.BMP", kLoadMode);
    p.treeSheet = krDraw::LoadObject("BMP\\obj_treefall_00.BMP", kLoadMode);
    LoadCharacterSheets();
    p.flightEffect = krDraw::LoadObject("BMP\\damenzu_ef00.bmp", kLoadMode);
    krSystem::SetFrameRate(75);
    krSystemState.scene = 1;
    krSystemState.previousScene = 0;
}

void GameFrame() {
    krSystemState.frameTime = kGameStep;
    krDraw::ClearScreen();
    DrawCell(gamePictures.mapImage, 0, 0, 0, 0, kScreenWidth, kScreenHeight);
    DrawCell(gamePictures.overlay, 0, 0, 0, 0, kScreenWidth, kScreenHeight);
    TileMapStep();
    TreeStep();
    PlayerStep();
    FollowerStep();
    krDraw::Present();
}
