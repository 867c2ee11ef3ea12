#include "x11/hack_run.h"

#include <unistd.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/draw_pace.h"
#include "effect/settings.h"
#include "effect/soft_run.h"
#include "effect/soft_surface.h"
#include "x11/display_power.h"
#include "x11/fps_overlay.h"
#include "x11/hack_window.h"
#include "x11/pixel_format.h"
#include "x11/screen_image.h"
#include "x11/start_picture.h"
#include "x11/stop_signals.h"
#include "x11/x_errors.h"

namespace {

constexpr int64_t kNsPerMicrosecond = 1000;
constexpr int64_t kNsPerMs = 1000000;
// Beyond the delay, the longest a frame may come late with the steps owed
// for it still made up; and the longest stretch of real time the wander's
// clock takes in one frame.
constexpr int64_t kLagAllowanceNs = 250000000;
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

// The frames, from the first put to the stop: the spiral's run drawn into the
// window's picture, at the options' pace, while somebody can see it.
class FrameLoop {
public:
    FrameLoop(HackWindow* hack, const HackOptions& options, const PixelFormat& format, int stopFd,
              SoftRun* run)
        : hack_(hack),
          display_(hack->display),
          options_(options),
          format_(format),
          stopFd_(stopFd),
          run_(run),
          delayNs_(options.delayMicroseconds * kNsPerMicrosecond),
          gc_(XCreateGC(display_, hack->window, 0, nullptr)),
          power_(display_) {}
    ~FrameLoop() {
        image_.Release();
        XFreeGC(display_, gc_);
        overlay_.Close();
    }
    FrameLoop(const FrameLoop&) = delete;
    FrameLoop& operator=(const FrameLoop&) = delete;

    int Run() {
        if (!MakeImage()) return 1;
        if (options_.showFps) {
            overlay_.Open(display_, hack_->window, format_.PixelOf(0), format_.PixelOf(0xFFFFFF));
        }
        lastNs_ = NowNs();
        Put();
        if (options_.stepsPerSecond == 0) {
            RunUnbudgeted();
        } else {
            RunBudgeted();
        }
        return failed_ || XErrorsPersist() ? 1 : 0;
    }

private:
    bool Ending() const { return failed_ || hack_->gone || StopRequested() || XErrorsPersist(); }

    bool MakeImage() {
        const SoftSurface& surface = run_->surface;
        if (image_.Create(display_, hack_->visual, hack_->depth, surface.width, surface.height)) {
            return true;
        }
        Fail("not enough memory for a picture of the window");
        failed_ = true;
        return false;
    }

    void Put() {
        format_.SurfaceToImage(run_->surface, image_.image());
        image_.Put(hack_->window, gc_);
        if (options_.showFps) overlay_.Draw(hack_->window);
        // The server has read the image before it is written again.
        XSync(display_, False);
        hack_->exposed = false;
    }

    // Handles what has come, waiting up to timeoutNs for it (negative: for
    // as long as it takes). A new size or an exposure is answered at once,
    // not at the next frame, which may be seconds away.
    void Follow(int64_t timeoutNs) {
        WaitForEvents(hack_, stopFd_, timeoutNs);
        if (hack_->resized) {
            hack_->resized = false;
            SoftRunResize(run_, hack_->width, hack_->height);
            if (!MakeImage()) return;
            hack_->exposed = true;
        }
        if (hack_->exposed && !hack_->gone) Put();
    }

    // Follows events until dueNs, waking early when the monitor's state is
    // to be asked, or when the loop is to end or rest.
    void FollowUntil(int64_t dueNs) {
        for (int64_t now = NowNs(); now < dueNs && !Ending() && !Resting(); now = NowNs()) {
            const int64_t look = power_.NsUntilNextLook(now);
            Follow(look >= 0 ? std::min(dueNs - now, look) : dueNs - now);
        }
    }

    // Nobody can see the spiral: its window is unmapped or covered, or the
    // monitor sleeps.
    bool Resting() { return HackWindowHidden(*hack_) || power_.Asleep(NowNs()); }

    // Then nothing is drawn and the hack sleeps on the connection: with no
    // time limit while the window is hidden (the server says when it is seen
    // again), asking about the monitor once a second while that sleeps. The
    // spiral then goes on where it was, at its pace: the time nobody saw it
    // is owed no steps, and the pace starts afresh.
    void Rest() {
        while (!Ending() && Resting()) {
            if (HackWindowHidden(*hack_)) {
                Follow(-1);
            } else {
                const int64_t now = NowNs();
                Follow(power_.NsUntilNextLook(now));
            }
        }
        lastNs_ = NowNs();
    }

    // The calls made, then the wander's clock moved on by the real time
    // since the last frame (no more than the allowance) and the frame put.
    void EndFrame(int64_t calls) {
        const int64_t now = NowNs();
        const int64_t elapsed =
            std::min(std::max<int64_t>(now - lastNs_, 0), delayNs_ + kLagAllowanceNs);
        lastNs_ = now;
        SoftRunMoveClock(run_, static_cast<double>(elapsed) / kNsPerMs);
        if (options_.showFps) overlay_.Count(calls * kStepsPerDrawCall, now);
        if (calls > 0) Put();
    }

    // At most the budget's steps a second: sleep out the delay, and on until
    // a draw call is due, so that a wake-up always has something to draw;
    // then every call that fell due.
    void RunBudgeted() {
        const uint64_t allowanceUs =
            static_cast<uint64_t>((delayNs_ + kLagAllowanceNs) / kNsPerMicrosecond);
        // After a rest the pace starts afresh, as at the start.
        const DrawPace fresh = MakeDrawPace(
            static_cast<double>(options_.stepsPerSecond) / kStepsPerDrawCall, allowanceUs);
        DrawPace pace = fresh;
        while (!Ending()) {
            if (Resting()) {
                Rest();
                pace = fresh;
                continue;
            }
            const uint64_t waitUs = PaceWaitUs(&pace, NowUs());
            FollowUntil(NowNs() + std::max<int64_t>(
                                      delayNs_, static_cast<int64_t>(waitUs) * kNsPerMicrosecond));
            if (Ending() || Resting()) continue;
            const uint64_t calls = TakeDueDrawCalls(&pace, NowUs(), UINT64_MAX);
            for (uint64_t i = 0; i < calls; ++i) SoftRunDraw(run_);
            EndFrame(static_cast<int64_t>(calls));
        }
    }

    // No budget: as many draw calls as the delay holds, at least one, with
    // events and a stop looked at between them.
    void RunUnbudgeted() {
        while (!Ending()) {
            if (Resting()) {
                Rest();
                continue;
            }
            const int64_t due = NowNs() + delayNs_;
            int64_t nextLook = NowNs() + kEventLookNs;
            int64_t calls = 0;
            do {
                SoftRunDraw(run_);
                ++calls;
                if (NowNs() >= nextLook) {
                    Follow(0);
                    nextLook = NowNs() + kEventLookNs;
                }
            } while (NowNs() < due && !Ending() && !Resting());
            if (Ending() || Resting()) continue;
            EndFrame(calls);
        }
    }

    static uint64_t NowUs() { return static_cast<uint64_t>(NowNs() / kNsPerMicrosecond); }

    HackWindow* hack_;
    Display* display_;
    const HackOptions& options_;
    const PixelFormat& format_;
    int stopFd_;
    SoftRun* run_;
    int64_t delayNs_;
    GC gc_;
    DisplayPower power_;
    ScreenImage image_;
    FpsOverlay overlay_;
    int64_t lastNs_ = 0;
    bool failed_ = false;
};

}  // namespace

int RunHack(const HackOptions& options) {
    const int stopFd = InstallStopSignals();
    Display* display = XOpenDisplay(options.display.empty() ? nullptr : options.display.c_str());
    if (display == nullptr) {
        const char* name =
            options.display.empty() ? XDisplayName(nullptr) : options.display.c_str();
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
        const PixelFormat format(hack.visual->red_mask, hack.visual->green_mask,
                                 hack.visual->blue_mask, hack.depth);
        SoftRun run;
        SoftSurfaceInit(&run.surface, hack.width, hack.height);
        hack.resized = false;
        if (LoadStartPicture(&hack, format, stopFd, &run.surface)) {
            SpiralSettings settings{};
            for (int row = 0; row < kSettingsRows; ++row) {
                ApplyDialogValue(&settings, row, options.settings[row]);
            }
            const uint32_t seed =
                static_cast<uint32_t>(std::time(nullptr)) ^ static_cast<uint32_t>(getpid());
            if (SoftRunStart(&run, settings, seed)) {
                code = FrameLoop(&hack, options, format, stopFd, &run).Run();
                SoftRunEnd(&run);
            } else {
                code = Fail("not enough memory for the spiral");
            }
        }
    }
    CloseHackWindow(&hack);
    XCloseDisplay(display);
    return code;
}
