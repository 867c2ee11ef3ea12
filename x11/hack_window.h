// The window the hack draws in (its own, the root, or one handed over), and
// what the server says happens to it.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "x11/options.h"

struct HackWindow {
    Display* display = nullptr;
    Window window = 0;
    bool own = false;       // created here, destroyed on the way out
    bool realRoot = false;  // the screen's root itself, not a stand-in
    bool preview = false;   // handed over by id, as the settings dialog's preview is
    int screen = 0;      // the window's screen, which need not be the default one
    Window root = 0;     // that screen's root
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    Atom deleteWindow = 0;  // the window manager's close request

    // From events and errors, for the frame loop to act on.
    bool shown = false;    // exposed at least once
    bool exposed = false;  // needs the picture again
    bool resized = false;  // width and height have changed
    bool gone = false;     // destroyed, or closed by the user (q or Escape in its own)
    // Whether anyone can see it: the window and all its ancestors mapped,
    // and not covered whole by other windows. The real root is always
    // seen (the server tells nothing of what covers it).
    bool viewable = false;
    bool obscured = false;
    std::vector<Window> ancestors;  // watched for being mapped and unmapped
};

// Nothing of the window can be seen: unmapped (itself or an ancestor), or
// covered whole.
bool HackWindowHidden(const HackWindow& hack);

// Finds or makes the window the options ask for and watches it for size
// changes, exposure and destruction. An own window is mapped but may not be
// shown yet (WaitUntilShown); it takes a TrueColor visual of the screen even
// where the default visual is another. False, with the reason, when the
// window does not exist, cannot be drawn on (InputOnly), or its visual is
// not TrueColor (a PseudoColor or DirectColor visual would show the
// picture's colours through a colour map that is not the hack's to fill).
bool OpenHackWindow(Display* display, const HackOptions& options, HackWindow* hack,
                    std::string* problem);

// Destroys an own window; leaves any other alone.
void CloseHackWindow(HackWindow* hack);

// Handles the events already received; if there were none, waits up to
// timeoutNs (negative: for as long as it takes) for more, for a byte on
// stopFd, or for otherFd to be readable (either fd may be -1), and handles
// the events that came.
void WaitForEvents(HackWindow* hack, int stopFd, int64_t timeoutNs, int otherFd = -1);

// Waits, at most a few seconds, until a window manager has shown an own
// window; at once for any other. False if a stop signal or the window's end
// came first.
bool WaitUntilShown(HackWindow* hack, int stopFd);
