// A known starting point for engine tests: default settings, the engine's
// state as at process start, an 800 by 600 software surface behind the
// recording drawing operations, simulated timers at time 0, an empty log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "effect/effect_platform_host.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"
#include "tests/unit/recording_ops.h"

// The clock the test spiral's timers run on, and its window token.
extern HostClock g_testClock;
extern const EffectWindow kTestWindow;
// The spiral the engine tests drive; the fixture makes it afresh each test.
extern SpiralState g_testSpiral;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Window creation's part of the engine with this seed; the log is
    // cleared afterwards.
    void Create(uint32_t seed);
    // The state of a created window without the random first pick: centre,
    // angle offset and the region built from them. Draws no random numbers.
    void Place(int32_t cx, int32_t cy, float angleOffset);

    SoftSurface surface{};
    bool created = false;
};

// Dialog defaults in every row.
void UseDefaultSettings();

// A seed whose first two numbers pick the source point (x, y) of a step.
uint32_t SeedForSource(int32_t x, int32_t y);

// How many numbers the action draws from the test spiral's generator, seeded
// with seed.
int DrawsMadeBy(uint32_t seed, const std::function<void()>& action);

// The n-th number (from 0) of the generator seeded with seed.
int32_t NthRandom(uint32_t seed, int n);

// A stable hash of the surface's pixels.
uint64_t PixelHash(const SoftSurface& surface);

// A deterministic picture: colour bands and a grid, so that any copy shows.
void PaintTestPicture(SoftSurface* surface);
