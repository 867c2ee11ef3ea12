// Engine benchmark: DrawSpiral steps per second on the software surface,
// beside a minimal loop doing the same work in the same run (so the engine's
// own share of the time shows as a ratio), and the bytes allocated per step.
//
//   gyrel-engine-bench [calls]     (draw calls of 1000 steps per size; 3000)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effect/random.h"
#include "effect/settings.h"
#include "effect/soft_run.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"
#include "tools/bench/allocation_count.h"

namespace {

using Clock = std::chrono::steady_clock;

void Paint(SoftSurface* s) {
    for (int32_t y = 0; y < s->height; ++y) {
        for (int32_t x = 0; x < s->width; ++x) {
            s->pixels[static_cast<size_t>(y) * s->width + x] =
                static_cast<uint32_t>((x * 7) & 0xFF) | static_cast<uint32_t>(((y * 5) & 0xFF) << 8) |
                (((x ^ y) & 0x20) ? 0xC00000u : 0x300000u);
        }
    }
}

// Starts the run's spiral, default settings and a fixed seed, on the test
// picture painted over its surface (already sized).
void Start(SoftRun* run) {
    SpiralSettings settings{};
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&settings, row, kSettingDefinitions[row].defaultValue);
    }
    Paint(&run->surface);
    if (!SoftRunStart(run, settings, 1996)) std::abort();
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The work of a step without the engine around it: a source point from the
// same generator, the same maths (atan, sqrt, cos, sin) about the middle,
// and a copy of a 10 by 10 logical block at the surface's scale, straight
// into the buffer with no lock, no region test and no clipping (the block is
// kept inside the buffer by moving it, not by cutting it); and, as the
// spiral floods its feed region every 5000 steps by default, as many pixels
// filled as often. It runs in slices, so that it can take turns with the
// engine.
class ReferenceLoop {
public:
    ReferenceLoop(int32_t width, int32_t height, int64_t flooded)
        : width_(width), height_(height), flooded_(flooded),
          pixels_(static_cast<size_t>(width) * height), random_(1996),
          scaleX_(width / 800.0), scaleY_(height / 600.0),
          blockW_(static_cast<int32_t>(std::lround(10 * scaleX_))),
          blockH_(static_cast<int32_t>(std::lround(10 * scaleY_))), turn_(AngleFromDialog(94)) {
        for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = static_cast<uint32_t>(i * 2654435761u);
    }

    void Run(int64_t steps) {
        auto place = [](double v, int32_t limit) {
            const int32_t p = static_cast<int32_t>(v);
            return p < 0 ? 0 : (p > limit ? limit : p);
        };
        for (int64_t i = 0; i < steps; ++i, ++step_) {
            if (step_ % 5000 == 4999) {
                std::fill(pixels_.begin(), pixels_.begin() + flooded_, static_cast<uint32_t>(step_));
            }
            const int32_t x = static_cast<int32_t>(random_() % 799);
            const int32_t y = static_cast<int32_t>(random_() % 599);
            const double dx = x - 400.0, dy = y - 300.0;
            double phi = dx != 0 ? std::atan(dy / dx) : (dy > 0 ? 1.570796327 : 4.712388981);
            if (dx < 0) phi += 3.141592654;
            const double r = std::sqrt(dx * dx + dy * dy) - 8;
            const double theta = phi - turn_;
            const int32_t ex = static_cast<int32_t>(std::cos(theta) * r);
            const int32_t ey = static_cast<int32_t>(std::sin(theta) * r);
            const int32_t fromX = place(x * scaleX_, width_ - blockW_);
            const int32_t fromY = place(y * scaleY_, height_ - blockH_);
            const int32_t toX = place((400 + ex) * scaleX_, width_ - blockW_);
            const int32_t toY = place((300 + ey) * scaleY_, height_ - blockH_);
            for (int32_t row = 0; row < blockH_; ++row) {
                std::memmove(&pixels_[static_cast<size_t>(toY + row) * width_ + toX],
                             &pixels_[static_cast<size_t>(fromY + row) * width_ + fromX],
                             static_cast<size_t>(blockW_) * sizeof(uint32_t));
            }
        }
    }

    // Something of every pixel, so that the copies cannot be optimised away.
    uint32_t Digest() const {
        uint32_t sum = 0;
        for (uint32_t p : pixels_) sum ^= p;
        return sum;
    }

private:
    int32_t width_, height_;
    int64_t flooded_;
    std::vector<uint32_t> pixels_;
    std::minstd_rand random_;
    double scaleX_, scaleY_;
    int32_t blockW_, blockH_;
    double turn_;
    int64_t step_ = 0;
};

// How many pixels the spiral's floods cover: its feed region, filled once on
// a surface of the same size.
int64_t FloodedPixels(int32_t width, int32_t height) {
    SoftRun run;
    SoftSurfaceInit(&run.surface, width, height);
    Start(&run);
    kSoftDrawOps.fillRegion(&run.surface, run.spiral.feedRegion, kSoftDrawOps.createSolidBrush(1));
    SoftRunEnd(&run);
    int64_t flooded = 0;
    for (uint32_t pixel : run.surface.pixels) flooded += pixel == 1 ? 1 : 0;
    return flooded;
}

// The engine and the reference loop take turns in short slices of ten draw
// calls (10,000 steps) each, the first of a pair alternating, so that both
// meet the machine in the same state: another program's burst slows both
// sides of the pairs it falls in, not one side of the whole run. The ratio is
// the median of the pairs' ratios; the speeds are over all slices.
constexpr int kCallsPerSlice = 50;

void Measure(int32_t width, int32_t height, int calls) {
    const int64_t flooded = FloodedPixels(width, height);
    ReferenceLoop reference(width, height, flooded);
    const int64_t sliceSteps = int64_t{kCallsPerSlice} * kStepsPerDrawCall;
    // The engine as it runs: a warm-up call, and a slice of the reference.
    SoftRun run;
    SoftSurfaceInit(&run.surface, width, height);
    Start(&run);
    SoftRunDraw(&run);
    reference.Run(sliceSteps);

    const int slices = std::max(1, calls / kCallsPerSlice);
    std::vector<double> ratios;
    ratios.reserve(static_cast<size_t>(slices));
    double engineSeconds = 0, referenceSeconds = 0;
    unsigned long long allocations = 0, bytes = 0;
    for (int slice = 0; slice < slices; ++slice) {
        double engineTime = 0, referenceTime = 0;
        for (int side = 0; side < 2; ++side) {
            const bool engineTurn = (side == 0) == (slice % 2 == 0);
            const Clock::time_point start = Clock::now();
            if (engineTurn) {
                // Every allocation made during the engine's calls is counted.
                const unsigned long long callsBefore = AllocationCalls();
                const unsigned long long bytesBefore = AllocatedBytes();
                for (int i = 0; i < kCallsPerSlice; ++i) SoftRunDraw(&run);
                engineTime = Seconds(Clock::now() - start);
                allocations += AllocationCalls() - callsBefore;
                bytes += AllocatedBytes() - bytesBefore;
            } else {
                reference.Run(sliceSteps);
                referenceTime = Seconds(Clock::now() - start);
            }
        }
        engineSeconds += engineTime;
        referenceSeconds += referenceTime;
        ratios.push_back(referenceTime / engineTime);
    }
    SoftRunEnd(&run);
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    const double steps = static_cast<double>(slices) * sliceSteps;
    if (reference.Digest() == 0x12345678u) std::printf(" ");
    std::printf("%5dx%-5d %10.0f %14.0f %16.0f %8.2f %12.3f %10llu\n", width, height, steps,
                steps / engineSeconds, steps / referenceSeconds, ratios[ratios.size() / 2],
                static_cast<double>(bytes) / steps, allocations);
}

}  // namespace

int main(int argc, char** argv) {
    int calls = 3000;
    if (argc > 1) {
        calls = std::atoi(argv[1]);
        if (calls < 1 || calls > 100000) {
            std::fprintf(stderr, "usage: gyrel-engine-bench [draw calls per size, 1..100000]\n");
            return 2;
        }
    }
    // The counter must see allocations, or its zeros would mean nothing.
    const unsigned long long before = AllocationCalls();
    std::vector<int>* probe = new std::vector<int>(16);
    delete probe;
    if (AllocationCalls() == before) {
        std::fprintf(stderr, "gyrel-engine-bench: allocation counting is not active\n");
        return 1;
    }
    std::printf("Spiral engine on the software surface, default settings, wander held still.\n");
    std::printf("%-11s %10s %14s %16s %8s %12s %10s\n", "size", "steps", "steps/s",
                "reference/s", "ratio", "bytes/step", "allocs");
    Measure(800, 600, calls);
    Measure(1920, 1080, calls);
    std::printf("ratio: the engine's steps a second over those of a minimal loop doing the\n"
                "same maths, the same 10x10 block copy and as much flooding: the median over\n"
                "slices of 10,000 steps each, the two taking turns in the same run.\n");
    return 0;
}
