// Random numbers.
//
// A standard-library minimal-standard generator, so that a seed gives the
// same sequence on Windows and on Linux. It yields non-negative 31-bit values.
//
// The process has one generator, seeded once with the time. Each spiral draws
// from a generator of its own, only ever under its DrawLock (the worker and
// the UI thread alike), so the steps pay for no second lock; the first spiral
// of a process starts as a copy of the process's generator and so draws the
// very numbers it would have, and each further spiral is seeded from it.
#pragma once

#include <climits>
#include <cstdint>
#include <random>

using RandomGenerator = std::minstd_rand;

// The process's generator. Its procedures below serialise every access, so
// any thread may use them.
void SeedRandom(uint32_t seed);
// The next value, 1 .. 2147483646.
int32_t RandomNext();
// A random value modulo bound. A bound of 0 yields 0 and draws nothing; the
// result has the sign of the drawn value (non-negative) for any other bound.
int64_t RandomMod(int64_t bound);

// A generator for a new spiral: a copy of the process's generator the first
// time, then one seeded from it.
RandomGenerator SpawnRandom();

// As RandomMod, from a generator that the caller alone uses (no lock). Here,
// where every step can inline it: the steps draw millions of these.
inline int64_t RandomMod(RandomGenerator* generator, int64_t bound) {
    if (bound == 0) return 0;
    const int32_t value = static_cast<int32_t>((*generator)());
    // The same remainder in 32 bits where the bound allows: a 64-bit division
    // is a library call on 32-bit x86.
    if (bound > 0 && bound <= INT32_MAX) return value % static_cast<int32_t>(bound);
    return value % bound;
}
