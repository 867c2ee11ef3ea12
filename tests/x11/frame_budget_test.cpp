// Real time into batches of steps and milliseconds of wander clock.
#include <gtest/gtest.h>

#include <vector>

#include "x11/frame_budget.h"

namespace {

struct Case {
    const char* name;
    int64_t maxGapNs;
    std::vector<int64_t> elapsedNs;
    int64_t batches;
    uint64_t milliseconds;
};

TEST(FrameBudget, SharesOfRealTime) {
    const Case cases[] = {
        {"one second in 40 frames", 1000000000, std::vector<int64_t>(40, 25000000), 30, 1000},
        {"fractions carried", 1000000000, std::vector<int64_t>(3, 500000), 0, 1},
        {"a long stop counts as the allowed gap", 250000000, {3600000000000}, 7, 250},
        {"time running backwards counts as none", 1000000000, {-5000000000, 34000000}, 1, 34},
    };
    for (const Case& c : cases) {
        FrameBudget budget(30000, 1000, c.maxGapNs);
        int64_t batches = 0;
        uint64_t milliseconds = 0;
        for (int64_t elapsed : c.elapsedNs) {
            const FrameBudget::Share share = budget.Take(elapsed);
            batches += share.batches;
            milliseconds += share.milliseconds;
        }
        EXPECT_EQ(batches, c.batches) << c.name;
        EXPECT_EQ(milliseconds, c.milliseconds) << c.name;
    }
}

TEST(FrameBudget, NextBatchFallsDueAfterItsShareOfASecond) {
    FrameBudget budget(30000, 1000, 1000000000);
    EXPECT_EQ(budget.NsUntilNextBatch(), 33333334);
    budget.Take(20000000);
    EXPECT_EQ(budget.NsUntilNextBatch(), 13333334);
    EXPECT_EQ(budget.Take(13333334).batches, 1);
}

}  // namespace
