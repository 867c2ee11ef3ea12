// Engine benchmark: DrawSpiral steps per second on the software surface, the
// same block operations replayed bare in the same run (so the engine's own
// share of the time shows as a ratio), and the bytes allocated per step.
//
//   gyrel-engine-bench [calls]     (draw calls of 1000 steps per size; 1500)
#include <chrono>
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

// One recorded block operation of a step: a copy or a black-out.
struct BlockOp {
    bool blackOut;
    int32_t dx, dy, w, h, sx, sy;
};

std::vector<BlockOp>* g_recording = nullptr;

void RecordCopy(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy) {
    g_recording->push_back(BlockOp{false, dx, dy, w, h, sx, sy});
    kSoftDrawOps.copyBlock(dc, dx, dy, w, h, sx, sy);
}

void RecordBlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    g_recording->push_back(BlockOp{true, x, y, w, h, 0, 0});
    kSoftDrawOps.blackOut(dc, x, y, w, h);
}

DrawOps RecordingOps() {
    DrawOps ops = kSoftDrawOps;
    ops.copyBlock = RecordCopy;
    ops.blackOut = RecordBlackOut;
    return ops;
}

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

    // The same run again, recording its block operations...
    std::vector<BlockOp> recording;
    recording.reserve(static_cast<size_t>(calls + 1) * 1000);
    g_recording = &recording;
    static DrawOps recordingOps;
    recordingOps = RecordingOps();
    Start(&surface, &recordingOps);
    DrawSpiral(&g_benchSpiral);
    const size_t warmUp = recording.size();
    for (int i = 0; i < calls; ++i) DrawSpiral(&g_benchSpiral);
    SpiralRelease(&g_benchSpiral);

    // ...replayed bare on the same start picture.
    Paint(&surface);
    for (size_t i = 0; i < warmUp; ++i) {
        const BlockOp& op = recording[i];
        if (op.blackOut) {
            kSoftDrawOps.blackOut(&surface, op.dx, op.dy, op.w, op.h);
        } else {
            kSoftDrawOps.copyBlock(&surface, op.dx, op.dy, op.w, op.h, op.sx, op.sy);
        }
    }
    const Clock::time_point copiesStart = Clock::now();
    for (size_t i = warmUp; i < recording.size(); ++i) {
        const BlockOp& op = recording[i];
        if (op.blackOut) {
            kSoftDrawOps.blackOut(&surface, op.dx, op.dy, op.w, op.h);
        } else {
            kSoftDrawOps.copyBlock(&surface, op.dx, op.dy, op.w, op.h, op.sx, op.sy);
        }
    }
    const double copySeconds = Seconds(Clock::now() - copiesStart);

    std::printf("%5dx%-5d %10.0f %14.0f %16.0f %8.2f %12.3f %10llu\n", width, height, steps,
                steps / engineSeconds, static_cast<double>(recording.size() - warmUp) / copySeconds,
                engineSeconds / copySeconds, static_cast<double>(bytes) / steps, allocations);
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
    std::printf("%-11s %10s %14s %16s %8s %12s %10s\n", "size", "steps", "steps/s", "bare blocks/s",
                "ratio", "bytes/step", "allocs");
    Measure(800, 600, calls);
    Measure(1920, 1080, calls);
    std::printf("ratio: engine time over the time of its block operations alone.\n");
    return 0;
}
