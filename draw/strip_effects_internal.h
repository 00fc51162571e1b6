// The animation state of the strip effects, one record per animated effect,
// alive for the whole run. Exposed so that tests can start each effect from
// its start values and watch it advance.
#pragma once

namespace krDraw::internal {

struct StripEffectState {
    float wavePhase = 0;  // krDraw::WaveBlit, degrees
    int waveSign = 1;     // alternating sign of krDraw::WaveBlit
    float tileX = 0, tileY = 0;  // krDraw::TileScroll offsets
    float waveScrollPhase = 0, waveScrollRows = 0;  // krDraw::WaveScrollBlit
    float waveTilePhase = 0, waveTileRows = 0;      // krDraw::WaveTile
    float rollPhase = 0;  // krDraw::RollBlit, rows
};

StripEffectState& StripEffects();

}  // namespace krDraw::internal
