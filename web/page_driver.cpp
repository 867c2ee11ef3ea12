// The spiral engine for the web page: everything gyrel.js asks of it, as
// functions that the WebAssembly module exports.
//
// The page has one thread, so it plays both of the saver's parts itself: it
// makes the draw calls and runs the wander's timers (on the host build's
// clock, which the page moves on by real time), one after the other. Nothing
// here waits, and the DrawLock it makes is never contended.
//
// Pictures cross into the page through one buffer of canvas pixels (RGBA
// bytes, as ImageData holds them): the page puts a start picture there and
// takes each frame from there.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "config/field_value.h"
#include "effect/effect_platform_host.h"
#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"
#include "tools/render/builtin_picture.h"
#include "tools/render/render_run.h"
#include "x11/surface_resize.h"

#define GYREL_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// A canvas larger than this many pixels is drawn at a lower resolution and
// stretched: the surface, its scratch copy and the frame take 12 bytes a
// pixel (200 MB here), and a 5K screen needs no more.
constexpr int64_t kMaxPagePixels = int64_t{4096} * 4096;
constexpr int32_t kMaxPageSide = 8192;

// The Options page reads at most this many characters of a field.
constexpr size_t kFieldTextLimit = 9;

SoftSurface g_surface;
std::vector<uint32_t> g_frame;  // the canvas's pixels, alpha set

// Every run, live or still, is a reference run; the live page ignores its
// own clock and moves the host's by real time instead.
RenderRun g_run;
bool g_running = false;
// The six settings in the Options page's units: what the next run starts
// with, and what the running one follows.
struct DialogValues {
    int32_t rows[kSettingsRows];
    DialogValues() {
        for (int row = 0; row < kSettingsRows; ++row) rows[row] = kSettingDefinitions[row].defaultValue;
    }
};
DialogValues g_dialogValues;

char g_text[256];
int32_t g_decidedValue = 0;

bool ValidRow(int32_t row) { return row >= 0 && row < kSettingsRows; }

SpiralSettings SettingsFromDialog() {
    SpiralSettings settings{};
    for (int row = 0; row < kSettingsRows; ++row) ApplyDialogValue(&settings, row, g_dialogValues.rows[row]);
    return settings;
}

void StopRun() {
    if (!g_running) return;
    RenderRunEnd(&g_run);
    g_running = false;
}

}  // namespace

// ---- The settings table, so that the page holds no copy of it ----

GYREL_EXPORT(gyrel_setting_count) int32_t GyrelSettingCount() { return kSettingsRows; }

// The key as a NUL-terminated string in the module's memory.
GYREL_EXPORT(gyrel_setting_key) const char* GyrelSettingKey(int32_t row) {
    return ValidRow(row) ? kSettingDefinitions[row].key : "";
}
GYREL_EXPORT(gyrel_setting_default) int32_t GyrelSettingDefault(int32_t row) {
    return ValidRow(row) ? kSettingDefinitions[row].defaultValue : 0;
}
GYREL_EXPORT(gyrel_setting_minimum) int32_t GyrelSettingMinimum(int32_t row) {
    return ValidRow(row) ? kSettingDefinitions[row].minimum : 0;
}
GYREL_EXPORT(gyrel_setting_maximum) int32_t GyrelSettingMaximum(int32_t row) {
    return ValidRow(row) ? kSettingDefinitions[row].maximum : 0;
}
GYREL_EXPORT(gyrel_step_budget_default) int32_t GyrelStepBudgetDefault() { return kStepsPerSecondDefault; }

// Where the page writes a text for gyrel_decide_text (NUL-terminated).
GYREL_EXPORT(gyrel_text_buffer) char* GyrelTextBuffer() { return g_text; }
GYREL_EXPORT(gyrel_text_capacity) int32_t GyrelTextCapacity() { return sizeof g_text; }

// What the text asks of a number between minimum and maximum, as the Options
// page decides it for one of its fields: 0 no number (leave the value), 1
// apply gyrel_decided_value, 2 out of range (gyrel_decided_value is the
// nearest bound). The page hands over at most 255 characters of a text; a
// field passes only what the Options page would read of it.
GYREL_EXPORT(gyrel_decide_text) int32_t GyrelDecideText(int32_t minimum, int32_t maximum, int32_t asField) {
    g_text[sizeof g_text - 1] = '\0';
    char text[sizeof g_text];
    std::memcpy(text, g_text, sizeof text);
    if (asField && std::strlen(text) > kFieldTextLimit) text[kFieldTextLimit] = '\0';
    const FieldDecision decision = DecideFieldValue(text, minimum, maximum);
    g_decidedValue = decision.value;
    switch (decision.action) {
        case FieldAction::Apply:
            return 1;
        case FieldAction::Correct:
            return 2;
        case FieldAction::Ignore:
            break;
    }
    return 0;
}
GYREL_EXPORT(gyrel_decided_value) int32_t GyrelDecidedValue() { return g_decidedValue; }

// ---- The surface and its pictures ----

// Sizes the surface and the frame; the size is kept within what the page
// allows (read it back with gyrel_width and gyrel_height). The picture is
// black; any run is stopped.
GYREL_EXPORT(gyrel_surface_init) void GyrelSurfaceInit(int32_t width, int32_t height) {
    StopRun();
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (width > kMaxPageSide) width = kMaxPageSide;
    if (height > kMaxPageSide) height = kMaxPageSide;
    while (int64_t{width} * height > kMaxPagePixels) {
        width = width * 7 / 8 > 0 ? width * 7 / 8 : 1;
        height = height * 7 / 8 > 0 ? height * 7 / 8 : 1;
    }
    SoftSurfaceInit(&g_surface, width, height);
    g_frame.assign(g_surface.pixels.size(), 0);
}

// A new size for a running spiral: the picture is stretched with it, as the
// X11 hack's window keeps its picture.
GYREL_EXPORT(gyrel_surface_resize) void GyrelSurfaceResize(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxPageSide || height > kMaxPageSide ||
        int64_t{width} * height > kMaxPagePixels) {
        return;
    }
    ResizeKeepingPicture(&g_surface, width, height);
    g_frame.assign(g_surface.pixels.size(), 0);
}

GYREL_EXPORT(gyrel_width) int32_t GyrelWidth() { return g_surface.width; }
GYREL_EXPORT(gyrel_height) int32_t GyrelHeight() { return g_surface.height; }

GYREL_EXPORT(gyrel_paint_builtin) void GyrelPaintBuiltin() {
    PaintBuiltinPicture(g_surface.width, g_surface.height, &g_surface.pixels);
}

// The frame buffer: width x height RGBA pixels, top row first.
GYREL_EXPORT(gyrel_frame_buffer) uint32_t* GyrelFrameBuffer() { return g_frame.data(); }

// Takes the frame buffer as the picture. The surface's pixels are the
// canvas's bytes with the alpha byte clear (0x00BBGGRR).
GYREL_EXPORT(gyrel_take_frame) void GyrelTakeFrame() {
    for (size_t i = 0; i < g_frame.size(); ++i) g_surface.pixels[i] = g_frame[i] & 0x00FFFFFFu;
}

// Puts the picture into the frame buffer, opaque, and returns the buffer.
GYREL_EXPORT(gyrel_make_frame) uint32_t* GyrelMakeFrame() {
    for (size_t i = 0; i < g_frame.size(); ++i) g_frame[i] = g_surface.pixels[i] | 0xFF000000u;
    return g_frame.data();
}

// ---- The spiral ----

// One setting, in the Options page's units: applied at once to a running
// spiral (as the preview takes the Options page's changes) and kept for the
// next.
GYREL_EXPORT(gyrel_set) void GyrelSet(int32_t row, int32_t value) {
    if (!ValidRow(row)) return;
    g_dialogValues.rows[row] = value;
    if (g_running) ApplySpiralParameter(&g_run.spiral, static_cast<uint32_t>(row), value);
}

// Starts a spiral on the surface's picture, as the effect window's creation
// does, with the clock at 0. A still run is due to end after the calls that
// gyrel-render makes for `seconds` at `rate` steps a second; a live run may
// go on for ever (its rate only names how far its own clock moves, which the
// live page does not use). 0 when there is no memory for the spiral.
GYREL_EXPORT(gyrel_start) int32_t GyrelStart(uint32_t seed, int32_t rate, double seconds) {
    StopRun();
    if (rate < 1) rate = 1;
    if (!(seconds >= 0.0) || seconds > 1e7) seconds = 0.0;
    if (!RenderRunStart(&g_run, &g_surface, SettingsFromDialog(), seed, rate, seconds)) return 0;
    g_running = true;
    return 1;
}

GYREL_EXPORT(gyrel_stop) void GyrelStop() { StopRun(); }

// Live: `calls` draw calls of 1000 steps, then the wander's clock moved on by
// `milliseconds` of real time.
GYREL_EXPORT(gyrel_draw) void GyrelDraw(int32_t calls, int32_t milliseconds) {
    if (!g_running) return;
    for (int32_t i = 0; i < calls; ++i) DrawSpiral(&g_run.spiral);
    if (milliseconds > 0) HostAdvanceTime(static_cast<uint64_t>(milliseconds));
}

// Still: at most `calls` more of the run's draw calls, each with its share of
// the simulated clock, exactly as gyrel-render makes them. Returns how many
// are left.
GYREL_EXPORT(gyrel_render_calls) double GyrelRenderCalls(int32_t calls) {
    if (!g_running) return 0;
    for (int32_t i = 0; i < calls && g_run.callsDone < g_run.calls; ++i) RenderRunCall(&g_run);
    return static_cast<double>(g_run.calls - g_run.callsDone);
}

GYREL_EXPORT(gyrel_steps_per_call) int32_t GyrelStepsPerCall() { return 1000; }
