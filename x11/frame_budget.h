// Turns the real time between frames into whole batches of spiral steps at
// a fixed rate, and into whole milliseconds for the wander's clock, carrying
// the fractions over to the next frame so that neither drifts.
#pragma once

#include <cstdint>

class FrameBudget {
public:
    // stepsPerSecond and stepsPerBatch are kept within 1 .. 1000000. A gap longer than
    // maxGapNs (a stopped process, a suspended machine) counts as maxGapNs:
    // the spiral resumes where it was instead of racing to catch up.
    FrameBudget(int64_t stepsPerSecond, int64_t stepsPerBatch, int64_t maxGapNs);

    struct Share {
        int64_t batches;
        uint64_t milliseconds;
    };
    // The share of elapsedNs of real time (negative counts as 0).
    Share Take(int64_t elapsedNs);

    // Real time until the next whole batch is owed.
    int64_t NsUntilNextBatch() const;

private:
    int64_t stepsPerSecond_;
    int64_t stepsPerBatch_;
    int64_t maxGapNs_;
    int64_t owedStepNs_ = 0;  // steps owed, times 1e9
    int64_t spareNs_ = 0;     // below one millisecond
};
