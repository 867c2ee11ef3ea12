// The host build's stand-in for the effect window's platform: a simulated
// clock with a table of periodic timers in place of the window's SetTimer and
// WM_TIMER.
//
// Each spiral's window token (EffectWindow) is the address of a HostClock,
// which its caller holds: spirals on different clocks share nothing, and
// several spirals may share one clock. Nothing runs by itself: the caller
// moves the clock on, and every tick that falls due is delivered, in time
// order, by calling OnEffectTimer on the calling thread, as a window's
// message loop would on its UI thread. The new-target message is handled
// synchronously by calling ApplySpiralParameter, as SendMessageA to the
// window itself would.
#pragma once

#include <cstdint>

#include "effect/effect_platform.h"

// A window has few timers; a fixed table keeps the clock free of
// allocations. A set beyond its size fails, as SetTimer may.
constexpr int kHostClockTimers = 16;

struct HostTimer {
    bool running;
    SpiralState* state;  // whose timer it is
    uintptr_t id;
    uint32_t periodMs;
    uint64_t dueMs;
    uint64_t setOrder;
};

// A clock at 0 with no timers; its owner's thread alone touches it.
struct HostClock {
    HostTimer timers[kHostClockTimers] = {};
    uint64_t nowMs = 0;
    uint64_t setCount = 0;
    uint64_t newTargetsSent = 0;  // new-target messages sent through it
};

// The window token of a spiral that runs on this clock.
inline EffectWindow HostClockWindow(HostClock* clock) { return clock; }

// Moves the clock forward, delivering every tick due up to the new time.
// Ticks due at the same moment arrive in the order their timers were set.
void HostClockAdvance(HostClock* clock, uint64_t milliseconds);

// Whether a spiral's timer runs on the clock, and when it next falls due (0
// if it does not run).
bool HostTimerRunning(const HostClock* clock, const SpiralState* state, uintptr_t id);
uint64_t HostTimerDue(const HostClock* clock, const SpiralState* state, uintptr_t id);
