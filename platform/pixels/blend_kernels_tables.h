// Alpha on 5-6-5 and 5-5-5 pixels from per-field tables, below AVX-512.
//
// blend_kernels.cpp works out, for one pair of weights and one field, a
// 16-bit value X(s) for every source value and Y(d) for every destination
// value such that the float rule's result is the top bits of X(s) + Y(d)
// (the field's width of them) on every pair. AVX-512 looks the entries up
// with word permutations; AVX2 has only byte shuffles of 16 entries, so
// here each table is split into its low and high bytes and the sum is made
// in bytes: the high bytes added, plus the carry out of the low bytes.
// Kernels take already clipped rectangles; src and dst must not overlap.
#pragma once
#include <cstdint>

#include "platform/pixels/blend_kernels.h"

namespace plat::blend::tables {

// One call's tables: red, green and blue, 32 entries of a 5-bit field and
// 64 of a 6-bit one. Every X(s) + Y(d) must stay below 2^16.
struct AlphaFieldTables {
    const std::uint16_t* bySource[3] = {};
    const std::uint16_t* byDest[3] = {};
};

// The alpha rule on 2-byte pixels with red at the top, green at bit 5 of
// `greenBits` (5 or 6) bits and blue at bit 0; a source pixel whose colour
// bits are all 0 leaves the destination's. False when the processor or the
// build has no AVX2 (nothing is written then).
bool AlphaFromTablesAvx2(const Rows& a, int greenBits, const AlphaFieldTables& t);

}  // namespace plat::blend::tables
