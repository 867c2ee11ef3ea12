// Simulated window timers, for the host build.
#include "effect/effect_platform_host.h"

#include "effect/control_messages.h"
#include "effect/spiral.h"

namespace {

// A window has few timers; a fixed table keeps the clock free of
// allocations. A set beyond its size fails, as SetTimer may.
constexpr int kMaxTimers = 16;
// Windows raises shorter periods to this minimum; it also keeps a period of
// 0 from delivering ticks for ever.
constexpr uint32_t kMinimumPeriodMs = 10;

struct SimulatedTimer {
    bool running;
    SpiralState* state;
    EffectWindow window;
    uintptr_t id;
    uint32_t periodMs;
    uint64_t dueMs;
    uint64_t setOrder;
};

SimulatedTimer g_timers[kMaxTimers];
uint64_t g_nowMs = 0;
uint64_t g_setCount = 0;
uint64_t g_newTargetsSent = 0;

SimulatedTimer* FindTimer(EffectWindow window, uintptr_t id) {
    for (SimulatedTimer& timer : g_timers) {
        if (timer.running && timer.window == window && timer.id == id) return &timer;
    }
    return nullptr;
}


}  // namespace

void EffectSetTimer(SpiralState* state, uintptr_t id, uint32_t periodMs) {
    // Setting a running timer again restarts it with the new period.
    EffectWindow window = state->window;
    SimulatedTimer* timer = FindTimer(window, id);
    if (timer == nullptr) {
        for (SimulatedTimer& candidate : g_timers) {
            if (!candidate.running) {
                timer = &candidate;
                break;
            }
        }
        if (timer == nullptr) return;
    }
    const uint32_t period = periodMs < kMinimumPeriodMs ? kMinimumPeriodMs : periodMs;
    *timer = SimulatedTimer{true, state, window, id, period, g_nowMs + period, g_setCount++};
}

void EffectKillTimer(SpiralState* state, uintptr_t id) {
    if (SimulatedTimer* timer = FindTimer(state->window, id)) timer->running = false;
}

void EffectSendNewTarget(SpiralState* state) {
    ++g_newTargetsSent;
    ApplySpiralParameter(state, PARAM_NEW_TARGET, 0);
}

void HostTimersReset() {
    for (SimulatedTimer& timer : g_timers) timer = SimulatedTimer{};
    g_nowMs = 0;
    g_setCount = 0;
    g_newTargetsSent = 0;
}

uint64_t HostTimeMs() { return g_nowMs; }

void HostAdvanceTime(uint64_t milliseconds) {
    const uint64_t end = g_nowMs + milliseconds;
    for (;;) {
        // The handler of one tick may stop or start timers, so look afresh
        // for the earliest due tick each time.
        SimulatedTimer* next = nullptr;
        for (SimulatedTimer& timer : g_timers) {
            if (!timer.running || timer.dueMs > end) continue;
            if (next == nullptr || timer.dueMs < next->dueMs ||
                (timer.dueMs == next->dueMs && timer.setOrder < next->setOrder)) {
                next = &timer;
            }
        }
        if (next == nullptr) break;
        g_nowMs = next->dueMs;
        next->dueMs += next->periodMs;
        OnEffectTimer(next->state, next->id);
    }
    g_nowMs = end;
}

bool HostTimerRunning(EffectWindow window, uintptr_t id) { return FindTimer(window, id) != nullptr; }

uint64_t HostTimerDue(EffectWindow window, uintptr_t id) {
    const SimulatedTimer* timer = FindTimer(window, id);
    return timer != nullptr ? timer->dueMs : 0;
}

uint64_t HostNewTargetsSent() { return g_newTargetsSent; }
