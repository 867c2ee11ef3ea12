// The spiral engine for the web page: everything the page's script asks of
// it, as functions that the WebAssembly module exports.
//
// The page has one thread, so it plays both of the saver's parts itself: it
// makes the draw calls and runs the wander's timers (on the run's own clock,
// which the page moves on by real time), one after the other. Nothing here
// waits, and the DrawLock its run makes is never contended.
//
// Everything a page draws is one PageRun that the script holds (it asks for
// one with gyrel_page_create and hands it to every call that draws), so a
// page could hold several.
//
// Pictures cross into the page through the run's buffer of canvas pixels
// (RGBA bytes, as ImageData holds them): the page puts a start picture there
// and takes each frame from there.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "base/draw_pace.h"
#include "effect/builtin_picture.h"
#include "effect/field_value.h"
#include "effect/settings.h"
#include "effect/soft_run.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"

#define GYREL_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// A canvas larger than this many pixels is drawn at a lower resolution and
// stretched: the surface, its scratch copy and the frame take 12 bytes a
// pixel (200 MB here), and a 5K screen needs no more.
constexpr int64_t kMaxPagePixels = int64_t{4096} * 4096;
constexpr int32_t kMaxPageSide = 8192;

// The Options page reads at most this many characters of a field.
constexpr size_t kFieldTextLimit = 9;

// Beyond a frame's time, how late the page may come back with the calls
// owed for it still made (a busy tab's timers slip); later, it starts afresh.
constexpr uint64_t kPaceAllowanceUs = 250000;

bool ValidRow(int32_t row) { return row >= 0 && row < kSettingsRows; }

}  // namespace

// One page's spiral: its surface, run and frame, what the next run starts
// with, and its pace.
struct PageRun {
    SoftRun run;
    std::vector<uint32_t> frame;  // the canvas's pixels, alpha set
    // A still run's draw calls on a simulated machine, exactly as
    // gyrel-render makes them; a live run ignores them and moves the clock
    // by real time.
    int64_t calls = 0;
    int64_t callsDone = 0;
    double msPerCall = 0;
    // The six settings in the Options page's units: what the next run
    // starts with, and what the running one follows.
    int32_t rows[kSettingsRows];
    DrawPace pace = MakeDrawPace(0, 0);
    char text[256] = {};
    int32_t decidedValue = 0;

    PageRun() {
        for (int row = 0; row < kSettingsRows; ++row) rows[row] = kSettingDefinitions[row].defaultValue;
    }
    SpiralSettings Settings() const {
        SpiralSettings settings{};
        for (int row = 0; row < kSettingsRows; ++row) ApplyDialogValue(&settings, row, rows[row]);
        return settings;
    }
};

GYREL_EXPORT(gyrel_page_create) PageRun* GyrelPageCreate() { return new (std::nothrow) PageRun; }
GYREL_EXPORT(gyrel_page_delete) void GyrelPageDelete(PageRun* page) {
    if (page == nullptr) return;
    SoftRunEnd(&page->run);
    delete page;
}

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
GYREL_EXPORT(gyrel_text_buffer) char* GyrelTextBuffer(PageRun* page) { return page->text; }
GYREL_EXPORT(gyrel_text_capacity) int32_t GyrelTextCapacity(PageRun* page) { return sizeof page->text; }

// What the text asks of a number between minimum and maximum, as the Options
// page decides it for one of its fields: 0 no number (leave the value), 1
// apply gyrel_decided_value, 2 out of range (gyrel_decided_value is the
// nearest bound). The page hands over at most 255 characters of a text; a
// field passes only what the Options page would read of it.
GYREL_EXPORT(gyrel_decide_text)
int32_t GyrelDecideText(PageRun* page, int32_t minimum, int32_t maximum, int32_t asField) {
    page->text[sizeof page->text - 1] = '\0';
    char text[sizeof page->text];
    std::memcpy(text, page->text, sizeof text);
    if (asField && std::strlen(text) > kFieldTextLimit) text[kFieldTextLimit] = '\0';
    const FieldDecision decision = DecideFieldValue(text, minimum, maximum);
    page->decidedValue = decision.value;
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
GYREL_EXPORT(gyrel_decided_value) int32_t GyrelDecidedValue(PageRun* page) { return page->decidedValue; }

// ---- The surface and its pictures ----

// Sizes the surface and the frame; the size is kept within what the page
// allows (read it back with gyrel_width and gyrel_height). The picture is
// black; any run is stopped.
GYREL_EXPORT(gyrel_surface_init) void GyrelSurfaceInit(PageRun* page, int32_t width, int32_t height) {
    SoftRunEnd(&page->run);
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (width > kMaxPageSide) width = kMaxPageSide;
    if (height > kMaxPageSide) height = kMaxPageSide;
    while (int64_t{width} * height > kMaxPagePixels) {
        width = width * 7 / 8 > 0 ? width * 7 / 8 : 1;
        height = height * 7 / 8 > 0 ? height * 7 / 8 : 1;
    }
    SoftSurfaceInit(&page->run.surface, width, height);
    page->frame.assign(page->run.surface.pixels.size(), 0);
}

// A new size for a running spiral: the picture is stretched with it, as the
// X11 hack's window keeps its picture.
GYREL_EXPORT(gyrel_surface_resize) void GyrelSurfaceResize(PageRun* page, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxPageSide || height > kMaxPageSide ||
        int64_t{width} * height > kMaxPagePixels) {
        return;
    }
    SoftRunResize(&page->run, width, height);
    page->frame.assign(page->run.surface.pixels.size(), 0);
}

GYREL_EXPORT(gyrel_width) int32_t GyrelWidth(PageRun* page) { return page->run.surface.width; }
GYREL_EXPORT(gyrel_height) int32_t GyrelHeight(PageRun* page) { return page->run.surface.height; }

GYREL_EXPORT(gyrel_paint_builtin) void GyrelPaintBuiltin(PageRun* page) {
    SoftSurface& surface = page->run.surface;
    PaintBuiltinPicture(surface.width, surface.height, &surface.pixels);
}

// The frame buffer: width x height RGBA pixels, top row first.
GYREL_EXPORT(gyrel_frame_buffer) uint32_t* GyrelFrameBuffer(PageRun* page) { return page->frame.data(); }

// Takes the frame buffer as the picture. The surface's pixels are the
// canvas's bytes with the alpha byte clear (0x00BBGGRR).
GYREL_EXPORT(gyrel_take_frame) void GyrelTakeFrame(PageRun* page) {
    std::vector<uint32_t>& pixels = page->run.surface.pixels;
    for (size_t i = 0; i < page->frame.size(); ++i) pixels[i] = page->frame[i] & 0x00FFFFFFu;
}

// Puts the picture into the frame buffer, opaque, and returns the buffer.
GYREL_EXPORT(gyrel_make_frame) uint32_t* GyrelMakeFrame(PageRun* page) {
    const std::vector<uint32_t>& pixels = page->run.surface.pixels;
    for (size_t i = 0; i < page->frame.size(); ++i) page->frame[i] = pixels[i] | 0xFF000000u;
    return page->frame.data();
}

// ---- The spiral ----

// One setting, in the Options page's units: applied at once to a running
// spiral (as the preview takes the Options page's changes) and kept for the
// next.
GYREL_EXPORT(gyrel_set) void GyrelSet(PageRun* page, int32_t row, int32_t value) {
    if (!ValidRow(row)) return;
    page->rows[row] = value;
    if (page->run.running) ApplySpiralParameter(&page->run.spiral, static_cast<uint32_t>(row), value);
}

// Starts a spiral on the surface's picture, as the effect window's creation
// does, with the clock at 0. A still run is due to end after the calls that
// gyrel-render makes for `seconds` at `rate` steps a second; a live run may
// go on for ever (its rate only names how far its own clock moves, which the
// live page does not use). 0 when there is no memory for the spiral.
GYREL_EXPORT(gyrel_start) int32_t GyrelStart(PageRun* page, uint32_t seed, int32_t rate, double seconds) {
    if (rate < 1) rate = 1;
    if (!(seconds >= 0.0) || seconds > 1e7) seconds = 0.0;
    page->calls = SimulatedDrawCalls(seconds, rate);
    page->callsDone = 0;
    page->msPerCall = SimulatedMsPerCall(rate);
    return SoftRunStart(&page->run, page->Settings(), seed) ? 1 : 0;
}

GYREL_EXPORT(gyrel_stop) void GyrelStop(PageRun* page) { SoftRunEnd(&page->run); }

// Live: `calls` draw calls, then the wander's clock moved on by
// `milliseconds` of real time (fractions carried to the next).
GYREL_EXPORT(gyrel_draw) void GyrelDraw(PageRun* page, int32_t calls, double milliseconds) {
    if (!page->run.running) return;
    for (int32_t i = 0; i < calls; ++i) SoftRunDraw(&page->run);
    if (milliseconds > 0) SoftRunMoveClock(&page->run, milliseconds);
}

// Still: at most `calls` more of the run's draw calls, each with its share of
// the simulated clock, exactly as gyrel-render makes them. Returns how many
// are left.
GYREL_EXPORT(gyrel_render_calls) double GyrelRenderCalls(PageRun* page, int32_t calls) {
    if (!page->run.running) return 0;
    for (int32_t i = 0; i < calls && page->callsDone < page->calls; ++i) {
        SoftRunDraw(&page->run);
        SoftRunMoveClock(&page->run, page->msPerCall);
        ++page->callsDone;
    }
    return static_cast<double>(page->calls - page->callsDone);
}

GYREL_EXPORT(gyrel_steps_per_call) int32_t GyrelStepsPerCall() { return kStepsPerDrawCall; }

// ---- The pace: the step budget's rule, as the saver and the hack keep it ----

// A budget of so many steps a second (0 or less: none) for the live run.
GYREL_EXPORT(gyrel_pace_start) void GyrelPaceStart(PageRun* page, int32_t stepsPerSecond) {
    page->pace = MakeDrawPace(static_cast<double>(stepsPerSecond) / kStepsPerDrawCall, kPaceAllowanceUs);
}

// The draw calls due at nowMs (the page's clock, in milliseconds), at most
// `most`; they count as made.
GYREL_EXPORT(gyrel_pace_due) int32_t GyrelPaceDue(PageRun* page, double nowMs, int32_t most) {
    if (!(nowMs >= 0) || most < 0) return 0;
    return static_cast<int32_t>(TakeDueDrawCalls(&page->pace, static_cast<uint64_t>(nowMs * 1000),
                                                 static_cast<uint64_t>(most)));
}

// Milliseconds from nowMs until a draw call falls due; 0 when one is due now
// or there is no budget.
GYREL_EXPORT(gyrel_pace_wait_ms) double GyrelPaceWaitMs(PageRun* page, double nowMs) {
    if (!(nowMs >= 0)) return 0;
    return static_cast<double>(PaceWaitUs(&page->pace, static_cast<uint64_t>(nowMs * 1000))) / 1000;
}
