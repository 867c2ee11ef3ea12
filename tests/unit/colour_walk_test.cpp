// The background colour's walk: bounces, velocities, the brush one change
// behind, and what stays defined at the extremes.
#include <gtest/gtest.h>

#include <vector>

#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "tests/unit/engine_fixture.h"

namespace {

class ColourWalkTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Place(400, 300, 0.0f);
    }

    // The colours of the floods of n changes.
    std::vector<int64_t> Floods(int n) {
        Recorded().clear();
        for (int i = 0; i < n; ++i) ColourWalk(&g_testSpiral, g_testSpiral.dc);
        std::vector<int64_t> colours;
        for (const RecordedCall& call : RecordedOf(Op::FillRegion)) colours.push_back(call.args[0]);
        return colours;
    }
};

TEST_F(ColourWalkTest, TheFirstTwoFloodsAreBlackAndTheThirdHasIntensityOne) {
    for (int32_t maximum : {1, 2, 3, 225, 255, 300}) {
        if (created) TearDown();
        created = false;
        SetUp();
        ApplyDialogValue(&g_testSpiral.settings, ROW_MAX_BK_COLOUR, maximum);
        g_testSpiral.random.seed(static_cast<uint32_t>(maximum));
        EXPECT_EQ(Floods(3), (std::vector<int64_t>{0, 0, 0x010101})) << "MaxBkColour " << maximum;
    }
}

TEST_F(ColourWalkTest, EachChannelBouncesAtZeroWithAVelocityDrawnInChannelOrder) {
    g_testSpiral.random.seed(31);
    ColourWalk(&g_testSpiral, g_testSpiral.dc);
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(g_testSpiral.colour[channel], 0);
        EXPECT_EQ(g_testSpiral.colourVelocity[channel], 128 + NthRandom(31, channel) % 128);
    }
    // The second change moves each channel by its velocity and draws nothing
    // while no channel reaches the maximum.
    const int32_t red = g_testSpiral.colourVelocity[0];
    EXPECT_EQ(DrawsMadeBy(32, [] { ColourWalk(&g_testSpiral, g_testSpiral.dc); }), 0);
    EXPECT_EQ(g_testSpiral.colour[0], red);
}

TEST_F(ColourWalkTest, AChannelReachingTheMaximumTurnsBackWithANegativeVelocity) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_MAX_BK_COLOUR, 10);  // 1280
    g_testSpiral.colour[0] = 1200;
    g_testSpiral.colourVelocity[0] = 200;
    g_testSpiral.colour[1] = 500;
    g_testSpiral.colourVelocity[1] = 130;
    g_testSpiral.colour[2] = 100;
    g_testSpiral.colourVelocity[2] = -200;
    g_testSpiral.random.seed(41);
    ColourWalk(&g_testSpiral, g_testSpiral.dc);
    // Red bounces at the top, green moves, blue bounces at 0: the draws go
    // to red then blue.
    EXPECT_EQ(g_testSpiral.colour[0], 1280);
    EXPECT_EQ(g_testSpiral.colourVelocity[0], -128 - NthRandom(41, 0) % 128);
    EXPECT_EQ(g_testSpiral.colour[1], 630);
    EXPECT_EQ(g_testSpiral.colourVelocity[1], 130);
    EXPECT_EQ(g_testSpiral.colour[2], 0);
    EXPECT_EQ(g_testSpiral.colourVelocity[2], 128 + NthRandom(41, 1) % 128);
    // The new brush: 1280 >> 7 = 10, 630 >> 7 = 4, 0.
    EXPECT_EQ(RecordedOf(Op::CreateBrush).back().args[0], 10 | (4 << 8));
}

TEST_F(ColourWalkTest, TheFloodUsesTheBrushOfThePreviousChangeThenReplacesIt) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_MAX_BK_COLOUR, 200);
    g_testSpiral.colour[0] = 128 * 50;
    g_testSpiral.colourVelocity[0] = 128;
    g_testSpiral.colourVelocity[1] = 0;
    g_testSpiral.colourVelocity[2] = 0;
    g_testSpiral.colour[1] = 128 * 3;
    g_testSpiral.colour[2] = 128 * 7;
    kRecordingDrawOps.deleteBrush(g_testSpiral.brush);
    g_testSpiral.brush = kSoftDrawOps.createSolidBrush(0x123456);
    Recorded().clear();
    ColourWalk(&g_testSpiral, g_testSpiral.dc);
    ASSERT_EQ(Recorded().size(), 3u);
    EXPECT_EQ(Describe(Recorded()[0]), "FillRegion(1193046)");
    EXPECT_EQ(Recorded()[0].region, g_testSpiral.feedRegion);
    EXPECT_EQ(Describe(Recorded()[1]), "DeleteBrush(1193046)");
    EXPECT_EQ(Describe(Recorded()[2]), "CreateBrush(" + std::to_string(51 | (3 << 8) | (7 << 16)) + ")");
    // And on the surface: the top-left corner is now that colour.
    EXPECT_EQ(surface.pixels[0], 0x123456u);
}

TEST_F(ColourWalkTest, MaxBkColourZeroStaysBlack) {
    ApplyDialogValue(&g_testSpiral.settings, ROW_MAX_BK_COLOUR, 0);
    g_testSpiral.random.seed(3);
    EXPECT_EQ(Floods(50), std::vector<int64_t>(50, 0));
    for (int channel = 0; channel < 3; ++channel) EXPECT_EQ(g_testSpiral.colour[channel], 0);
}

TEST_F(ColourWalkTest, ExtremeMaximaStayDefined) {
    // Near the 32-bit limit a channel plus its velocity would overflow.
    g_testSpiral.settings.MaxBkColour = INT32_MAX;
    for (int channel = 0; channel < 3; ++channel) {
        g_testSpiral.colour[channel] = INT32_MAX - 100;
        g_testSpiral.colourVelocity[channel] = 255;
    }
    g_testSpiral.random.seed(1);
    ColourWalk(&g_testSpiral, g_testSpiral.dc);
    EXPECT_EQ(g_testSpiral.colour[0], INT32_MAX);
    EXPECT_LT(g_testSpiral.colourVelocity[0], 0);
    // The brush keeps the low eight bits of each channel shifted down.
    EXPECT_EQ(RecordedOf(Op::CreateBrush).back().args[0], 0xFFFFFF);

    // A negative maximum: channels alternate between 0 and the maximum.
    g_testSpiral.settings.MaxBkColour = -1000;
    for (int i = 0; i < 10; ++i) {
        ColourWalk(&g_testSpiral, g_testSpiral.dc);
        for (int channel = 0; channel < 3; ++channel) {
            ASSERT_TRUE(g_testSpiral.colour[channel] == 0 || g_testSpiral.colour[channel] == -1000);
        }
    }
    g_testSpiral.settings.MaxBkColour = INT32_MIN;
    for (int i = 0; i < 10; ++i) ColourWalk(&g_testSpiral, g_testSpiral.dc);
    EXPECT_EQ(SoftRegionsAlive(), 1);
}

}  // namespace
