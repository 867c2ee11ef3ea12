// Engine benchmark: DrawSpiral steps per second on the software surface,
// beside a minimal loop doing the same work in the same run (so the engine's
// own share of the time shows as a ratio), and the bytes allocated per step.
//
//   gyrel-engine-bench [calls]     (draw calls of 1000 steps per size; 1500)
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"
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

// The benchmark's one spiral.
SpiralState g_benchSpiral;

void Start(SoftSurface* surface, const DrawOps* ops) {
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(row, kSettingDefinitions[row].defaultValue);
    }
    g_benchSpiral = SpiralState{};
    HostTimersReset();
    Paint(surface);
    static int window;
    SeedRandom(1996);
    SpiralCreate(&g_benchSpiral, &window, SoftSurfaceContext(surface), ops);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The work of a step without the engine around it: a source point from the
// same generator, the same maths (atan, sqrt, cos, sin) about the middle,
// and a copy of a 10 by 10 logical block at the surface's scale, straight
// into the buffer with no lock, no region test and no clipping (the block is
// kept inside the buffer by moving it, not by cutting it).
double ReferenceStepsPerSecond(int32_t width, int32_t height, int64_t steps) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u);
    std::minstd_rand random(1996);
    const double scaleX = width / 800.0, scaleY = height / 600.0;
    const int32_t blockW = static_cast<int32_t>(std::lround(10 * scaleX));
    const int32_t blockH = static_cast<int32_t>(std::lround(10 * scaleY));
    const double turn = AngleFromDialog(94);
    auto place = [](double v, int32_t limit) {
        const int32_t p = static_cast<int32_t>(v);
        return p < 0 ? 0 : (p > limit ? limit : p);
    };
    const Clock::time_point start = Clock::now();
    for (int64_t step = 0; step < steps; ++step) {
        const int32_t x = static_cast<int32_t>(random() % 799);
        const int32_t y = static_cast<int32_t>(random() % 599);
        const double dx = x - 400.0, dy = y - 300.0;
        double phi = dx != 0 ? std::atan(dy / dx) : (dy > 0 ? 1.570796327 : 4.712388981);
        if (dx < 0) phi += 3.141592654;
        const double r = std::sqrt(dx * dx + dy * dy) - 8;
        const double theta = phi - turn;
        const int32_t ex = static_cast<int32_t>(std::cos(theta) * r);
        const int32_t ey = static_cast<int32_t>(std::sin(theta) * r);
        const int32_t fromX = place(x * scaleX, width - blockW);
        const int32_t fromY = place(y * scaleY, height - blockH);
        const int32_t toX = place((400 + ex) * scaleX, width - blockW);
        const int32_t toY = place((300 + ey) * scaleY, height - blockH);
        for (int32_t row = 0; row < blockH; ++row) {
            std::memmove(&pixels[static_cast<size_t>(toY + row) * width + toX],
                         &pixels[static_cast<size_t>(fromY + row) * width + fromX],
                         static_cast<size_t>(blockW) * sizeof(uint32_t));
        }
    }
    const double seconds = Seconds(Clock::now() - start);
    // Keep the copies from being optimised away.
    uint32_t sum = 0;
    for (uint32_t p : pixels) sum ^= p;
    if (sum == 0x12345678u) std::printf(" ");
    return static_cast<double>(steps) / seconds;
}

void Measure(int32_t width, int32_t height, int calls) {
    SoftSurface surface;
    SoftSurfaceInit(&surface, width, height);
    const double steps = calls * 1000.0;

    // The engine as it runs: a warm-up call, then the timed ones, counting
    // every allocation made meanwhile.
    Start(&surface, &kSoftDrawOps);
    DrawSpiral(&g_benchSpiral);
    const unsigned long long callsBefore = AllocationCalls();
    const unsigned long long bytesBefore = AllocatedBytes();
    const Clock::time_point engineStart = Clock::now();
    for (int i = 0; i < calls; ++i) DrawSpiral(&g_benchSpiral);
    const double engineSeconds = Seconds(Clock::now() - engineStart);
    const unsigned long long allocations = AllocationCalls() - callsBefore;
    const unsigned long long bytes = AllocatedBytes() - bytesBefore;
    SpiralRelease(&g_benchSpiral);

    const double reference = ReferenceStepsPerSecond(width, height, static_cast<int64_t>(steps));
    std::printf("%5dx%-5d %10.0f %14.0f %16.0f %8.2f %12.3f %10llu\n", width, height, steps,
                steps / engineSeconds, reference, steps / engineSeconds / reference,
                static_cast<double>(bytes) / steps, allocations);
}

}  // namespace

int main(int argc, char** argv) {
    int calls = 1500;
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
                "same maths and the same 10x10 block copy, measured in the same run.\n");
    return 0;
}
