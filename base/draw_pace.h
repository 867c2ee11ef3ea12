// The step budget's one rule: how many draw calls are due now, at most so
// many a second, spread evenly over time. Every host paces its draws by it:
// the Windows draw worker one call at a time, sleeping out the wait between
// two; the X11 hack and the web page as many as are due at each frame.
//
// Each call falls due one interval after the one before it, so a call that
// starts a little late (sleeps are coarse, frames come when they come) is
// made up by the next ones, and the rate holds on average. A host that falls
// further behind than its lag allowance (a frozen worker, a hidden window, a
// suspended machine) starts afresh from the present instead of catching up
// in a burst.
#pragma once

#include <cstdint>

struct DrawPace {
    uint64_t intervalUs;      // 0: no budget, calls go back to back
    uint64_t lagAllowanceUs;  // how far behind is still made up
    uint64_t dueUs;           // when the next call falls due
    bool started;
};

// A pace of the given calls a second; 0, a negative rate or NaN give no
// budget. A rate so low that an interval would exceed 2^40 microseconds
// (about twelve days) is held there; so is the allowance.
DrawPace MakeDrawPace(double callsPerSecond, uint64_t lagAllowanceUs);

// At time nowUs (any steady clock): how many calls are due, at most `most`;
// they are booked as made. Without a budget, `most`.
uint64_t TakeDueDrawCalls(DrawPace* pace, uint64_t nowUs, uint64_t most);

// How long from nowUs until a call falls due: 0 when one is due now, and
// without a budget.
uint64_t PaceWaitUs(const DrawPace* pace, uint64_t nowUs);
