#include "x11/frame_budget.h"

namespace {

constexpr int64_t kNsPerSecond = 1000000000;
constexpr int64_t kNsPerMs = 1000000;
// With these bounds the owed steps (times 1e9) stay below 2e18, inside 64
// bits.
constexpr int64_t kGapLimitNs = 1000 * kNsPerSecond;
constexpr int64_t kRateLimit = 1000000;

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

FrameBudget::FrameBudget(int64_t stepsPerSecond, int64_t stepsPerBatch, int64_t maxGapNs)
    : stepsPerSecond_(Clamp(stepsPerSecond, 1, kRateLimit)),
      stepsPerBatch_(Clamp(stepsPerBatch, 1, kRateLimit)),
      maxGapNs_(Clamp(maxGapNs, 0, kGapLimitNs)) {}

FrameBudget::Share FrameBudget::Take(int64_t elapsedNs) {
    const int64_t elapsed = Clamp(elapsedNs, 0, maxGapNs_);
    owedStepNs_ += elapsed * stepsPerSecond_;
    const int64_t batchStepNs = stepsPerBatch_ * kNsPerSecond;
    const int64_t batches = owedStepNs_ / batchStepNs;
    owedStepNs_ -= batches * batchStepNs;

    spareNs_ += elapsed;
    const int64_t milliseconds = spareNs_ / kNsPerMs;
    spareNs_ -= milliseconds * kNsPerMs;
    return Share{batches, static_cast<uint64_t>(milliseconds)};
}

int64_t FrameBudget::NsUntilNextBatch() const {
    const int64_t missing = stepsPerBatch_ * kNsPerSecond - owedStepNs_;
    return (missing + stepsPerSecond_ - 1) / stepsPerSecond_;
}
