#include "x11/fps_overlay.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int64_t kPeriodNs = 1000000000;
constexpr int kMargin = 4;
}  // namespace

void FpsOverlay::Open(Display* display, Window window, unsigned long black, unsigned long white) {
    display_ = display;
    black_ = black;
    white_ = white;
    gc_ = XCreateGC(display, window, 0, nullptr);
    font_ = XLoadQueryFont(display, "fixed");  // may be missing; the GC's own font serves then
    if (font_ != nullptr) XSetFont(display, gc_, font_->fid);
}

void FpsOverlay::Close() {
    if (display_ == nullptr) return;
    if (font_ != nullptr) XFreeFont(display_, font_);
    if (gc_ != nullptr) XFreeGC(display_, gc_);
    font_ = nullptr;
    gc_ = nullptr;
    display_ = nullptr;
}

void FpsOverlay::Count(int64_t steps, int64_t nowNs) {
    if (periodStartNs_ < 0) {
        periodStartNs_ = nowNs;  // the first frame opens the first period
        return;
    }
    ++framesInPeriod_;
    stepsInPeriod_ += steps;
    const int64_t elapsed = nowNs - periodStartNs_;
    if (elapsed >= kPeriodNs) {
        framesPerSecond_ =
            static_cast<double>(framesInPeriod_) * 1e9 / static_cast<double>(elapsed);
        stepsPerSecond_ = static_cast<double>(stepsInPeriod_) * 1e9 / static_cast<double>(elapsed);
        periodStartNs_ = nowNs;
        framesInPeriod_ = 0;
        stepsInPeriod_ = 0;
    }
}

void FpsOverlay::Draw(Window window) const {
    if (gc_ == nullptr) return;
    char text[96];
    std::snprintf(text, sizeof text, "%.1f frames/s  %.0f steps/s", framesPerSecond_,
                  stepsPerSecond_);
    const int length = static_cast<int>(std::strlen(text));
    const int ascent = font_ != nullptr ? font_->ascent : 10;
    const int descent = font_ != nullptr ? font_->descent : 3;
    const int width = font_ != nullptr ? XTextWidth(font_, text, length) : 6 * length;
    XSetForeground(display_, gc_, black_);
    XFillRectangle(display_, window, gc_, 0, 0, static_cast<unsigned>(width + 2 * kMargin),
                   static_cast<unsigned>(ascent + descent + 2 * kMargin));
    XSetForeground(display_, gc_, white_);
    XDrawString(display_, window, gc_, kMargin, kMargin + ascent, text, length);
}
