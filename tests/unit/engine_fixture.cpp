#include "tests/unit/engine_fixture.h"

#include <random>

#include "effect/effect_platform_host.h"
#include "effect/random.h"
#include "effect/settings.h"

HostClock g_testClock;
const EffectWindow kTestWindow = HostClockWindow(&g_testClock);
SpiralState g_testSpiral;

void UseDefaultSettings() {
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&g_testSpiral.settings, row, kSettingDefinitions[row].defaultValue);
    }
    g_testSpiral.settings.ActiveConfig = 1;
}

void EngineTest::SetUp() {
    DeleteDrawLock(g_testSpiral.lock);  // some tests set up again within one test
    g_testSpiral = SpiralState{};
    UseDefaultSettings();
    g_testSpiral.window = kTestWindow;
    g_testSpiral.lock = CreateDrawLock();
    g_testClock = HostClock{};
    SoftSurfaceInit(&surface, LOGICAL_WIDTH, LOGICAL_HEIGHT);
    Recorded().clear();
}

void EngineTest::TearDown() {
    if (created) SpiralRelease(&g_testSpiral);
    DeleteDrawLock(g_testSpiral.lock);
    g_testSpiral.lock = nullptr;
    Recorded().clear();
}

void EngineTest::Create(uint32_t seed) {
    g_testSpiral.random.seed(seed);
    SpiralCreate(&g_testSpiral, kTestWindow, SoftSurfaceContext(&surface), &kRecordingDrawOps);
    created = true;
    Recorded().clear();
}

void EngineTest::Place(int32_t cx, int32_t cy, float angleOffset) {
    if (created) SpiralRelease(&g_testSpiral);  // placed again within one test
    g_testSpiral.width = LOGICAL_WIDTH;
    g_testSpiral.height = LOGICAL_HEIGHT;
    g_testSpiral.dc = SoftSurfaceContext(&surface);
    g_testSpiral.ops = &kRecordingDrawOps;
    g_testSpiral.centre = SpiralPoint{cx, cy};
    g_testSpiral.angleOffset = angleOffset;
    g_testSpiral.brush = kRecordingDrawOps.createSolidBrush(0);
    g_testSpiral.clearing = 1;
    g_testSpiral.direction = 1;
    BuildFeedRegion(&g_testSpiral);
    created = true;
    Recorded().clear();
}

uint32_t SeedForSource(int32_t x, int32_t y) {
    for (uint32_t seed = 1;; ++seed) {
        std::minstd_rand generator(seed);
        if (static_cast<int32_t>(generator() % 799) != x) continue;
        if (static_cast<int32_t>(generator() % 599) == y) return seed;
    }
}

int DrawsMadeBy(uint32_t seed, const std::function<void()>& action) {
    g_testSpiral.random.seed(seed);
    action();
    const int32_t next = static_cast<int32_t>(g_testSpiral.random());
    std::minstd_rand reference(seed);
    for (int n = 0; n < 100000; ++n) {
        if (static_cast<int32_t>(reference()) == next) return n;
    }
    return -1;
}

int32_t NthRandom(uint32_t seed, int n) {
    std::minstd_rand reference(seed);
    reference.discard(static_cast<unsigned long long>(n));
    return static_cast<int32_t>(reference());
}

uint64_t PixelHash(const SoftSurface& surface) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the pixel words
    for (uint32_t pixel : surface.pixels) {
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (pixel >> (8 * byte)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

void PaintTestPicture(SoftSurface* surface) {
    for (int32_t y = 0; y < surface->height; ++y) {
        for (int32_t x = 0; x < surface->width; ++x) {
            const uint32_t red = static_cast<uint32_t>(x * 255 / (surface->width ? surface->width : 1));
            const uint32_t green = static_cast<uint32_t>(y * 255 / (surface->height ? surface->height : 1));
            const uint32_t blue = ((x / 25 + y / 25) % 2) ? 0xC0u : 0x30u;
            surface->pixels[static_cast<size_t>(y) * surface->width + x] =
                red | (green << 8) | (blue << 16);
        }
    }
}
