#include "x11/spiral_driver.h"

#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/spiral.h"

namespace {

// The engine's timers are keyed by window; the hack has one, and one spiral.
int g_windowToken;
SpiralState g_spiral;

constexpr int64_t kStepsPerBatch = 1000;  // what one DrawSpiral call makes

}  // namespace

int64_t SpiralStepsPerBatch() { return kStepsPerBatch; }

void SpiralDriverStart(SoftSurface* surface, const int32_t settings[kSettingsRows], uint32_t seed) {
    for (int row = 0; row < kSettingsRows; ++row) ApplyDialogValue(row, settings[row]);
    SeedRandom(seed);
    HostTimersReset();
    g_spiral = SpiralState{};
    SpiralCreate(&g_spiral, &g_windowToken, SoftSurfaceContext(surface), &kSoftDrawOps);
}

void SpiralDriverDrawBatch() { DrawSpiral(&g_spiral); }

void SpiralDriverAdvanceClock(uint64_t milliseconds) { HostAdvanceTime(milliseconds); }

void SpiralDriverStop() {
    SpiralRelease(&g_spiral);
    HostTimersReset();
}
