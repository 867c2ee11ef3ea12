#include "effect/soft_run.h"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

bool SoftRunStart(SoftRun* run, const SpiralSettings& settings, uint32_t seed, const DrawOps* ops) {
    SoftRunEnd(run);
    run->clock = HostClock{};
    run->clockMs = 0;
    run->spiral = SpiralState{};
    run->spiral.settings = settings;
    run->spiral.random.seed(seed);
    // The holder's one thread draws and runs the timers: the lock is never
    // contended, but every step still takes it, as in the saver.
    run->spiral.lock = CreateDrawLock();
    if (run->spiral.lock == nullptr) return false;
    SpiralCreate(&run->spiral, HostClockWindow(&run->clock), SoftSurfaceContext(&run->surface), ops);
    run->running = true;
    return true;
}

void SoftRunDraw(SoftRun* run) { DrawSpiral(&run->spiral); }

void SoftRunMoveClock(SoftRun* run, double milliseconds) {
    // Whole milliseconds of the clock, each delivered once.
    const double before = run->clockMs;
    run->clockMs += milliseconds;
    HostClockAdvance(&run->clock, static_cast<uint64_t>(run->clockMs) - static_cast<uint64_t>(before));
}

void SoftRunResize(SoftRun* run, int32_t width, int32_t height) {
    SoftSurface* surface = &run->surface;
    const int32_t oldWidth = surface->width;
    const int32_t oldHeight = surface->height;
    std::vector<uint32_t> old = std::move(surface->pixels);
    // Initialising keeps the buffers' capacity; a surface that shrinks must
    // give back the memory of its largest size.
    std::vector<uint32_t>().swap(surface->scratch);
    std::vector<int64_t>().swap(surface->columnSources);
    SoftSurfaceInit(surface, width, height);
    if (oldWidth <= 0 || oldHeight <= 0) return;
    for (int32_t y = 0; y < surface->height; ++y) {
        const int64_t fromY = int64_t{y} * oldHeight / surface->height;
        for (int32_t x = 0; x < surface->width; ++x) {
            const int64_t fromX = int64_t{x} * oldWidth / surface->width;
            surface->pixels[static_cast<size_t>(y) * surface->width + x] =
                old[static_cast<size_t>(fromY) * oldWidth + fromX];
        }
    }
}

void SoftRunEnd(SoftRun* run) {
    if (!run->running) return;
    SpiralRelease(&run->spiral);
    DeleteDrawLock(run->spiral.lock);
    run->spiral.lock = nullptr;
    run->running = false;
}

double SimulatedMsPerCall(int64_t rate) {
    return 1000.0 * kStepsPerDrawCall / static_cast<double>(rate);
}

int64_t SimulatedDrawCalls(double seconds, int64_t rate) {
    const int64_t totalSteps = static_cast<int64_t>(std::llround(seconds * static_cast<double>(rate)));
    return (totalSteps + kStepsPerDrawCall - 1) / kStepsPerDrawCall;
}
