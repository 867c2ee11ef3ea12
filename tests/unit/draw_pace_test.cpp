// The step budget's rule, as the Windows worker uses it (one call at a time,
// sleeping between) and as the hack and the page use it (the calls due at
// each frame).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/draw_pace.h"

namespace {

TEST(DrawPace, NoBudgetNeverWaits) {
    for (double rate : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
        DrawPace pace = MakeDrawPace(rate, 0);
        for (uint64_t now = 0; now < 5; ++now) {
            EXPECT_EQ(TakeDueDrawCalls(&pace, now, 7), 7u) << rate;
            EXPECT_EQ(PaceWaitUs(&pace, now), 0u) << rate;
        }
    }
}

// A worker on a simulated clock whose sleeps end only on the platform's
// coarse ticks: whatever the tick, the calls keep to the budget on average
// and never run more than one call ahead of it.
TEST(DrawPace, OneAtATimeKeepsTheBudgetEvenlyWithCoarseSleeps) {
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
        DrawPace pace = MakeDrawPace(c.callsPerSecond, 0);
        const uint64_t start = 123456789;
        uint64_t now = start;
        int calls = 0;
        while (now - start < 20000000) {
            if (TakeDueDrawCalls(&pace, now, 1) == 0) {
                const uint64_t wait = PaceWaitUs(&pace, now);
                ASSERT_GT(wait, 0u);
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

// Frames at given gaps, each taking every call due: the calls made, and the
// wait after the last frame.
TEST(DrawPace, FramesTakeWhatFellDueWithinTheAllowance) {
    struct Case {
        const char* name;
        uint64_t allowanceUs;
        std::vector<uint64_t> gapsUs;
        uint64_t calls;
        uint64_t waitAfterUs;
    };
    const Case cases[] = {
        // 30 calls a second: an interval of 33334 us.
        {"a second in 40 frames", 250000, std::vector<uint64_t>(40, 25000), 30, 20},
        {"late frames made up", 250000, {100000, 100000}, 6, 4},
        {"a long stop starts afresh", 250000, {3600000000}, 2, 33334},
        {"behind by a whole interval, with no allowance", 0, {100000}, 2, 33334},
    };
    for (const Case& c : cases) {
        DrawPace pace = MakeDrawPace(30, c.allowanceUs);
        uint64_t now = 1000;
        uint64_t calls = TakeDueDrawCalls(&pace, now, UINT64_MAX);  // the first is due at once
        for (uint64_t gap : c.gapsUs) {
            now += gap;
            calls += TakeDueDrawCalls(&pace, now, UINT64_MAX);
        }
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(PaceWaitUs(&pace, now), c.waitAfterUs) << c.name;
    }
}

TEST(DrawPace, AtMostTheCallsAskedFor) {
    DrawPace pace = MakeDrawPace(1000, 1000000);
    EXPECT_EQ(TakeDueDrawCalls(&pace, 0, 1), 1u);
    EXPECT_EQ(TakeDueDrawCalls(&pace, 10000, 4), 4u);  // ten due, four made
    EXPECT_EQ(TakeDueDrawCalls(&pace, 10000, 100), 6u);  // the rest still due
    EXPECT_EQ(PaceWaitUs(&pace, 10000), 1000u);
}

}  // namespace
