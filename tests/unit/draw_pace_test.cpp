#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/draw_pace.h"

namespace {

TEST(DrawPace, NoBudgetNeverWaits) {
    for (double rate : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
        DrawPace pace = MakeDrawPace(rate);
        for (uint64_t now = 0; now < 5; ++now) EXPECT_EQ(PaceWaitUs(&pace, now), 0u) << rate;
    }
}

// A worker on a simulated clock whose sleeps end only on the platform's
// coarse ticks: whatever the tick, the calls keep to the budget on average
// and never run more than one call ahead of it.
TEST(DrawPace, KeepsTheBudgetEvenlyWithCoarseSleeps) {
    struct Case {
        double callsPerSecond;
        uint64_t callUs;  // how long one draw call takes
        uint64_t tickUs;  // sleep granularity
        double expectedPerSecond;
    };
    const Case cases[] = {
        {30, 2000, 15625, 30},     // the default budget, Windows' default tick
        {30, 2000, 1000, 30},      // a fine tick
        {1.5, 100, 15625, 1.5},    // a budget below one call a second
        {1000, 2000, 15625, 500},  // a machine slower than the budget: back to back
    };
    for (const Case& c : cases) {
        DrawPace pace = MakeDrawPace(c.callsPerSecond);
        const uint64_t start = 123456789;
        uint64_t now = start;
        int calls = 0;
        while (now - start < 20000000) {
            uint64_t wait = PaceWaitUs(&pace, now);
            if (wait > 0) {
                now += (wait + c.tickUs - 1) / c.tickUs * c.tickUs;
                continue;
            }
            ++calls;
            double allowed = c.callsPerSecond * static_cast<double>(now - start) / 1e6 + 1;
            ASSERT_LE(calls, allowed + 1e-9) << c.callsPerSecond << " ahead at " << now - start;
            now += c.callUs;
        }
        EXPECT_NEAR(calls / 20.0, c.expectedPerSecond, c.expectedPerSecond * 0.01 + 0.05)
            << c.callsPerSecond << " calls/s, tick " << c.tickUs;
    }
}

TEST(DrawPace, AStallIsNotMadeUpInABurst) {
    DrawPace pace = MakeDrawPace(30);
    EXPECT_EQ(PaceWaitUs(&pace, 0), 0u);
    // Frozen for ten seconds: 300 calls behind, yet the next call after the
    // one it may make at once waits a whole interval.
    EXPECT_EQ(PaceWaitUs(&pace, 10000000), 0u);
    EXPECT_EQ(PaceWaitUs(&pace, 10000000), 33334u);
}

}  // namespace
