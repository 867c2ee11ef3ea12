#include "framework/draw_pace.h"

#include <cmath>

namespace {
constexpr double kMaxIntervalUs = 1099511627776.0;  // 2^40
}

DrawPace MakeDrawPace(double callsPerSecond) {
    DrawPace pace{0, 0, false};
    if (!(callsPerSecond > 0)) return pace;  // also NaN
    double interval = 1e6 / callsPerSecond;
    if (interval > kMaxIntervalUs) interval = kMaxIntervalUs;
    // Rounded up: never faster than the budget.
    pace.intervalUs = static_cast<uint64_t>(std::ceil(interval));
    if (pace.intervalUs == 0) pace.intervalUs = 1;
    return pace;
}

uint64_t PaceWaitUs(DrawPace* pace, uint64_t nowUs) {
    if (pace->intervalUs == 0) return 0;
    if (!pace->started || nowUs >= pace->dueUs + pace->intervalUs) {
        pace->dueUs = nowUs;
        pace->started = true;
    }
    if (nowUs < pace->dueUs) return pace->dueUs - nowUs;
    pace->dueUs += pace->intervalUs;
    return 0;
}
