// The feed region's legs and triangles for the worked cases, the order in
// which it is made, and the bisection at its heart.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "effect/settings.h"
#include "effect/spiral.h"
#include "tests/unit/engine_fixture.h"

namespace {

using Triangle = std::array<int64_t, 6>;

std::vector<Triangle> Triangles() {
    std::vector<Triangle> triangles;
    for (const RecordedCall& call : RecordedOf(Op::CreateTriangle)) {
        triangles.push_back(Triangle{call.args[0], call.args[1], call.args[2], call.args[3],
                                     call.args[4], call.args[5]});
    }
    return triangles;
}

// The legs, read back from the four triangles of an unmirrored build:
// Lt, Lr, Lb, Ll and Dt, Dr, Db, Dl.
struct Legs {
    int64_t lt, lr, lb, ll, dt, dr, db, dl;
};

Legs LegsOf(const std::vector<Triangle>& t) {
    return Legs{t[0][2],       t[3][3],       800 - t[2][2], 600 - t[1][3],
                t[0][5],       800 - t[3][4], 600 - t[2][5], t[1][4]};
}

class FeedRegion : public EngineTest {
protected:
    void Build(int32_t cx, int32_t cy, float angleOffset) {
        Place(cx, cy, 0.0f);
        g_testSpiral.angleOffset = angleOffset;
        BuildFeedRegion(&g_testSpiral);
    }
};

TEST_F(FeedRegion, DefaultSettingsGiveTheFourCornerTriangles) {
    Build(400, 300, 0.0f);
    const std::vector<Triangle> expected = {
        {0, 0, 489, 0, 0, 50},
        {0, 600, 0, 211, 41, 600},
        {800, 600, 311, 600, 800, 550},
        {800, 0, 800, 389, 759, 0},
    };
    EXPECT_EQ(Triangles(), expected);
}

TEST_F(FeedRegion, IsMadeDeletingTheOldOneAndUnitingEachCornerInTurn) {
    Build(400, 300, 0.0f);
    const DrawRegion previous = g_testSpiral.feedRegion;
    Recorded().clear();
    BuildFeedRegion(&g_testSpiral);

    const std::vector<RecordedCall>& calls = Recorded();
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls[0].op, Op::DeleteRegion);
    EXPECT_EQ(calls[0].region, previous);
    EXPECT_EQ(calls[1].op, Op::CreateTriangle);
    const DrawRegion first = calls[1].region;
    for (int corner = 0; corner < 3; ++corner) {
        const RecordedCall& made = calls[2 + 3 * corner];
        const RecordedCall& united = calls[3 + 3 * corner];
        const RecordedCall& deleted = calls[4 + 3 * corner];
        EXPECT_EQ(made.op, Op::CreateTriangle);
        EXPECT_EQ(united.op, Op::Union);
        EXPECT_EQ(united.region, first);
        EXPECT_EQ(united.other, made.region);
        EXPECT_EQ(deleted.op, Op::DeleteRegion);
        EXPECT_EQ(deleted.region, made.region);
    }
    EXPECT_EQ(g_testSpiral.feedRegion, first);
}

TEST_F(FeedRegion, ANegativeTurnMirrorsTheFigure) {
    const float reversed = static_cast<float>(-2.0 * g_testSpiral.settings.DeltaTheta);
    Build(400, 300, reversed);
    const std::vector<Triangle> expected = {
        {800, 0, 311, 0, 800, 50},
        {800, 600, 800, 211, 759, 600},
        {0, 600, 489, 600, 0, 550},
        {0, 0, 0, 389, 41, 0},
    };
    EXPECT_EQ(Triangles(), expected);
}

TEST_F(FeedRegion, LegsFollowTheCentre) {
    Build(325, 300, 0.0f);
    const Legs legs = LegsOf(Triangles());
    EXPECT_EQ(legs.lt, 415);
    EXPECT_EQ(legs.lr, 390);
    EXPECT_EQ(legs.lb, 565);
    EXPECT_EQ(legs.ll, 383);
    EXPECT_EQ(legs.dt, 44);
    EXPECT_EQ(legs.dr, 42);
    EXPECT_EQ(legs.db, 56);
    EXPECT_EQ(legs.dl, 41);
}

TEST_F(FeedRegion, SmallResolutionKeepsTheMarginOfFiveOnTheFirstLegsOnly) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_RESOLUTION, 3);
    Build(400, 300, 0.0f);
    const Legs legs = LegsOf(Triangles());
    EXPECT_EQ(legs.lt, 484);
    EXPECT_EQ(legs.dt, 42);
}

TEST_F(FeedRegion, NoTurnGivesStripsAlongTheEdges) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_DELTA_THETA, 0);
    Build(400, 300, 0.0f);
    const Legs legs = LegsOf(Triangles());
    EXPECT_EQ(legs.lt, 801);
    EXPECT_EQ(legs.lb, 801);
    EXPECT_EQ(legs.lr, 603);
    EXPECT_EQ(legs.ll, 603);
    EXPECT_EQ(legs.dt, 10);
    EXPECT_EQ(legs.dr, 10);
    EXPECT_EQ(legs.db, 10);
    EXPECT_EQ(legs.dl, 10);
}

TEST_F(FeedRegion, AnOutwardPushGivesASquareAtTheMiddle) {
    g_testSpiral.settings.Gradient = -1;
    for (const auto& [cx, angle] : {std::pair<int32_t, float>{400, 0.0f}, {330, -0.2f}, {470, 0.1f}}) {
        Build(cx, 300, angle);
        const std::vector<RecordedCall> rects = RecordedOf(Op::CreateRect);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_EQ(rects[0].args, (std::vector<int64_t>{400, 300, 410, 310}));
        EXPECT_TRUE(RecordedOf(Op::CreateTriangle).empty());
        EXPECT_TRUE(kSoftDrawOps.pointInRegion(g_testSpiral.feedRegion, 409, 309));
        EXPECT_FALSE(kSoftDrawOps.pointInRegion(g_testSpiral.feedRegion, 410, 300));
    }
    g_testSpiral.settings.Resolution = 0;
    Build(400, 300, 0.0f);
    for (int y = 290; y < 320; ++y) {
        for (int x = 390; x < 420; ++x) {
            ASSERT_FALSE(kSoftDrawOps.pointInRegion(g_testSpiral.feedRegion, x, y));
        }
    }
}

TEST_F(FeedRegion, RebuildingGivesTheSameRegionAndLeavesOneAlive) {
    Build(400, 300, 0.0f);
    const int alive = SoftRegionsAlive();
    const std::vector<Triangle> first = Triangles();
    std::vector<bool> inside;
    for (int y = 0; y < 600; y += 3) {
        for (int x = 0; x < 800; x += 3) inside.push_back(kSoftDrawOps.pointInRegion(g_testSpiral.feedRegion, x, y));
    }
    Recorded().clear();
    BuildFeedRegion(&g_testSpiral);
    EXPECT_EQ(Triangles(), first);
    EXPECT_EQ(SoftRegionsAlive(), alive);
    size_t i = 0;
    for (int y = 0; y < 600; y += 3) {
        for (int x = 0; x < 800; x += 3) {
            ASSERT_EQ(kSoftDrawOps.pointInRegion(g_testSpiral.feedRegion, x, y), inside[i++]) << x << ',' << y;
        }
    }
}

TEST(EdgeReach, FindsWhereTheTurnedEdgeMeetsTheEdge) {
    const float alpha = AngleFromDialog(94);
    // The default top leg: Lt = 400 + reach + margin 10 = 489.
    EXPECT_EQ(EdgeReach(300, alpha, 8, 400), 79);
    // Lr = 300 + reach + 10 = 389.
    EXPECT_EQ(EdgeReach(400, alpha, 8, 300), 79);
}

TEST(EdgeReach, ARangeOfTwoOrLessReachesNothing) {
    const float alpha = AngleFromDialog(94);
    for (int32_t n : {2, 1, 0, -1, -300, INT32_MIN}) {
        EXPECT_EQ(EdgeReach(300, alpha, 8, n), 0) << n;
    }
    // Three is the smallest range that searches.
    EXPECT_NE(EdgeReach(300, alpha, 8, 3), 0);
    // A reference point on the edge itself divides 0 by 0: still 0, not a
    // truncated NaN.
    EXPECT_EQ(EdgeReach(0, alpha, 8, 400), 0);
}

TEST(MirrorPoints, ReflectsXAcrossTheLogicalWidth) {
    DrawPoint points[3] = {{0, 5}, {311, 7}, {800, 9}};
    MirrorPoints(points, 2);
    EXPECT_EQ(points[0].x, 800);
    EXPECT_EQ(points[1].x, 489);
    EXPECT_EQ(points[2].x, 800);  // beyond count: untouched
    EXPECT_EQ(points[1].y, 7);
    DrawPoint far[1] = {{INT32_MIN, 0}};
    MirrorPoints(far, 1);
    EXPECT_EQ(far[0].x, INT32_MAX);  // saturates instead of overflowing
}

}  // namespace
