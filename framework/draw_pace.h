// The draw worker's budget: at most so many draw calls a second, spread
// evenly over time.
//
// Each call has a due time one interval after the previous one's, so the
// loop never runs more than one call ahead of the budget, and a call that
// starts a little late (the platform's sleeps are coarse) is made up by the
// next one starting a little early, so the rate holds on average. A loop that
// falls a whole interval behind (a frozen worker, a busy machine) starts
// afresh from the present instead of catching up in a burst.
#pragma once

#include <cstdint>

struct DrawPace {
    uint64_t intervalUs;  // 0: no budget, calls go back to back
    uint64_t dueUs;       // when the next call may start
    bool started;
};

// A pace of the given calls a second; 0, a negative rate or NaN give no
// budget. A rate so low that an interval would exceed 2^40 microseconds (about
// twelve days) is held there.
DrawPace MakeDrawPace(double callsPerSecond);

// At time nowUs (any steady clock): 0 when the next call may start now, and
// that call is then booked; otherwise how many microseconds to wait first.
uint64_t PaceWaitUs(DrawPace* pace, uint64_t nowUs);
