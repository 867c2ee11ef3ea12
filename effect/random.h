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

// The process's generator itself, for a spiral that draws from it directly
// (a single spiral whose caller owns every thread that draws).
RandomGenerator& ProcessRandom();

// A generator for a new spiral: a copy of the process's generator the first
// time, then one seeded from it.
RandomGenerator SpawnRandom();

// As RandomMod, from a generator that the caller alone uses (no lock).
int64_t RandomMod(RandomGenerator* generator, int64_t bound);
