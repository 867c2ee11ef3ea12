#include "x11/start_picture.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "x11/stop_signals.h"
#include "x11/x_errors.h"

namespace {

constexpr const char* kHelperName = "xscreensaver-getimage";
constexpr const char* kHelperDirectories[] = {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver",
                                              "/usr/local/libexec/xscreensaver"};
// Loading a large picture from a slow disk can take a while; a helper that
// takes longer than this is not waited for.
constexpr int64_t kHelperLimitMs = 15000;
// The settings dialog starts a preview afresh at every choice: a preview
// that is still blank after this long turns what its window shows instead.
constexpr int64_t kPreviewHelperLimitMs = 2000;
// How long a helper asked to stop may take before its group is killed.
constexpr int64_t kHelperGraceMs = 300;

bool Executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// Reads a rectangle of the drawable into the surface with its top-left
// corner at (toX, toY). Errors (a window off screen or unmapped) leave the
// surface as it was.
void ReadInto(Display* display, Drawable drawable, int x, int y, int width, int height,
              const PixelFormat& format, SoftSurface* surface, int toX, int toY) {
    if (width <= 0 || height <= 0) return;
    XErrorTrap trap(display);
    XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return;
    if (!trap.Failed()) format.ImageToSurface(image, toX, toY, surface);
    XDestroyImage(image);
}

// A compositing manager owns the screen's _NET_WM_CM_S selection.
bool Composited(Display* display, int screen) {
    const std::string selection = "_NET_WM_CM_S" + std::to_string(screen);
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

// What the screen shows of the window: a window may only be read where it
// lies on the screen. Under a compositing manager a window's own contents
// are kept off the screen and are undefined until drawn (a new window's
// among them): the root, which holds what the screen shows, is read there
// instead, unless its colours go through a colour map.
void CopyScreen(HackWindow* hack, const PixelFormat& format, SoftSurface* surface) {
    Display* display = hack->display;
    Window child;
    int left = 0;
    int top = 0;
    {
        XErrorTrap trap(display);
        if (!XTranslateCoordinates(display, hack->window, hack->root, 0, 0, &left, &top, &child) ||
            trap.Failed()) {
            return;
        }
    }
    const int x0 = std::max(0, -left);
    const int y0 = std::max(0, -top);
    const int x1 = std::min(surface->width, DisplayWidth(display, hack->screen) - left);
    const int y1 = std::min(surface->height, DisplayHeight(display, hack->screen) - top);
    const Visual* rootVisual = DefaultVisual(display, hack->screen);
    if (Composited(display, hack->screen) && rootVisual->c_class == TrueColor) {
        const PixelFormat rootFormat(rootVisual->red_mask, rootVisual->green_mask, rootVisual->blue_mask,
                                     DefaultDepth(display, hack->screen));
        ReadInto(display, hack->root, left + x0, top + y0, x1 - x0, y1 - y0, rootFormat, surface, x0, y0);
    } else {
        ReadInto(display, hack->window, x0, y0, x1 - x0, y1 - y0, format, surface, x0, y0);
    }
}

enum class HelperResult { Done, Failed, Stopped };

int64_t MsUntil(std::chrono::steady_clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return std::max<int64_t>(0, left.count());
}

// Waits until the child ends or the limit passes, and, given the hack's
// window, until a stop is asked for or the window ends, handling its events
// meanwhile; true if the child ended, with its status. The wait sleeps on a
// descriptor of the child (pidfd) where the kernel has them, and looks
// again every 20 ms where it has not.
bool AwaitChild(pid_t child, int pidfd, HackWindow* hack, int stopFd, std::chrono::steady_clock::time_point end,
                int* status) {
    for (;;) {
        const pid_t done = waitpid(child, status, WNOHANG);
        if (done == child) return true;
        if (done < 0) {
            *status = -1;
            return true;
        }
        const int64_t left = MsUntil(end);
        if (left == 0 || (hack != nullptr && (StopRequested() || hack->gone))) return false;
        const int64_t waitMs = std::min<int64_t>(pidfd >= 0 ? left : std::min<int64_t>(left, 20), 60000);
        if (hack != nullptr) {
            WaitForEvents(hack, stopFd, waitMs * 1000000, pidfd);
        } else {
            pollfd fd = {pidfd, POLLIN, 0};
            poll(&fd, 1, static_cast<int>(waitMs));
        }
    }
}

// Asks the helper's whole group to end, and makes it after a short grace.
void EndHelperGroup(pid_t child, int pidfd) {
    kill(-child, SIGTERM);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHelperGraceMs);
    if (!AwaitChild(child, pidfd, nullptr, -1, end, &status)) {
        kill(-child, SIGKILL);
        waitpid(child, &status, 0);
    }
}

// Runs the helper on the window and a pixmap, and reads the pixmap. The
// helper and whatever it starts form a process group of their own, which
// goes as a whole.
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
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // A hack killed outright has no time to end the helper: the kernel
        // does it then. A hack that died before the request was made is
        // seen in a parent that is no longer the hack.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        setpgid(0, 0);
        setenv("DISPLAY", displayName.c_str(), 1);
        close(ConnectionNumber(display));
        execl(helper.c_str(), helper.c_str(), windowId, pixmapId, static_cast<char*>(nullptr));
        _exit(127);
    }
    HelperResult result = HelperResult::Failed;
    if (child > 0) {
        // Set on both sides: whichever runs first, the group exists before
        // anyone signals it.
        setpgid(child, child);
        SetHelperGroup(child);
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        const int64_t limitMs = hack->preview ? kPreviewHelperLimitMs : kHelperLimitMs;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        int status = 0;
        if (AwaitChild(child, pidfd, hack, stopFd, end, &status)) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) result = HelperResult::Done;
        } else {
            EndHelperGroup(child, pidfd);
            if (StopRequested() || hack->gone) result = HelperResult::Stopped;
        }
        kill(-child, SIGKILL);  // anything the helper left running
        SetHelperGroup(0);
        if (pidfd >= 0) close(pidfd);
    }
    if (result == HelperResult::Done) {
        ReadInto(display, pixmap, 0, 0, surface->width, surface->height, format, surface, 0, 0);
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
