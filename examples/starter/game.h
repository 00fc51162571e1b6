// The starter's two steps, which the engine's main loop calls: start-up once,
// then one frame per tick.
#pragma once

void StarterStartup();
void StarterFrame();

// The window caption (code page 932, as every engine string).
extern const char* const kStarterTitle;
