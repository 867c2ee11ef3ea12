#include "x11/hack_run.h"

#include <unistd.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "effect/soft_surface.h"
#include "x11/display_power.h"
#include "x11/fps_overlay.h"
#include "x11/frame_budget.h"
#include "x11/hack_window.h"
#include "x11/pixel_format.h"
#include "x11/screen_image.h"
#include "x11/spiral_driver.h"
#include "x11/start_picture.h"
#include "x11/stop_signals.h"
#include "x11/surface_resize.h"
#include "x11/x_errors.h"

namespace {

constexpr int64_t kNsPerMicrosecond = 1000;
// Beyond the delay, the longest gap between frames that still counts in
// full towards the steps owed.
constexpr int64_t kGapAllowanceNs = 250000000;
// Drawing without a budget, the hack still answers events and a stop this
// often.
constexpr int64_t kEventLookNs = 10000000;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "gyrel: %s\n", message.c_str());
    return 1;
}

// The frames, from the first put to the stop. The surface and image are
// sized to the window (up to the surface's limit).
int DrawFrames(HackWindow* hack, const HackOptions& options, const PixelFormat& format, int stopFd,
               SoftSurface* surface) {
    Display* display = hack->display;
    ScreenImage image;
    if (!image.Create(display, hack->visual, hack->depth, surface->width, surface->height)) {
        return Fail("not enough memory for a picture of the window");
    }
    const GC gc = XCreateGC(display, hack->window, 0, nullptr);
    DisplayPower power(display);
    FpsOverlay overlay;
    if (options.showFps) overlay.Open(display, hack->window, format.PixelOf(0), format.PixelOf(0xFFFFFF));

    const int64_t delayNs = options.delayMicroseconds * kNsPerMicrosecond;
    // Without a budget (--steps-per-second 0) the budget's clock still
    // tells the wander how much time has passed.
    const bool unbudgeted = options.stepsPerSecond == 0;
    FrameBudget budget(unbudgeted ? 1 : options.stepsPerSecond, SpiralStepsPerBatch(), delayNs + kGapAllowanceNs);
    auto put = [&]() {
        format.SurfaceToImage(*surface, image.image());
        image.Put(hack->window, gc);
        if (options.showFps) overlay.Draw(hack->window);
        // The server has read the image before it is written again.
        XSync(display, False);
        hack->exposed = false;
    };
    int code = 0;
    auto ending = [&]() { return code != 0 || hack->gone || StopRequested() || XErrorsPersist(); };
    // Handles what has come, waiting up to timeoutNs for it (negative: for
    // as long as it takes). A new size or an exposure is answered at once,
    // not at the next frame, which may be seconds away.
    auto follow = [&](int64_t timeoutNs) {
        WaitForEvents(hack, stopFd, timeoutNs);
        if (hack->resized) {
            hack->resized = false;
            ResizeKeepingPicture(surface, hack->width, hack->height);
            if (!image.Create(display, hack->visual, hack->depth, surface->width, surface->height)) {
                code = Fail("not enough memory for a picture of the window");
                return;
            }
            hack->exposed = true;
        }
        if (hack->exposed && !hack->gone) put();
    };
    // A wait until due, cut short when the monitor's state is to be asked.
    auto followUntil = [&](int64_t dueNs, int64_t nowNs) {
        const int64_t look = power.NsUntilNextLook(nowNs);
        follow(look >= 0 ? std::min(dueNs - nowNs, look) : dueNs - nowNs);
    };

    // Nobody can see the spiral: its window is unmapped or covered, or the
    // monitor sleeps. Then nothing is drawn and the hack sleeps on the
    // connection: with no time limit while the window is hidden (the server
    // says when it is seen again), asking about the monitor once a second
    // while that sleeps.
    auto resting = [&]() { return HackWindowHidden(*hack) || power.Asleep(NowNs()); };
    auto rest = [&]() {
        while (!ending() && resting()) {
            if (HackWindowHidden(*hack)) {
                follow(-1);
            } else {
                const int64_t now = NowNs();
                followUntil(now + power.NsUntilNextLook(now), now);
            }
        }
    };

    int64_t last = NowNs();
    put();
    while (!ending()) {
        if (resting()) {
            rest();
            // The spiral goes on where it was, at its pace: the time nobody
            // saw it is owed no steps.
            last = NowNs();
            continue;
        }
        int64_t batches = 0;
        if (unbudgeted) {
            // As many batches as the delay holds, at least one, with events
            // and a stop looked at between them.
            const int64_t due = NowNs() + delayNs;
            int64_t nextLook = NowNs() + kEventLookNs;
            do {
                SpiralDriverDrawBatch();
                ++batches;
                if (NowNs() >= nextLook) {
                    follow(0);
                    nextLook = NowNs() + kEventLookNs;
                }
            } while (NowNs() < due && !ending() && !resting());
        } else {
            // Sleep out the delay, and on until a batch of steps is due, so
            // that a wake-up always has something to draw.
            const int64_t wakeNs = NowNs() + std::max(delayNs, budget.NsUntilNextBatch());
            for (int64_t now = NowNs(); now < wakeNs && !ending() && !resting(); now = NowNs()) {
                followUntil(wakeNs, now);
            }
        }
        if (ending()) break;
        if (resting()) continue;

        const int64_t now = NowNs();
        const FrameBudget::Share share = budget.Take(now - last);
        last = now;
        if (!unbudgeted) {
            batches = share.batches;
            for (int64_t i = 0; i < batches; ++i) SpiralDriverDrawBatch();
        }
        SpiralDriverAdvanceClock(share.milliseconds);
        if (options.showFps) overlay.Count(batches * SpiralStepsPerBatch(), now);
        if (batches > 0) put();
    }
    if (XErrorsPersist()) code = 1;
    image.Release();
    XFreeGC(display, gc);
    overlay.Close();
    return code;
}

}  // namespace

int RunHack(const HackOptions& options) {
    const int stopFd = InstallStopSignals();
    Display* display = XOpenDisplay(options.display.empty() ? nullptr : options.display.c_str());
    if (display == nullptr) {
        const char* name = options.display.empty() ? XDisplayName(nullptr) : options.display.c_str();
        return Fail(std::string("cannot open display '") + name + "'");
    }
    InstallXErrorHandlers();

    HackWindow hack;
    std::string problem;
    if (!OpenHackWindow(display, options, &hack, &problem)) {
        XCloseDisplay(display);
        return Fail(problem);
    }
    int code = 0;
    if (WaitUntilShown(&hack, stopFd)) {
        const PixelFormat format(hack.visual->red_mask, hack.visual->green_mask, hack.visual->blue_mask,
                                 hack.depth);
        SoftSurface surface{};
        SoftSurfaceInit(&surface, hack.width, hack.height);
        hack.resized = false;
        if (LoadStartPicture(&hack, format, stopFd, &surface)) {
            const uint32_t seed = static_cast<uint32_t>(std::time(nullptr)) ^ static_cast<uint32_t>(getpid());
            SpiralDriverStart(&surface, options.settings, seed);
            code = DrawFrames(&hack, options, format, stopFd, &surface);
            SpiralDriverStop();
        }
    }
    CloseHackWindow(&hack);
    XCloseDisplay(display);
    return code;
}
