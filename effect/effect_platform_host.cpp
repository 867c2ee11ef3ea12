// Simulated window timers, for the host build.
#include "effect/effect_platform_host.h"

#include "effect/control_messages.h"
#include "effect/spiral.h"

namespace {

// Windows raises shorter periods to this minimum; it also keeps a period of
// 0 from delivering ticks for ever.
constexpr uint32_t kMinimumPeriodMs = 10;

HostClock* ClockOf(const SpiralState* state) { return static_cast<HostClock*>(state->window); }

template <typename Clock>
auto FindTimer(Clock* clock, const SpiralState* state, uintptr_t id) -> decltype(&clock->timers[0]) {
    for (auto& timer : clock->timers) {
        if (timer.running && timer.state == state && timer.id == id) return &timer;
    }
    return nullptr;
}

}  // namespace

void EffectSetTimer(SpiralState* state, uintptr_t id, uint32_t periodMs) {
    // Setting a running timer again restarts it with the new period.
    HostClock* clock = ClockOf(state);
    HostTimer* timer = FindTimer(clock, state, id);
    if (timer == nullptr) {
        for (HostTimer& candidate : clock->timers) {
            if (!candidate.running) {
                timer = &candidate;
                break;
            }
        }
        if (timer == nullptr) return;
    }
    const uint32_t period = periodMs < kMinimumPeriodMs ? kMinimumPeriodMs : periodMs;
    *timer = HostTimer{true, state, id, period, clock->nowMs + period, clock->setCount++};
}

void EffectKillTimer(SpiralState* state, uintptr_t id) {
    if (HostTimer* timer = FindTimer(ClockOf(state), state, id)) timer->running = false;
}

void EffectSendNewTarget(SpiralState* state) {
    ++ClockOf(state)->newTargetsSent;
    ApplySpiralParameter(state, PARAM_NEW_TARGET, 0);
}

void HostClockAdvance(HostClock* clock, uint64_t milliseconds) {
    const uint64_t end = clock->nowMs + milliseconds;
    for (;;) {
        // The handler of one tick may stop or start timers, so look afresh
        // for the earliest due tick each time.
        HostTimer* next = nullptr;
        for (HostTimer& timer : clock->timers) {
            if (!timer.running || timer.dueMs > end) continue;
            if (next == nullptr || timer.dueMs < next->dueMs ||
                (timer.dueMs == next->dueMs && timer.setOrder < next->setOrder)) {
                next = &timer;
            }
        }
        if (next == nullptr) break;
        clock->nowMs = next->dueMs;
        next->dueMs += next->periodMs;
        OnEffectTimer(next->state, next->id);
    }
    clock->nowMs = end;
}

bool HostTimerRunning(const HostClock* clock, const SpiralState* state, uintptr_t id) {
    return FindTimer(clock, state, id) != nullptr;
}

uint64_t HostTimerDue(const HostClock* clock, const SpiralState* state, uintptr_t id) {
    const HostTimer* timer = FindTimer(clock, state, id);
    return timer != nullptr ? timer->dueMs : 0;
}
