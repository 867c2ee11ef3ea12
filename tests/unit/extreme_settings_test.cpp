// Settings from the file can hold any 32-bit value. Whatever they hold, the
// step, the colour walk, the region and the wander stay defined (the unit
// tests run under the address and undefined-behaviour sanitizers), end, and
// hand the drawing operations coordinates within the engine's limits.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "tests/unit/engine_fixture.h"

namespace {

struct Extreme {
    const char* name;
    int row;
    int32_t value;
};

const Extreme kExtremes[] = {
    {"negative Resolution", ROW_RESOLUTION, -10},
    {"most negative Resolution", ROW_RESOLUTION, INT32_MIN},
    {"huge Resolution", ROW_RESOLUTION, INT32_MAX},
    {"negative Randomness", ROW_RANDOMNESS, -3},
    {"Randomness whose double overflows", ROW_RANDOMNESS, INT32_MAX},
    {"most negative Randomness", ROW_RANDOMNESS, INT32_MIN},
    {"huge Gradient", ROW_GRADIENT, INT32_MAX},
    {"most negative Gradient", ROW_GRADIENT, INT32_MIN},
    {"right-angle turn", ROW_DELTA_THETA, 1800},
    {"huge turn", ROW_DELTA_THETA, INT32_MAX},
    {"negative turn", ROW_DELTA_THETA, INT32_MIN},
    {"ColChangePer 0", ROW_COL_CHANGE_PER, 0},
    {"negative ColChangePer", ROW_COL_CHANGE_PER, -1},
    {"huge MaxBkColour", ROW_MAX_BK_COLOUR, INT32_MAX},
    {"negative MaxBkColour", ROW_MAX_BK_COLOUR, -5},
};

constexpr int64_t kBlockLimit = int64_t{1} << 24;
constexpr int64_t kRegionLimit = 32767;

class ExtremeSettings : public EngineTest, public ::testing::WithParamInterface<Extreme> {};

TEST_P(ExtremeSettings, DrawingAndWanderingStayDefinedAndBounded) {
    ApplyDialogValue(&g_testSpiral.settings, GetParam().row, GetParam().value);
    if (GetParam().row != ROW_COL_CHANGE_PER) ApplyDialogValue(&g_testSpiral.settings, ROW_COL_CHANGE_PER, 1);
    PaintTestPicture(&surface);
    Create(99);
    const int regionsAlive = SoftRegionsAlive();
    for (int call = 0; call < 4; ++call) {
        DrawSpiral(&g_testSpiral);
        HostClockAdvance(&g_testClock, 20000);  // a countdown and a glide on the way
    }
    EXPECT_EQ(SoftRegionsAlive(), regionsAlive);
    EXPECT_GE(g_testSpiral.centre.x, 325);
    EXPECT_LE(g_testSpiral.centre.x, 474);

    int64_t steps = 0;
    for (const RecordedCall& call : Recorded()) {
        switch (call.op) {
            case Op::CopyBlock:
            case Op::BlackOut:
                ++steps;
                for (int64_t value : call.args) ASSERT_LE(std::llabs(value), kBlockLimit) << Describe(call);
                break;
            case Op::CreateTriangle:
            case Op::CreateRect:
                for (int64_t value : call.args) {
                    ASSERT_LE(std::llabs(value), kRegionLimit + 800) << Describe(call);
                }
                break;
            default:
                break;
        }
    }
    EXPECT_EQ(steps, 4000);
}

INSTANTIATE_TEST_SUITE_P(Each, ExtremeSettings, ::testing::ValuesIn(kExtremes),
                         [](const ::testing::TestParamInfo<Extreme>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });

class ExtremeBlocks : public EngineTest {};

TEST_F(ExtremeBlocks, NegativeResolutionPassesNegativeExtentsForTheSurfaceToTreatAsGdiDoes) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_RESOLUTION, -6);
    Place(400, 300, 0.0f);
    g_testSpiral.clearing = 0;
    g_testSpiral.random.seed(SeedForSource(407, 280));
    SpiralStep(&g_testSpiral, g_testSpiral.dc);
    EXPECT_EQ(Describe(RecordedOf(Op::CopyBlock).at(0)), "CopyBlock(403, 288, -6, -6, 407, 280)");
}

TEST_F(ExtremeBlocks, HugeJitterAndPullAreClampedNotWrapped) {
    g_testSpiral.settings.Randomness = INT32_MAX;
    g_testSpiral.settings.Gradient = INT32_MIN;
    Place(400, 300, 0.0f);
    g_testSpiral.clearing = 0;
    g_testSpiral.random.seed(3);
    for (int i = 0; i < 200; ++i) SpiralStep(&g_testSpiral, g_testSpiral.dc);
    int clampedHigh = 0, clampedLow = 0;
    for (const RecordedCall& copy : RecordedOf(Op::CopyBlock)) {
        for (int axis = 0; axis < 2; ++axis) {
            clampedHigh += copy.args[axis] == kBlockLimit;
            clampedLow += copy.args[axis] == -kBlockLimit;
        }
    }
    // A pull of -2^31 flings every block about 2^31 units away; the
    // destination saturates at the limit on one side or the other.
    EXPECT_GT(clampedHigh + clampedLow, 200);
}

}  // namespace
