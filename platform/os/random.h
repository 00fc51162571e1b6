// The engine's random numbers: one generator for every system, so that a
// seed gives the same effects, and so the same frames, on Linux, Windows
// and the web. It is the additive feedback generator the GNU C library's
// rand() uses (its default state of 31 words), so frames made on Linux
// with rand() before stay as they were; each C library has its own, and
// Windows' stops at 32767.
#pragma once

namespace plat {

inline constexpr int kRandomMax = 2147483647;

// As srand: the same seed gives the same sequence; 0 counts as 1.
void SeedRandom(unsigned seed);
// As rand: the next number, 0 .. kRandomMax. The engine's thread only.
int Random();

}  // namespace plat
