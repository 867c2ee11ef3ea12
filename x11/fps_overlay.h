// --fps: frames and spiral steps a second, written in the window's corner
// after each frame. The text goes on the window only, never into the
// surface, so the spiral does not drag it about.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

class FpsOverlay {
public:
    // Black and white are pixel values of the window's visual.
    void Open(Display* display, Window window, unsigned long black, unsigned long white);
    void Close();

    // One frame that made the given number of steps, at nowNs on a steady
    // clock. The figures are renewed once a second.
    void Count(int64_t steps, int64_t nowNs);
    void Draw(Window window) const;

private:
    Display* display_ = nullptr;
    GC gc_ = nullptr;
    XFontStruct* font_ = nullptr;
    unsigned long black_ = 0;
    unsigned long white_ = 0;
    int64_t periodStartNs_ = -1;
    int64_t framesInPeriod_ = 0;
    int64_t stepsInPeriod_ = 0;
    double framesPerSecond_ = 0.0;
    double stepsPerSecond_ = 0.0;
};
