/// @file
/// The frame-rate record of krDraw::DrawFps: frames counted since the last
/// measurement, when the next one is due, and the rates it found.
#pragma once
#include <cstdint>

/// The frame-rate record of krDraw::DrawFps.
struct krFrameRateRecord {
    std::int32_t frames = 0;               ///< calls since the last measurement, at most 999
    std::uint32_t nextMeasurement = 0;     ///< milliseconds of the system clock
    float rate = 0.0f;                     ///< frames per second of the last two-second window
    float maximum = 0.0f;                  ///< highest rate seen
    float minimum = 999.9f;                ///< lowest positive rate seen
    char text[64] = {};                    ///< the formatted line
};

/// The program-wide frame-rate record.
extern krFrameRateRecord krFrameRate;
