#include "x11/spiral_driver.h"

#include <new>

#include "effect/effect_platform_host.h"
#include "effect/spiral.h"

namespace {

// The engine's timers are keyed by window; the hack has one, and one spiral.
int g_windowToken;
SpiralState g_spiral;

constexpr int64_t kStepsPerBatch = 1000;  // what one DrawSpiral call makes

}  // namespace

int64_t SpiralStepsPerBatch() { return kStepsPerBatch; }

void SpiralDriverStart(SoftSurface* surface, const int32_t settings[kSettingsRows], uint32_t seed) {
    // One thread draws and runs the timers: the lock is never contended.
    DrawLock* lock = CreateDrawLock();
    if (lock == nullptr) throw std::bad_alloc();
    g_spiral = SpiralState{};
    for (int row = 0; row < kSettingsRows; ++row) ApplyDialogValue(&g_spiral.settings, row, settings[row]);
    g_spiral.random.seed(seed);
    g_spiral.lock = lock;
    HostTimersReset();
    SpiralCreate(&g_spiral, &g_windowToken, SoftSurfaceContext(surface), &kSoftDrawOps);
}

void SpiralDriverDrawBatch() { DrawSpiral(&g_spiral); }

void SpiralDriverAdvanceClock(uint64_t milliseconds) { HostAdvanceTime(milliseconds); }

void SpiralDriverStop() {
    SpiralRelease(&g_spiral);
    DeleteDrawLock(g_spiral.lock);
    g_spiral.lock = nullptr;
    HostTimersReset();
}
