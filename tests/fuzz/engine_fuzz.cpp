// The spiral engine on the software surface under any settings (all seven,
// any 32-bit values, as CONTROL.INI may hold them), any surface up to a
// bounded area, any seed, and a bounded script of draw calls, single steps,
// clock advances and live parameter changes. Whatever it is given, the
// engine stays defined (the sanitizers watch), hands the surface coordinates
// within its limits, draws and touches its region and brush only under
// DrawLock while a worker could run, keeps the centre in its band and the
// wander going, and releases every region and brush it made.
//
// Input, little-endian, zeros past the end: seven int32 (the dialog values
// of rows 0..5, then ActiveConfig), width and height (uint16 each, reduced to
// the surface's largest side, and the height then to 16384 pixels in all: a
// step may copy the whole surface), the seed (uint32), then one byte per
// event: its low two bits choose the kind and the other six its amount.
//   0  a draw call of 1000 steps
//   1  1..64 single steps
//   2  the clock moved on 0..6300 ms, 100 ms a unit
//   3  a live parameter: the amount picks the row (0..5, a new target, or
//      an unknown index); the value, a uint16, follows
// At most 4000 steps and 10 simulated seconds are run; later events are cut.
#include <vector>

#include "effect/control_messages.h"
#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxSteps = 4000;
constexpr uint64_t kMaxTimeMs = 10000;
constexpr int64_t kMaxArea = 16384;
constexpr uint16_t kParameterIndices[8] = {0, 1, 2, 3, 4, 5, PARAM_NEW_TARGET, 0xFFFF};

enum class EventKind { Draw, Steps, Advance, Parameter };

struct Event {
    EventKind kind;
    uint32_t amount;  // steps, milliseconds or the parameter index
    uint16_t value;
};

struct EngineRun {
    int32_t settings[kSettingsRows];
    int32_t activeConfig;
    int32_t width;
    int32_t height;
    uint32_t seed;
    std::vector<Event> events;
};

EngineRun Decode(FuzzReader& input) {
    EngineRun run;
    for (int32_t& value : run.settings) value = input.I32();
    run.activeConfig = input.I32();
    run.width = input.U16() % (kSoftSurfaceMaxSide + 1);
    run.height = input.U16() % (kSoftSurfaceMaxSide + 1);
    if (int64_t{run.width} * run.height > kMaxArea) run.height = static_cast<int32_t>(kMaxArea / run.width);
    run.seed = input.U32();

    int steps = 0;
    uint64_t timeMs = 0;
    while (!input.Empty()) {
        const uint8_t byte = input.U8();
        const uint32_t amount = byte >> 2;
        Event event{};
        switch (byte & 3) {
            case 0:
                event = {EventKind::Draw, 0, 0};
                steps += kStepsPerDrawCall;
                break;
            case 1:
                event = {EventKind::Steps, amount + 1, 0};
                steps += static_cast<int>(amount) + 1;
                break;
            case 2:
                event = {EventKind::Advance, amount * 100, 0};
                timeMs += event.amount;
                break;
            default:
                event = {EventKind::Parameter, kParameterIndices[amount % 8], input.U16()};
                break;
        }
        if (steps > kMaxSteps || timeMs > kMaxTimeMs) break;
        run.events.push_back(event);
    }
    return run;
}

bool Within(int64_t value, int64_t limit) { return value >= -limit && value <= limit; }

// Between creation and release the draw worker may run, so every operation
// on the picture, the brush or the feed region must then hold DrawLock.
bool g_workerMayRun = false;
int g_brushesAlive = 0;

void CheckLocked() { FUZZ_CHECK(!g_workerMayRun || DrawLocksHeldHere() > 0); }

void CheckedCopyBlock(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                      int32_t sy) {
    CheckLocked();
    for (int32_t v : {dx, dy, w, h, sx, sy}) FUZZ_CHECK(Within(v, kBlockCoordinateLimit));
    kSoftDrawOps.copyBlock(dc, dx, dy, w, h, sx, sy);
}

void CheckedBlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    CheckLocked();
    for (int32_t v : {x, y, w, h}) FUZZ_CHECK(Within(v, kBlockCoordinateLimit));
    kSoftDrawOps.blackOut(dc, x, y, w, h);
}

// Soft brushes are plain colours, so only a count shows a leaked or twice
// deleted brush, as GDI handles would be.
DrawBrush CheckedCreateSolidBrush(uint32_t colorref) {
    CheckLocked();
    ++g_brushesAlive;
    return kSoftDrawOps.createSolidBrush(colorref);
}

void CheckedDeleteBrush(DrawBrush brush) {
    CheckLocked();
    --g_brushesAlive;
    FUZZ_CHECK(g_brushesAlive >= 0);
    kSoftDrawOps.deleteBrush(brush);
}

DrawRegion CheckedRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    CheckLocked();
    for (int32_t v : {left, top, right, bottom}) FUZZ_CHECK(Within(v, kRegionCoordinateLimit));
    return kSoftDrawOps.createRectRegion(left, top, right, bottom);
}

// A mirrored triangle reaches the logical width further.
DrawRegion CheckedTriangleRegion(const DrawPoint points[3]) {
    CheckLocked();
    for (int i = 0; i < 3; ++i) {
        FUZZ_CHECK(Within(points[i].x, kRegionCoordinateLimit + LOGICAL_WIDTH));
        FUZZ_CHECK(Within(points[i].y, kRegionCoordinateLimit));
    }
    return kSoftDrawOps.createTriangleRegion(points);
}

void CheckedUnionRegion(DrawRegion destination, DrawRegion other) {
    CheckLocked();
    kSoftDrawOps.unionRegion(destination, other);
}

void CheckedDeleteRegion(DrawRegion region) {
    CheckLocked();
    kSoftDrawOps.deleteRegion(region);
}

bool CheckedPointInRegion(DrawRegion region, int32_t x, int32_t y) {
    CheckLocked();
    return kSoftDrawOps.pointInRegion(region, x, y);
}

// The flood paints with the one brush the engine holds.
void CheckedFillRegion(DrawContext dc, DrawRegion region, DrawBrush brush) {
    CheckLocked();
    FUZZ_CHECK(g_brushesAlive == 1);
    kSoftDrawOps.fillRegion(dc, region, brush);
}

const DrawOps kCheckedOps = {
    CheckedCopyBlock,  CheckedBlackOut,       CheckedCreateSolidBrush, CheckedDeleteBrush,
    CheckedRectRegion, CheckedTriangleRegion, CheckedUnionRegion,      CheckedDeleteRegion,
    CheckedPointInRegion, CheckedFillRegion,
};

// Everything that touches the engine's state, kept together so that it
// follows the engine's interface in a few lines.
void DriveEngine(const EngineRun& run, SoftSurface* surface) {
    HostClock clock;
    SpiralState spiral{};
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&spiral.settings, row, run.settings[row]);
    }
    spiral.settings.ActiveConfig = run.activeConfig;
    spiral.random.seed(run.seed);
    spiral.lock = CreateDrawLock();
    const int regionsBefore = SoftRegionsAlive();
    g_brushesAlive = 0;

    SpiralCreate(&spiral, HostClockWindow(&clock), SoftSurfaceContext(surface), &kCheckedOps);
    g_workerMayRun = true;
    for (const Event& event : run.events) {
        switch (event.kind) {
            case EventKind::Draw:
                DrawSpiral(&spiral);
                break;
            case EventKind::Steps:
                for (uint32_t i = 0; i < event.amount; ++i) {
                    EnterDrawLock(spiral.lock);
                    SpiralStep(&spiral, spiral.dc);
                    LeaveDrawLock(spiral.lock);
                }
                break;
            case EventKind::Advance:
                HostClockAdvance(&clock, event.amount);
                break;
            case EventKind::Parameter:
                ApplySpiralParameter(&spiral, event.amount, event.value);
                break;
        }
        FUZZ_CHECK(DrawLocksHeldHere() == 0);
        // The wander's band: 325 plus less than 150.
        FUZZ_CHECK(spiral.centre.x >= 325 && spiral.centre.x <= 474);
        FUZZ_CHECK(spiral.centre.y == LOGICAL_HEIGHT / 2);
        FUZZ_CHECK(HostTimerRunning(&clock, &spiral, TIMER_COUNTDOWN) ||
                   HostTimerRunning(&clock, &spiral, TIMER_GLIDE));
    }
    g_workerMayRun = false;
    SpiralRelease(&spiral);
    DeleteDrawLock(spiral.lock);
    FUZZ_CHECK(SoftRegionsAlive() == regionsBefore);
    FUZZ_CHECK(g_brushesAlive == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader input(data, size);
    const EngineRun run = Decode(input);

    SoftSurface surface;
    SoftSurfaceInit(&surface, run.width, run.height);
    for (int32_t y = 0; y < surface.height; ++y) {
        for (int32_t x = 0; x < surface.width; ++x) {
            surface.pixels[static_cast<size_t>(y) * surface.width + x] =
                (static_cast<uint32_t>(x) * 0x010307u + static_cast<uint32_t>(y) * 0x070301u) & 0xFFFFFFu;
        }
    }
    DriveEngine(run, &surface);
    return 0;
}
