#include "tools/render/render_run.h"

#include <cmath>

#include "effect/effect_platform_host.h"

namespace {

// The timers are keyed by window; a run has one, and one spiral.
int g_windowToken;

}  // namespace

int64_t RenderRunCalls(double seconds, int64_t rate) {
    const int64_t totalSteps = static_cast<int64_t>(std::llround(seconds * static_cast<double>(rate)));
    return (totalSteps + 999) / 1000;
}

bool RenderRunStart(RenderRun* run, SoftSurface* surface, const SpiralSettings& settings,
                    uint32_t seed, int64_t rate, double seconds) {
    *run = RenderRun{};
    run->calls = RenderRunCalls(seconds, rate);
    run->msPerCall = 1000.0 * 1000.0 / static_cast<double>(rate);
    HostTimersReset();
    run->spiral.settings = settings;
    run->spiral.random.seed(seed);
    run->spiral.lock = CreateDrawLock();
    if (run->spiral.lock == nullptr) return false;
    SpiralCreate(&run->spiral, &g_windowToken, SoftSurfaceContext(surface), &kSoftDrawOps);
    return true;
}

void RenderRunCall(RenderRun* run) {
    DrawSpiral(&run->spiral);
    // Whole milliseconds of the clock, each delivered once: the fractions
    // carry over to the next call.
    const double before = run->clockMs;
    run->clockMs += run->msPerCall;
    HostAdvanceTime(static_cast<uint64_t>(run->clockMs) - static_cast<uint64_t>(before));
    ++run->callsDone;
}

void RenderRunEnd(RenderRun* run) {
    SpiralRelease(&run->spiral);
    DeleteDrawLock(run->spiral.lock);
    run->spiral.lock = nullptr;
}
