// The engine's worked figures with the Windows run-time's maths library:
// they depend on exact float roundings and on atan, sin, cos and tan, and
// must come out the same as on the host.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "effect/random.h"
#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"

namespace {

void UseDefaults() {
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(row, kSettingDefinitions[row].defaultValue);
    }
}

TEST(EngineFigures, FeedRegionLegs) {
    UseDefaults();
    const float alpha = g_spiralSettings.DeltaTheta;
    // Centre (400, 300): Lt = 400 + reach + 10 = 489, Lr = 300 + reach + 10 = 389.
    EXPECT_EQ(400 + EdgeReach(300, alpha, 8, 400) + 10, 489);
    EXPECT_EQ(300 + EdgeReach(400, alpha, 8, 300) + 10, 389);
    // Centre (325, 300): Lt 415, Lr 390, Lb 565, Ll 383.
    EXPECT_EQ(325 + EdgeReach(300, alpha, 8, 475) + 10, 415);
    EXPECT_EQ(300 + EdgeReach(325, alpha, 8, 300) + 10, 390);
    EXPECT_EQ(475 + EdgeReach(300, alpha, 8, 325) + 10, 565);
    EXPECT_EQ(300 + EdgeReach(475, alpha, 8, 300) + 10, 383);
    // The second legs: trunc(L x tan(alpha)) + 10.
    EXPECT_EQ(static_cast<int>(489 * std::tan(static_cast<double>(alpha))) + 10, 50);
    EXPECT_EQ(static_cast<int>(565 * std::tan(static_cast<double>(alpha))) + 10, 56);
}

TEST(EngineFigures, StepDestinationsAndGlideLengths) {
    UseDefaults();
    static SoftSurface surface;
    SoftSurfaceInit(&surface, kLogicalWidth, kLogicalHeight);
    SpiralState spiral{};
    spiral.lock = CreateDrawLock();
    spiral.settings = g_spiralSettings;
    spiral.width = kLogicalWidth;
    spiral.height = kLogicalHeight;
    spiral.dc = SoftSurfaceContext(&surface);
    spiral.ops = &kSoftDrawOps;
    spiral.centre = SpiralPoint{400, 300};
    spiral.brush = kSoftDrawOps.createSolidBrush(0);
    BuildFeedRegion(&spiral);

    // The centre's own block goes 7 below it; mark it and look.
    surface.pixels[300 * 800 + 400] = 0x00ABCDEF;
    for (uint32_t seed = 1;; ++seed) {
        spiral.random.seed(seed);
        if (RandomMod(&spiral.random, 799) == 400 && RandomMod(&spiral.random, 599) == 300) {
            spiral.random.seed(seed);
            break;
        }
    }
    SpiralStep(&spiral, spiral.dc);
    EXPECT_EQ(surface.pixels[307 * 800 + 400], 0x00ABCDEFu);

    struct Case {
        int32_t dialog;
        int ticks;
    };
    for (const Case& c : {Case{94, 48}, Case{20, 10}, Case{255, 128}}) {
        ApplyDialogValue(&spiral.settings, ROW_DELTA_THETA, c.dialog);
        spiral.angleOffset = 0.0f;
        spiral.targetCentre = spiral.centre;
        spiral.targetAngleOffset = static_cast<float>(-2.0 * spiral.settings.DeltaTheta);
        int ticks = 1;
        while (GlideTick(&spiral) != 0 && ticks < 1000) ++ticks;
        EXPECT_EQ(ticks, c.ticks) << "DeltaTheta " << c.dialog;
    }
    kSoftDrawOps.deleteRegion(spiral.feedRegion);
    spiral.feedRegion = nullptr;
    DeleteDrawLock(spiral.lock);
}

}  // namespace
