#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "effect/random.h"

namespace {

TEST(Random, FollowsTheStandardGeneratorForASeed) {
    SeedRandom(12345);
    std::minstd_rand reference(12345);
    for (int i = 0; i < 1000; ++i) {
        int32_t value = RandomNext();
        ASSERT_EQ(value, static_cast<int32_t>(reference()));
        ASSERT_GT(value, 0);
    }
}

TEST(Random, ABoundOfZeroDrawsNothing) {
    SeedRandom(7);
    std::minstd_rand reference(7);
    EXPECT_EQ(RandomMod(0), 0);
    EXPECT_EQ(RandomMod(150), static_cast<int64_t>(reference() % 150));
    // A negative bound (possible from extreme settings) still gives a
    // non-negative remainder.
    int64_t remainder = RandomMod(-10);
    EXPECT_EQ(remainder, static_cast<int64_t>(reference() % 10));
    EXPECT_GE(RandomMod(INT64_MIN), 0);
}

TEST(Random, TwoThreadsDrawTheSequenceWithoutLosingValues) {
    constexpr int kPerThread = 200000;
    SeedRandom(99);
    std::vector<int32_t> a(kPerThread), b(kPerThread);
    std::thread first([&] { for (auto& v : a) v = RandomNext(); });
    std::thread second([&] { for (auto& v : b) v = RandomNext(); });
    first.join();
    second.join();

    std::vector<int32_t> drawn(a);
    drawn.insert(drawn.end(), b.begin(), b.end());
    std::sort(drawn.begin(), drawn.end());

    std::minstd_rand reference(99);
    std::vector<int32_t> expected(2 * kPerThread);
    for (auto& v : expected) v = static_cast<int32_t>(reference());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(drawn, expected);
}

}  // namespace
