// One spiral step: where a block goes, how big it is, when it is blacked out
// instead, and how many random numbers it draws; and the draw call around it.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "tests/unit/engine_fixture.h"

namespace {

class SpiralStepTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Place(400, 300, 0.0f);
        g_testSpiral.clearing = 0;
    }

    // One step from the given source; returns the block copy it made.
    std::vector<int64_t> StepFrom(int32_t x, int32_t y) {
        g_testSpiral.random.seed(SeedForSource(x, y));
        Recorded().clear();
        SpiralStep(&g_testSpiral, g_testSpiral.dc);
        const std::vector<RecordedCall> copies = RecordedOf(Op::CopyBlock);
        if (copies.size() != 1) return {};
        return copies[0].args;  // dx, dy, w, h, sx, sy
    }
};

TEST_F(SpiralStepTest, ABlockNearTheCentreIsAsLargeAsItsDistance) {
    // Offset (3, -2) from the centre: 4 wide, 3 high.
    EXPECT_EQ(StepFrom(410, 293), (std::vector<int64_t>{403, 298, 4, 3, 410, 293}));
    // From the far side of the centre (a radius less than Gradient).
    EXPECT_EQ(StepFrom(397, 302), (std::vector<int64_t>{403, 298, 4, 3, 397, 302}));
}

TEST_F(SpiralStepTest, ABlockFartherOutIsResolutionSquareCutOnlyAtTheRightAndBottom) {
    // Offset (3, -12): 10 by 10.
    EXPECT_EQ(StepFrom(407, 280), (std::vector<int64_t>{403, 288, 10, 10, 407, 280}));
    // A source within 10 units of the right edge: 5 wide.
    EXPECT_EQ(StepFrom(795, 300), (std::vector<int64_t>{785, 269, 5, 10, 795, 300}));
    // ... and of the bottom edge: 800 - 795 by 600 - 597.
    const std::vector<int64_t> corner = StepFrom(795, 597);
    ASSERT_EQ(corner.size(), 6u);
    EXPECT_EQ(corner[2], 5);
    EXPECT_EQ(corner[3], 3);
    // Near the left and top edges nothing is cut.
    const std::vector<int64_t> topLeft = StepFrom(2, 1);
    ASSERT_EQ(topLeft.size(), 6u);
    EXPECT_EQ(topLeft[2], 10);
    EXPECT_EQ(topLeft[3], 10);
}

TEST_F(SpiralStepTest, TheAngleOfPointsStraightAboveAndBelowUsesTheTenDigitConstants) {
    // The centre itself: phi = 4.712388981 and r = -Gradient, so the block
    // lands 7 below the centre, 1 wide and 8 high.
    EXPECT_EQ(StepFrom(400, 300), (std::vector<int64_t>{400, 307, 1, 8, 400, 300}));
    // Straight below: phi = 1.570796327.
    EXPECT_EQ(StepFrom(400, 320), (std::vector<int64_t>{400, 311, 10, 10, 400, 320}));
    // Straight above: 4.712388981.
    EXPECT_EQ(StepFrom(400, 280), (std::vector<int64_t>{400, 289, 10, 10, 400, 280}));
    // With no pull the centre's block stays on the centre.
    g_testSpiral.settings.Gradient = 0;
    EXPECT_EQ(StepFrom(400, 300), (std::vector<int64_t>{400, 300, 1, 1, 400, 300}));
}

TEST_F(SpiralStepTest, JitterShiftsTheDestinationByMinusRandomnessUpToRandomnessMinusOne) {
    std::set<int64_t> seenX, seenY;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        g_testSpiral.settings.Randomness = 2;
        g_testSpiral.random.seed(seed);
        Recorded().clear();
        SpiralStep(&g_testSpiral, g_testSpiral.dc);
        const std::vector<int64_t> jittered = RecordedOf(Op::CopyBlock).at(0).args;

        // The same source without jitter.
        g_testSpiral.settings.Randomness = 0;
        const std::vector<int64_t> plain =
            StepFrom(static_cast<int32_t>(jittered[4]), static_cast<int32_t>(jittered[5]));
        ASSERT_EQ(plain.size(), 6u);

        // The third and fourth numbers, each mod 4, less 2.
        const int64_t jx = NthRandom(seed, 2) % 4 - 2;
        const int64_t jy = NthRandom(seed, 3) % 4 - 2;
        EXPECT_EQ(jittered[0] - plain[0], jx) << "seed " << seed;
        EXPECT_EQ(jittered[1] - plain[1], jy) << "seed " << seed;
        EXPECT_EQ(jittered[2], plain[2]);
        EXPECT_EQ(jittered[3], plain[3]);
        seenX.insert(jx);
        seenY.insert(jy);
    }
    EXPECT_EQ(seenX, (std::set<int64_t>{-2, -1, 0, 1}));
    EXPECT_EQ(seenY, (std::set<int64_t>{-2, -1, 0, 1}));
}

TEST_F(SpiralStepTest, DrawsTwoNumbersOrFourWithJitter) {
    // x then y: the first two numbers are the source, as the region test of
    // the clearing phase shows.
    g_testSpiral.clearing = 1;
    g_testSpiral.random.seed(77);
    Recorded().clear();
    SpiralStep(&g_testSpiral, g_testSpiral.dc);
    const RecordedCall& test = Recorded().at(0);
    EXPECT_EQ(test.op, Op::PointInRegion);
    EXPECT_EQ(test.args[0], NthRandom(77, 0) % 799);
    EXPECT_EQ(test.args[1], NthRandom(77, 1) % 599);

    EXPECT_EQ(DrawsMadeBy(77, [] { SpiralStep(&g_testSpiral, g_testSpiral.dc); }), 2);
    g_testSpiral.settings.Randomness = 3;
    EXPECT_EQ(DrawsMadeBy(77, [] { SpiralStep(&g_testSpiral, g_testSpiral.dc); }), 4);
}

TEST_F(SpiralStepTest, WhileClearingASourceInTheFeedRegionIsBlackedOutWithoutJitter) {
    g_testSpiral.settings.Randomness = 2;
    g_testSpiral.clearing = 1;
    const uint32_t seed = SeedForSource(5, 5);  // inside the top-left triangle
    EXPECT_EQ(DrawsMadeBy(seed, [] { SpiralStep(&g_testSpiral, g_testSpiral.dc); }), 2);

    g_testSpiral.random.seed(seed);
    Recorded().clear();
    SpiralStep(&g_testSpiral, g_testSpiral.dc);
    ASSERT_EQ(Recorded().size(), 2u);
    EXPECT_EQ(Describe(Recorded()[0]), "PointInRegion(5, 5, 1)");
    EXPECT_EQ(Describe(Recorded()[1]), "BlackOut(5, 5, 10, 10)");

    // After the first colour change the same source is copied.
    g_testSpiral.clearing = 0;
    g_testSpiral.random.seed(seed);
    Recorded().clear();
    SpiralStep(&g_testSpiral, g_testSpiral.dc);
    ASSERT_EQ(RecordedOf(Op::CopyBlock).size(), 1u);
    EXPECT_TRUE(RecordedOf(Op::BlackOut).empty());

    // While clearing, a source outside the region is copied as usual.
    g_testSpiral.clearing = 1;
    EXPECT_EQ(StepFrom(410, 293).size(), 6u);
}

TEST_F(SpiralStepTest, ResolutionZeroCopiesNothing) {
    g_testSpiral.settings.Resolution = 0;
    g_testSpiral.settings.ColChangePer = 1 << 30;  // no colour change in this run
    BuildFeedRegion(&g_testSpiral);
    PaintTestPicture(&surface);
    const uint64_t before = PixelHash(surface);
    g_testSpiral.random.seed(5);
    Recorded().clear();
    for (int i = 0; i < 5; ++i) DrawSpiral(&g_testSpiral);
    for (const RecordedCall& copy : RecordedOf(Op::CopyBlock)) {
        ASSERT_EQ(copy.args[2], 0) << Describe(copy);
        ASSERT_EQ(copy.args[3], 0) << Describe(copy);
    }
    EXPECT_EQ(RecordedOf(Op::CopyBlock).size() + RecordedOf(Op::BlackOut).size(), 5000u);
    EXPECT_EQ(PixelHash(surface), before);
}

class DrawSpiralTest : public EngineTest {};

TEST_F(DrawSpiralTest, MakesAThousandStepsEachUnderTheLock) {
    g_testSpiral.settings.ColChangePer = 1 << 30;
    Create(11);
    DrawSpiral(&g_testSpiral);
    const std::vector<RecordedCall> tests = RecordedOf(Op::PointInRegion);
    EXPECT_EQ(tests.size(), 1000u);
    for (const RecordedCall& call : Recorded()) ASSERT_TRUE(call.lockHeld) << Describe(call);
    EXPECT_EQ(g_testSpiral.stepCount, 1000);
    EXPECT_EQ(DrawLocksHeldHere(), 0);
}

TEST_F(DrawSpiralTest, ChangesColourEveryColChangePerSteps) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_COL_CHANGE_PER, 2);  // 2000 steps
    Create(12);
    DrawSpiral(&g_testSpiral);
    EXPECT_TRUE(RecordedOf(Op::FillRegion).empty());
    EXPECT_EQ(g_testSpiral.clearing, 1);
    DrawSpiral(&g_testSpiral);
    const std::vector<RecordedCall> floods = RecordedOf(Op::FillRegion);
    ASSERT_EQ(floods.size(), 1u);
    EXPECT_TRUE(floods[0].lockHeld);
    EXPECT_EQ(g_testSpiral.stepCount, 0);
    EXPECT_EQ(g_testSpiral.clearing, 0);
    // The flood comes after the 2000th step.
    EXPECT_EQ(Recorded().back().op, Op::CreateBrush);
}

TEST_F(DrawSpiralTest, AColChangePerOfZeroOrLessChangesColourAfterEveryStep) {
    for (int32_t period : {0, -5, INT32_MIN}) {
        SetUp();
        g_testSpiral.settings.ColChangePer = period;
        Create(13);
        DrawSpiral(&g_testSpiral);
        EXPECT_EQ(RecordedOf(Op::FillRegion).size(), 1000u) << period;
        SpiralRelease(&g_testSpiral);
        created = false;
    }
}

// Each step asks the feed region once; the test's table asks for the stop in
// the step it is told.
int g_stopInStep = -1;
int g_stepsAsked = 0;
bool PointInRegionThenStop(DrawRegion region, int32_t x, int32_t y) {
    if (++g_stepsAsked == g_stopInStep) StopDrawLockWorker(g_testSpiral.lock);
    return kRecordingDrawOps.pointInRegion(region, x, y);
}

// Once a stop is asked, the call ends after the step in progress: a closing
// window waits for one step, not the rest of the call, and a worker held
// when the stop came takes no step at all.
TEST_F(DrawSpiralTest, AStopEndsTheCallAfterTheStepInProgress) {
    const struct {
        int stopInStep;  // 0: before the call
        size_t steps;
    } cases[] = {{0, 0}, {1, 1}, {10, 10}, {999, 999}};
    for (const auto& c : cases) {
        SetUp();
        g_testSpiral.settings.ColChangePer = 1 << 30;
        Create(14);
        DrawOps stopping = kRecordingDrawOps;
        stopping.pointInRegion = PointInRegionThenStop;
        g_testSpiral.ops = &stopping;
        g_stopInStep = c.stopInStep;
        g_stepsAsked = 0;
        if (c.stopInStep == 0) StopDrawLockWorker(g_testSpiral.lock);
        DrawSpiral(&g_testSpiral);
        EXPECT_EQ(RecordedOf(Op::PointInRegion).size(), c.steps) << c.stopInStep;
        EXPECT_EQ(DrawLocksHeldHere(), 0);
        g_testSpiral.ops = &kRecordingDrawOps;
        SpiralRelease(&g_testSpiral);
        created = false;
    }
}

// A change detector: pins the whole renderer, engine and software surface
// together, so that any change to what they draw shows here. Update the hash
// only for a change meant to alter the pictures.
TEST_F(DrawSpiralTest, ChangeDetectorAFixedSeedDrawsTheSamePicture) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_COL_CHANGE_PER, 3);
    PaintTestPicture(&surface);
    Create(2024);
    for (int i = 0; i < 40; ++i) {
        DrawSpiral(&g_testSpiral);
        HostClockAdvance(&g_testClock, 200);
    }
    EXPECT_EQ(PixelHash(surface), 505755808280667127ull);
}

}  // namespace
