#include "base/draw_pace.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr uint64_t kLongestUs = uint64_t{1} << 40;
}

DrawPace MakeDrawPace(double callsPerSecond, uint64_t lagAllowanceUs) {
    DrawPace pace{0, std::min(lagAllowanceUs, kLongestUs), 0, false};
    if (!(callsPerSecond > 0)) return pace;  // also NaN
    const double interval = std::min(1e6 / callsPerSecond, static_cast<double>(kLongestUs));
    // Rounded up: never faster than the budget.
    pace.intervalUs = std::max<uint64_t>(static_cast<uint64_t>(std::ceil(interval)), 1);
    return pace;
}

uint64_t TakeDueDrawCalls(DrawPace* pace, uint64_t nowUs, uint64_t most) {
    if (pace->intervalUs == 0) return most;
    if (!pace->started || nowUs >= pace->dueUs + std::max(pace->lagAllowanceUs, pace->intervalUs)) {
        pace->dueUs = nowUs;
        pace->started = true;
    }
    if (nowUs < pace->dueUs) return 0;
    const uint64_t due = std::min((nowUs - pace->dueUs) / pace->intervalUs + 1, most);
    pace->dueUs += due * pace->intervalUs;
    return due;
}

uint64_t PaceWaitUs(const DrawPace* pace, uint64_t nowUs) {
    if (pace->intervalUs == 0 || !pace->started || nowUs >= pace->dueUs) return 0;
    return pace->dueUs - nowUs;
}
