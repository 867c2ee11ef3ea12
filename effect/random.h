// The process's one random generator.
//
// A standard-library minimal-standard generator, so that a seed gives the
// same sequence on Windows and on Linux. It yields non-negative 31-bit values.
// The draw worker and the UI thread both draw from it; every access is
// serialised, so the two never race.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);

// The next value, 1 .. 2147483646.
int32_t RandomNext();

// A random value modulo bound. A bound of 0 yields 0 and draws nothing; the
// result has the sign of the drawn value (non-negative) for any other bound.
int64_t RandomMod(int64_t bound);
