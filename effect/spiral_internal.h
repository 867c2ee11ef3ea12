// Constants and helpers shared by the engine's own sources.
#pragma once

#include <cstdint>

#include "base/saturate.h"

// The angle constants are these ten-digit values, not full-precision
// multiples of pi: the spiral's figures depend on them.
constexpr double kPi = 3.141592654;
constexpr double kHalfPi = 1.570796327;
constexpr double kThreeHalvesPi = 4.712388981;

// 0.2 degree with the ten-digit pi: the glide's angle step per tick.
constexpr double GLIDE_ANGLE_STEP = 0.0034906585044444443;

// Block copies and black-outs never reach beyond these many logical units in
// any direction. Windows' GDI rejects coordinates beyond 27 bits, and an
// extreme setting (a Gradient or Randomness near the 32-bit limits) would
// otherwise overflow the platform's own sums. Within the dialog's ranges no
// coordinate comes near the limit.
constexpr int64_t kBlockCoordinateLimit = int64_t{1} << 24;

// Feed-region triangles are kept within this many logical units (a range
// even a 16-bit GDI takes). The platform scan-converts a polygon region row
// by row, so a triangle tens of millions of units tall would stall each glide
// tick; clamped, a leg still runs forty times past the far side of the
// logical space.
constexpr int64_t kRegionCoordinateLimit = 32767;

// The brush colour of the three channels (1/128 intensity units): each
// channel shifted down to an intensity and kept to its low eight bits.
inline uint32_t ColourRefOf(const int32_t colour[3]) {
    uint32_t red = static_cast<uint32_t>(colour[0] >> 7) & 0xFFu;
    uint32_t green = static_cast<uint32_t>(colour[1] >> 7) & 0xFFu;
    uint32_t blue = static_cast<uint32_t>(colour[2] >> 7) & 0xFFu;
    return red | (green << 8) | (blue << 16);
}
