// The game: its start-up step and frame, over program-wide state.
#pragma once
#include <cstdint>

// Selects the character pictures and the player's drawing aids; 1 as built.
extern std::int32_t gameVariant;

void GameStartup();
void GameFrame();
