// The wander of the centre and turning sense, on simulated timers: picks,
// glides, countdowns, and the window's part of the engine around them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "effect/control_messages.h"
#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "tests/unit/engine_fixture.h"

namespace {

constexpr double kDegree = 3.141592654 / 180.0;

class WanderTest : public EngineTest {
protected:
    // Glide ticks until arrival, the arriving tick included.
    int GlideTicks() {
        for (int ticks = 1; ticks < 100000; ++ticks) {
            if (GlideTick(&g_testSpiral) == 0) return ticks;
        }
        return -1;
    }
};

TEST_F(WanderTest, APickDrawsBandPositionBaseOffsetAndToggleInThatOrder) {
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        g_testSpiral.direction = 1;
        SpiralPoint point{};
        float offset = 99.0f;
        g_testSpiral.random.seed(seed);
        PickTarget(&g_testSpiral, &point, &offset);
        EXPECT_EQ(point.x, 325 + NthRandom(seed, 0) % 150);
        EXPECT_EQ(point.y, 300);
        const int tenths = static_cast<int>(NthRandom(seed, 1) % 10) - 5;
        const bool toggled = NthRandom(seed, 2) % 5 == 0;
        EXPECT_EQ(g_testSpiral.direction, toggled ? 0 : 1);
        const double base = tenths * 0.1 * kDegree;
        const double expected = toggled ? base - 2.0 * g_testSpiral.settings.DeltaTheta : base;
        EXPECT_NEAR(offset, expected, 1e-7) << "seed " << seed;
        EXPECT_EQ(DrawsMadeBy(seed, [] {
                      SpiralPoint p;
                      float o;
                      PickTarget(&g_testSpiral, &p, &o);
                  }),
                  3);
    }
}

TEST_F(WanderTest, TurnAnglesOfForwardAndReversedPicks) {
    // Base +0.4 degree forward at the default 4.7 degrees: 5.1 degrees a step.
    // Base -0.5 degree reversed: -5.2 degrees.
    bool sawForward = false, sawReversed = false;
    for (uint32_t seed = 1; seed <= 400 && !(sawForward && sawReversed); ++seed) {
        g_testSpiral.direction = 1;
        SpiralPoint point;
        float offset;
        g_testSpiral.random.seed(seed);
        PickTarget(&g_testSpiral, &point, &offset);
        const double turn = (g_testSpiral.settings.DeltaTheta + offset) / kDegree;
        const int tenths = static_cast<int>(NthRandom(seed, 1) % 10) - 5;
        if (g_testSpiral.direction == 1 && tenths == 4) {
            EXPECT_NEAR(turn, 5.1, 1e-5);
            sawForward = true;
        }
        if (g_testSpiral.direction == 0 && tenths == -5) {
            EXPECT_NEAR(turn, -5.2, 1e-5);
            sawReversed = true;
        }
    }
    EXPECT_TRUE(sawForward && sawReversed);
}

TEST_F(WanderTest, WithoutTurningTheDirectionChangesNothingVisible) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_DELTA_THETA, 0);
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        g_testSpiral.direction = 0;
        SpiralPoint point;
        float offset;
        g_testSpiral.random.seed(seed);
        PickTarget(&g_testSpiral, &point, &offset);
        const int tenths = static_cast<int>(NthRandom(seed, 1) % 10) - 5;
        EXPECT_FLOAT_EQ(offset, static_cast<float>(tenths / 10.0 * (1.0 / 180.0) * 3.141592654));
    }
}

TEST_F(WanderTest, AReversalGlidesFortyEightTicksAtTheDefaultSpeed) {
    struct Case {
        int32_t dialog;
        int ticks;
    };
    for (const Case& c : {Case{94, 48}, Case{20, 10}, Case{255, 128}}) {
        ApplyDialogValue(&g_testSpiral.settings, ROW_DELTA_THETA, c.dialog);
        const float reversed = static_cast<float>(0.0 - 2.0 * g_testSpiral.settings.DeltaTheta);
        Place(400, 300, 0.0f);
        g_testSpiral.targetCentre = g_testSpiral.centre;
        g_testSpiral.targetAngleOffset = reversed;
        EXPECT_EQ(GlideTicks(), c.ticks) << "DeltaTheta " << c.dialog;
        EXPECT_EQ(g_testSpiral.angleOffset, reversed);
        // And back.
        g_testSpiral.targetAngleOffset = 0.0f;
        EXPECT_EQ(GlideTicks(), c.ticks) << "DeltaTheta " << c.dialog << " back";
        SpiralRelease(&g_testSpiral);
        created = false;
    }
}

TEST_F(WanderTest, AGlideEndsWhereAStepNoLongerMovesTheOffset) {
    // At the 32-bit limit a reversed offset lies so far out that 0.2 degree
    // is below the float's resolution there: the glide takes the target.
    ApplyDialogValue(&g_testSpiral.settings, ROW_DELTA_THETA, INT32_MAX);
    const float reversed = static_cast<float>(0.0 - 2.0 * g_testSpiral.settings.DeltaTheta);
    Place(400, 300, reversed);
    g_testSpiral.targetCentre = SpiralPoint{410, 300};
    g_testSpiral.targetAngleOffset = 0.0f;
    EXPECT_EQ(GlideTicks(), 10);
    EXPECT_EQ(g_testSpiral.angleOffset, 0.0f);
}

TEST_F(WanderTest, TheCentreGlidesOneUnitATickAndTheLongerGlideDecides) {
    Place(330, 300, 0.0f);
    g_testSpiral.targetCentre = SpiralPoint{340, 300};
    g_testSpiral.targetAngleOffset = 0.0f;
    EXPECT_EQ(GlideTicks(), 10);
    EXPECT_EQ(g_testSpiral.centre.x, 340);
    EXPECT_EQ(g_testSpiral.centre.y, 300);

    // 3 units left, but the offset needs 5 steps of 0.2 degree, the last snapped.
    g_testSpiral.targetCentre = SpiralPoint{337, 0};
    g_testSpiral.targetAngleOffset = static_cast<float>(0.9 * kDegree);
    EXPECT_EQ(GlideTicks(), 5);
    EXPECT_EQ(g_testSpiral.centre.x, 337);
    EXPECT_EQ(g_testSpiral.centre.y, 300);  // the target's y is never used
}

TEST_F(WanderTest, EachGlideTickRebuildsTheRegionUnderTheLock) {
    Place(400, 300, 0.0f);
    g_testSpiral.targetCentre = g_testSpiral.centre;
    g_testSpiral.targetAngleOffset = 0.0f;
    // Already there: arrival at the first tick, and still a rebuild. Neither
    // the tick nor the rebuild draws a random number.
    EXPECT_EQ(DrawsMadeBy(8, [] { EXPECT_EQ(GlideTick(&g_testSpiral), 0); }), 0);
    const std::vector<RecordedCall> triangles = RecordedOf(Op::CreateTriangle);
    ASSERT_EQ(triangles.size(), 4u);
    for (const RecordedCall& call : Recorded()) EXPECT_TRUE(call.lockHeld) << Describe(call);
    EXPECT_EQ(DrawLocksHeldHere(), 0);
}

TEST_F(WanderTest, CreationPicksTheStartThenStartsTheCountdown) {
    const uint32_t seed = 5;
    g_testSpiral.colourVelocity[0] = 200;  // kept from an earlier window
    EXPECT_EQ(DrawsMadeBy(seed, [this] { Create(seed); }), 4);
    EXPECT_EQ(g_testSpiral.centre.x, 325 + NthRandom(seed, 0) % 150);
    EXPECT_EQ(g_testSpiral.countdown, 3 + NthRandom(seed, 3) % 27);
    EXPECT_EQ(g_testSpiral.direction, 1);
    EXPECT_EQ(g_testSpiral.clearing, 1);
    EXPECT_EQ(g_testSpiral.stepCount, 0);
    EXPECT_EQ(g_testSpiral.colourVelocity[0], 200);
    EXPECT_TRUE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_COUNTDOWN));
    EXPECT_FALSE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_GLIDE));
    EXPECT_NE(g_testSpiral.feedRegion, nullptr);
}

TEST_F(WanderTest, ACountdownOfNSendsTheNewTargetAtItsNthTick) {
    Create(21);
    const int32_t n = g_testSpiral.countdown;
    ASSERT_GE(n, 3);
    ASSERT_LE(n, 29);
    Recorded().clear();
    HostClockAdvance(&g_testClock, static_cast<uint64_t>(n - 1) * 1000);
    EXPECT_EQ(g_testClock.newTargetsSent, 0u);
    EXPECT_TRUE(Recorded().empty());  // waiting rebuilds nothing
    HostClockAdvance(&g_testClock, 1000);
    EXPECT_EQ(g_testClock.newTargetsSent, 1u);
    EXPECT_FALSE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_COUNTDOWN));
    EXPECT_TRUE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_GLIDE));
    EXPECT_EQ(HostTimerDue(&g_testClock, &g_testSpiral, TIMER_GLIDE), static_cast<uint64_t>(n) * 1000 + 200);
}

TEST_F(WanderTest, ArrivalStopsTheGlideAndStartsANewCountdown) {
    Create(22);
    HostClockAdvance(&g_testClock, static_cast<uint64_t>(g_testSpiral.countdown) * 1000);
    ASSERT_TRUE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_GLIDE));
    int ticks = 0;
    while (HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_GLIDE) && ticks < 1000) {
        Recorded().clear();
        HostClockAdvance(&g_testClock, 200);
        ++ticks;
        ASSERT_EQ(RecordedOf(Op::CreateTriangle).size(), 4u) << "tick " << ticks;
    }
    EXPECT_EQ(g_testSpiral.centre.x, g_testSpiral.targetCentre.x);
    EXPECT_EQ(g_testSpiral.angleOffset, g_testSpiral.targetAngleOffset);
    EXPECT_TRUE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_COUNTDOWN));
    EXPECT_GE(g_testSpiral.countdown, 3);
}

TEST_F(WanderTest, TheCentreStaysInItsBandForHours) {
    Create(23);
    for (int second = 0; second < 4 * 3600; ++second) {
        HostClockAdvance(&g_testClock, 1000);
        ASSERT_GE(g_testSpiral.centre.x, 325);
        ASSERT_LE(g_testSpiral.centre.x, 474);
        ASSERT_EQ(g_testSpiral.centre.y, 300);
    }
    EXPECT_GT(g_testClock.newTargetsSent, 200u);
}

TEST_F(WanderTest, StrayCountdownTicksDoNothing) {
    Create(24);
    g_testSpiral.countdown = 0;
    OnEffectTimer(&g_testSpiral, TIMER_COUNTDOWN);
    EXPECT_EQ(g_testClock.newTargetsSent, 0u);
    g_testSpiral.countdown = INT32_MIN;
    OnEffectTimer(&g_testSpiral, TIMER_COUNTDOWN);
    EXPECT_EQ(g_testSpiral.countdown, INT32_MIN);
    OnEffectTimer(&g_testSpiral, 7);
    EXPECT_EQ(g_testClock.newTargetsSent, 0u);
}

class ParameterTest : public EngineTest {};

TEST_F(ParameterTest, RowsChangeSettingsLiveAndRebuildWhereTheRegionDependsOnThem) {
    Create(31);
    struct Case {
        uint32_t index;
        int32_t value;
        bool rebuilds;
    };
    for (const Case& c : {Case{0, 300, false}, Case{1, 7, false}, Case{2, 95, true},
                          Case{3, 12, true}, Case{4, 4, false}, Case{5, 20, true},
                          Case{7, 1, false}}) {
        Recorded().clear();
        ApplySpiralParameter(&g_testSpiral, c.index, c.value);
        EXPECT_EQ(RecordedOf(Op::CreateTriangle).size(), c.rebuilds ? 4u : 0u) << c.index;
        for (const RecordedCall& call : Recorded()) EXPECT_TRUE(call.lockHeld);
    }
    EXPECT_EQ(g_testSpiral.settings.MaxBkColour, 38400);
    EXPECT_EQ(g_testSpiral.settings.ColChangePer, 7000);
    EXPECT_EQ(g_testSpiral.settings.DeltaTheta, AngleFromDialog(95));
    EXPECT_EQ(g_testSpiral.settings.Gradient, 12);
    EXPECT_EQ(g_testSpiral.settings.Randomness, 4);
    EXPECT_EQ(g_testSpiral.settings.Resolution, 20);
}

TEST_F(ParameterTest, ANewSpeedForgetsTheOffsetButNotTheCentreGlide) {
    Create(32);
    g_testSpiral.angleOffset = 0.05f;
    g_testSpiral.targetAngleOffset = -0.1f;
    g_testSpiral.targetCentre = SpiralPoint{g_testSpiral.centre.x + 5, 300};
    ApplySpiralParameter(&g_testSpiral, ROW_DELTA_THETA, 60);
    EXPECT_EQ(g_testSpiral.angleOffset, 0.0f);
    EXPECT_EQ(g_testSpiral.targetAngleOffset, 0.0f);
    const int32_t start = g_testSpiral.centre.x;
    EXPECT_EQ(GlideTick(&g_testSpiral), 1);
    EXPECT_EQ(g_testSpiral.centre.x, start + 1);
}

TEST_F(ParameterTest, ANewTargetIsPickedUnderTheLockAndStartsTheGlide) {
    Create(33);
    const int draws = DrawsMadeBy(34, [] { ApplySpiralParameter(&g_testSpiral, PARAM_NEW_TARGET, 0); });
    EXPECT_EQ(draws, 3);
    EXPECT_EQ(g_testSpiral.targetCentre.x, 325 + NthRandom(34, 0) % 150);
    EXPECT_EQ(g_testSpiral.targetCentre.y, 300);
    EXPECT_TRUE(HostTimerRunning(&g_testClock, &g_testSpiral, TIMER_GLIDE));
    EXPECT_EQ(HostTimerDue(&g_testClock, &g_testSpiral, TIMER_GLIDE), 200u);
}

}  // namespace
