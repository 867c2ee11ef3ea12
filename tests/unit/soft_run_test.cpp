// The run every driver holds: a spiral on a software surface with its own
// clock, nothing shared with any other run.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "effect/builtin_picture.h"
#include "effect/soft_run.h"

namespace {

struct RunPlan {
    uint32_t seed;
    int32_t width, height;
    int32_t deltaTheta;  // dialog units
};

void Begin(SoftRun* run, const RunPlan& plan) {
    SpiralSettings settings{};
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&settings, row, kSettingDefinitions[row].defaultValue);
    }
    ApplyDialogValue(&settings, ROW_DELTA_THETA, plan.deltaTheta);
    SoftSurfaceInit(&run->surface, plan.width, plan.height);
    PaintBuiltinPicture(plan.width, plan.height, &run->surface.pixels);
    ASSERT_TRUE(SoftRunStart(run, settings, plan.seed));
}

// A draw call and 100 ms of the clock, so many times: over 50 s the wander
// picks new targets and glides.
constexpr int kTurns = 500;
void Turn(SoftRun* run) {
    SoftRunDraw(run);
    SoftRunMoveClock(run, 100);
}

std::vector<uint32_t> Alone(const RunPlan& plan) {
    SoftRun run;
    Begin(&run, plan);
    for (int i = 0; i < kTurns; ++i) Turn(&run);
    SoftRunEnd(&run);
    return run.surface.pixels;
}

TEST(SoftRun, TwoRunsSideBySideDrawAsEachAlone) {
    const RunPlan plans[2] = {{7, 320, 240, 94}, {8, 200, 300, 200}};
    SoftRun runs[2];
    Begin(&runs[0], plans[0]);
    Begin(&runs[1], plans[1]);
    // Each run's draw calls and clock moves fall among the other's.
    for (int i = 0; i < kTurns; ++i) {
        SoftRunDraw(&runs[0]);
        SoftRunDraw(&runs[1]);
        SoftRunMoveClock(&runs[1], 100);
        SoftRunMoveClock(&runs[0], 100);
    }
    EXPECT_GT(runs[0].clock.newTargetsSent, 0u) << "the wander never moved";
    EXPECT_GT(runs[1].clock.newTargetsSent, 0u) << "the wander never moved";
    for (int n = 0; n < 2; ++n) {
        SoftRunEnd(&runs[n]);
        EXPECT_EQ(runs[n].surface.pixels, Alone(plans[n])) << "run " << n;
    }
    EXPECT_NE(runs[0].surface.pixels, runs[1].surface.pixels);
}

TEST(SoftRun, AShrunkSurfaceHoldsMemoryForItsNewSizeOnly) {
    SoftRun run;
    SoftSurfaceInit(&run.surface, 16, 16);
    SoftRunResize(&run, 4000, 4000);
    SoftRunResize(&run, 1, 1);
    const SoftSurface& surface = run.surface;
    const size_t bytes = surface.pixels.capacity() * sizeof(uint32_t) +
                         surface.scratch.capacity() * sizeof(uint32_t) +
                         surface.columnSources.capacity() * sizeof(int64_t);
    EXPECT_LE(bytes, 64u);
}

}  // namespace
