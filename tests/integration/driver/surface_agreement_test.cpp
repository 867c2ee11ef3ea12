// The software surface against real GDI, in one Windows process (so both
// sides share one maths library): the same operations, and whole runs of the
// spiral engine from the same seed and picture, must leave the same pixels on
// the software surface as on a GDI memory DC over a 32-bit DIB section mapped
// as the effect window maps its DC.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "effect/control_messages.h"
#include "effect/draw_ops_gdi.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"

namespace {

// 0x00BBGGRR on the surface, 0x00RRGGBB in the DIB.
uint32_t SwapRedBlue(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// A memory DC over a top-down 32-bit DIB section, mapped 800 by 600 onto it.
class GdiPicture {
public:
    GdiPicture(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        SetMapMode(dc_, MM_ANISOTROPIC);
        SetWindowExtEx(dc_, kLogicalWidth, kLogicalHeight, nullptr);
        SetViewportExtEx(dc_, width, height, nullptr);
        SetViewportOrgEx(dc_, 0, 0, nullptr);
    }
    ~GdiPicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    GdiPicture(const GdiPicture&) = delete;
    GdiPicture& operator=(const GdiPicture&) = delete;

    bool Valid() const { return dc_ != nullptr && bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    uint32_t Pixel(size_t i) const { return bits_[i] & 0x00FFFFFFu; }
    void CopyFrom(const SoftSurface& s) {
        GdiFlush();
        for (size_t i = 0; i < s.pixels.size(); ++i) bits_[i] = SwapRedBlue(s.pixels[i]);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// Pixels that differ, and where the first one is.
struct Difference {
    long count = 0;
    int x = 0;
    int y = 0;
};

Difference Compare(const GdiPicture& gdi, const SoftSurface& soft) {
    GdiFlush();
    Difference d;
    for (size_t i = 0; i < soft.pixels.size(); ++i) {
        if (gdi.Pixel(i) != SwapRedBlue(soft.pixels[i])) {
            if (d.count++ == 0) {
                d.x = static_cast<int>(i % soft.width);
                d.y = static_cast<int>(i / soft.width);
            }
        }
    }
    return d;
}

// Bands, a grid and noise: every copy, clip and fill shows in it.
void PaintStartPicture(SoftSurface* s, uint32_t seed) {
    std::minstd_rand noise(seed);
    for (int y = 0; y < s->height; ++y) {
        for (int x = 0; x < s->width; ++x) {
            uint32_t colour = static_cast<uint32_t>((x * 255 / s->width) | ((y * 255 / s->height) << 8));
            colour |= ((x / 7 + y / 5) % 3) * 0x500000u;
            if ((x + y) % 13 == 0) colour = noise() & 0x00FFFFFFu;
            s->pixels[static_cast<size_t>(y) * s->width + x] = colour;
        }
    }
}

TEST(SurfaceAgreement, TrianglesCoverTheSamePoints) {
    std::mt19937 random(1);
    struct Range {
        int low, high, count;
    };
    long compared = 0;
    // Small ones, ones crossing the edges, and the long slivers the feed
    // region is made of.
    for (const Range& range : {Range{0, 40, 600}, Range{-30, 60, 600}, Range{-400, 1200, 150}}) {
        std::uniform_int_distribution<int> coordinate(range.low, range.high);
        for (int t = 0; t < range.count; ++t) {
            POINT p[3];
            DrawPoint q[3];
            for (int i = 0; i < 3; ++i) {
                p[i] = POINT{coordinate(random), coordinate(random)};
                q[i] = DrawPoint{p[i].x, p[i].y};
            }
            HRGN gdi = CreatePolygonRgn(p, 3, ALTERNATE);
            DrawRegion soft = kSoftDrawOps.createTriangleRegion(q);
            const int x1 = range.high > 800 ? 800 : range.high + 2;
            const int y1 = range.high > 600 ? 600 : range.high + 2;
            const int step = range.high > 100 ? 3 : 1;
            for (int y = 0; y < y1; y += step) {
                for (int x = 0; x < x1; x += step) {
                    ++compared;
                    ASSERT_EQ(PtInRegion(gdi, x, y) != 0, kSoftDrawOps.pointInRegion(soft, x, y))
                        << "triangle (" << p[0].x << "," << p[0].y << ") (" << p[1].x << ","
                        << p[1].y << ") (" << p[2].x << "," << p[2].y << ") at " << x << "," << y;
                }
            }
            DeleteObject(gdi);
            kSoftDrawOps.deleteRegion(soft);
        }
    }
    std::printf("SurfaceAgreement: 1350 triangles, %ld points compared\n", compared);
}

// Random block copies, black-outs and triangle fills on both pictures, which
// must stay identical after every operation. At 800 by 600 anything goes
// (negative extents, sources and destinations off the picture); scaled, the
// copies are those the engine makes (positive extents, sources inside).
void CheckOperations(int width, int height, int count, bool engineLike) {
    GdiPicture gdi(width, height);
    ASSERT_TRUE(gdi.Valid());
    SoftSurface soft;
    SoftSurfaceInit(&soft, width, height);
    PaintStartPicture(&soft, 3);
    gdi.CopyFrom(soft);
    std::mt19937 random(static_cast<unsigned>(width * 7 + height));
    std::uniform_int_distribution<int> position(-30, 830), kind(0, 2);
    std::uniform_int_distribution<int> extent(engineLike ? 1 : -40, 40);
    for (int i = 0; i < count; ++i) {
        const int op = kind(random);
        int dx = position(random), dy = position(random), w = extent(random), h = extent(random);
        int sx = position(random), sy = position(random);
        if (engineLike) {
            sx = std::uniform_int_distribution<int>(0, kLogicalWidth - w)(random);
            sy = std::uniform_int_distribution<int>(0, kLogicalHeight - h)(random);
        }
        std::string what;
        if (op == 0) {
            BitBlt(gdi.Dc(), dx, dy, w, h, gdi.Dc(), sx, sy, SRCCOPY);
            kSoftDrawOps.copyBlock(&soft, dx, dy, w, h, sx, sy);
            what = "copy";
        } else if (op == 1) {
            PatBlt(gdi.Dc(), dx, dy, w, h, BLACKNESS);
            kSoftDrawOps.blackOut(&soft, dx, dy, w, h);
            what = "black-out";
        } else {
            const POINT p[3] = {{dx, dy}, {sx, sy}, {position(random), position(random)}};
            const DrawPoint q[3] = {{p[0].x, p[0].y}, {p[1].x, p[1].y}, {p[2].x, p[2].y}};
            const uint32_t colour = random() & 0x00FFFFFFu;
            HRGN region = CreatePolygonRgn(p, 3, ALTERNATE);
            HBRUSH brush = CreateSolidBrush(colour);
            FillRgn(gdi.Dc(), region, brush);
            DeleteObject(brush);
            DeleteObject(region);
            DrawRegion softRegion = kSoftDrawOps.createTriangleRegion(q);
            kSoftDrawOps.fillRegion(&soft, softRegion, kSoftDrawOps.createSolidBrush(colour));
            kSoftDrawOps.deleteRegion(softRegion);
            what = "fill";
        }
        const Difference d = Compare(gdi, soft);
        ASSERT_EQ(d.count, 0) << width << "x" << height << " operation " << i << " (" << what << " "
                              << dx << "," << dy << " " << w << "x" << h << " from " << sx << ","
                              << sy << "): first at " << d.x << "," << d.y;
    }
}

TEST(SurfaceAgreement, OperationsMatchAtTheLogicalSize) { CheckOperations(800, 600, 3000, false); }

TEST(SurfaceAgreement, OperationsMatchScaled) {
    for (const auto& [w, h] : {std::pair{1366, 768}, {1920, 1080}, {1024, 768}, {152, 112}, {640, 480}}) {
        CheckOperations(w, h, 600, true);
    }
}

// The wander on a fixed schedule instead of real timers, so that both runs
// see it at the same steps: after each draw call one glide tick while a glide
// runs, otherwise a new target every third call.
struct Settings {
    const char* name;
    int32_t values[kSettingsRows];
};

long RunSpiral(const DrawOps* ops, DrawContext dc, HWND window, uint32_t seed, int calls,
               const Settings& settings) {
    SpiralState spiral{};
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&spiral.settings, row, settings.values[row]);
    }
    spiral.random.seed(seed);
    spiral.lock = CreateDrawLock();
    SpiralCreate(&spiral, window, dc, ops);
    bool gliding = false;
    int wait = 3;
    for (int call = 0; call < calls; ++call) {
        DrawSpiral(&spiral);
        if (gliding) {
            gliding = GlideTick(&spiral) != 0;
            wait = 3;
        } else if (--wait == 0) {
            ApplySpiralParameter(&spiral, PARAM_NEW_TARGET, 0);
            gliding = true;
        }
    }
    SpiralRelease(&spiral);
    DeleteDrawLock(spiral.lock);
    return static_cast<long>(calls) * 1000;
}

void CheckSpiral(int width, int height, const Settings& settings, int calls) {
    HWND window = CreateWindowExA(0, "STATIC", "agreement", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SoftSurface soft;
    SoftSurfaceInit(&soft, width, height);
    PaintStartPicture(&soft, 11);
    GdiPicture gdi(width, height);
    ASSERT_TRUE(gdi.Valid());
    gdi.CopyFrom(soft);

    const uint32_t seed = 4242;
    const long steps = RunSpiral(&kSoftDrawOps, SoftSurfaceContext(&soft), window, seed, calls, settings);
    // The operations the effect window would choose for this size.
    RunSpiral(GdiDrawOpsFor(width, height), gdi.Dc(), window, seed, calls, settings);
    DestroyWindow(window);

    const Difference d = Compare(gdi, soft);
    EXPECT_EQ(d.count, 0) << settings.name << " at " << width << "x" << height
                          << ": first difference at " << d.x << "," << d.y;
    std::printf("SurfaceAgreement: %s at %dx%d: %ld steps, %zu pixels compared, %ld differ\n",
                settings.name, width, height, steps, soft.pixels.size(), d.count);
}

// Dialog values, in row order: MaxBkColour, ColChangePer, DeltaTheta,
// Gradient, Randomness, Resolution.
const Settings kDefaults = {"defaults, a colour change every 1000 steps", {225, 1, 94, 8, 0, 10}};
const Settings kLively = {"fast turn, jitter, large blocks", {255, 1, 255, 20, 5, 50}};
const Settings kOdd = {"negative Resolution, reversed pull", {100, 1, 30, -3, 2, -7}};
const Settings kFine = {"fine blocks, no pull", {60, 1, 20, 0, 1, 1}};

TEST(SurfaceAgreement, SpiralRunsMatchAtTheLogicalSize) {
    for (const Settings* settings : {&kDefaults, &kLively, &kOdd, &kFine}) {
        CheckSpiral(800, 600, *settings, 40);
    }
}

TEST(SurfaceAgreement, SpiralRunsMatchScaled) {
    for (const auto& [w, h] : {std::pair{1366, 768}, {1920, 1080}, {1024, 768}, {152, 112}}) {
        CheckSpiral(w, h, kDefaults, 12);
        CheckSpiral(w, h, kLively, 6);
    }
}

}  // namespace
