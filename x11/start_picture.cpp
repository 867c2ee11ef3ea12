#include "x11/start_picture.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "x11/stop_signals.h"
#include "x11/x_errors.h"

namespace {

constexpr const char* kHelperName = "xscreensaver-getimage";
constexpr const char* kHelperDirectories[] = {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver",
                                              "/usr/local/libexec/xscreensaver"};
// Loading a large picture from a slow disk can take a while; a helper that
// takes longer than this is not waited for.
constexpr int64_t kHelperLimitMs = 15000;

bool Executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// Reads the part of the drawable that lies within the given rectangle into
// the surface at the same place. Errors (a window off screen or unmapped)
// leave the surface as it was.
void ReadInto(Display* display, Drawable drawable, int x, int y, int width, int height,
              const PixelFormat& format, SoftSurface* surface) {
    if (width <= 0 || height <= 0) return;
    XErrorTrap trap(display);
    XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return;
    if (!trap.Failed()) format.ImageToSurface(image, x, y, surface);
    XDestroyImage(image);
}

// What the screen shows of the window: a window may only be read where it
// lies on the screen.
void CopyScreen(HackWindow* hack, const PixelFormat& format, SoftSurface* surface) {
    Display* display = hack->display;
    Window child;
    int left = 0;
    int top = 0;
    const Window root = DefaultRootWindow(display);
    {
        XErrorTrap trap(display);
        if (!XTranslateCoordinates(display, hack->window, root, 0, 0, &left, &top, &child) || trap.Failed()) {
            return;
        }
    }
    const int screen = DefaultScreen(display);
    const int x0 = std::max(0, -left);
    const int y0 = std::max(0, -top);
    const int x1 = std::min(surface->width, DisplayWidth(display, screen) - left);
    const int y1 = std::min(surface->height, DisplayHeight(display, screen) - top);
    ReadInto(display, hack->window, x0, y0, x1 - x0, y1 - y0, format, surface);
}

enum class HelperResult { Done, Failed, Stopped };

// Runs the helper on the window and a pixmap, and reads the pixmap.
HelperResult RunHelper(const std::string& helper, HackWindow* hack, const PixelFormat& format, int stopFd,
                       SoftSurface* surface) {
    Display* display = hack->display;
    const Pixmap pixmap = XCreatePixmap(display, hack->window, static_cast<unsigned>(surface->width),
                                        static_cast<unsigned>(surface->height),
                                        static_cast<unsigned>(hack->depth));
    XSync(display, False);  // the helper must find both

    char windowId[32];
    char pixmapId[32];
    std::snprintf(windowId, sizeof windowId, "0x%lx", hack->window);
    std::snprintf(pixmapId, sizeof pixmapId, "0x%lx", pixmap);
    const std::string displayName = DisplayString(display);
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", displayName.c_str(), 1);
        close(ConnectionNumber(display));
        execl(helper.c_str(), helper.c_str(), windowId, pixmapId, static_cast<char*>(nullptr));
        _exit(127);
    }
    HelperResult result = HelperResult::Failed;
    if (child > 0) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kHelperLimitMs);
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) {
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0) result = HelperResult::Done;
                break;
            }
            const bool stop = StopRequested();
            if (done < 0 || stop || Clock::now() >= end) {
                kill(child, stop ? SIGTERM : SIGKILL);
                waitpid(child, &status, 0);
                if (stop) result = HelperResult::Stopped;
                break;
            }
            pollfd fd{stopFd, POLLIN, 0};
            poll(&fd, stopFd >= 0 ? 1 : 0, 20);
        }
    }
    if (result == HelperResult::Done) {
        ReadInto(display, pixmap, 0, 0, surface->width, surface->height, format, surface);
    }
    XFreePixmap(display, pixmap);
    return result;
}

}  // namespace

std::string FindImageHelper() {
    if (const char* chosen = std::getenv("GYREL_GETIMAGE")) return Executable(chosen) ? chosen : "";
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            const std::string directory = list.substr(start, end - start);
            const std::string candidate = (directory.empty() ? "." : directory) + "/" + kHelperName;
            if (Executable(candidate)) return candidate;
            start = end + 1;
        }
    }
    for (const char* directory : kHelperDirectories) {
        const std::string candidate = std::string(directory) + "/" + kHelperName;
        if (Executable(candidate)) return candidate;
    }
    return "";
}

bool LoadStartPicture(HackWindow* hack, const PixelFormat& format, int stopFd, SoftSurface* surface) {
    if (!hack->realRoot) {
        const std::string helper = FindImageHelper();
        if (!helper.empty()) {
            const HelperResult result = RunHelper(helper, hack, format, stopFd, surface);
            if (result == HelperResult::Stopped) return false;
            if (result == HelperResult::Done) return true;
        }
    }
    CopyScreen(hack, format, surface);
    return true;
}
