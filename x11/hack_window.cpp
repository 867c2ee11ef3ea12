#include "x11/hack_window.h"

#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "x11/stop_signals.h"
#include "x11/x_errors.h"

namespace {

constexpr int kOwnWidth = 800;
constexpr int kOwnHeight = 600;
constexpr int64_t kShowLimitNs = 5000000000;

std::string Hex(unsigned long id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

bool UsableVisual(const Visual* visual) {
    return visual != nullptr && visual->c_class == TrueColor && visual->red_mask != 0 &&
           visual->green_mask != 0 && visual->blue_mask != 0;
}

const char* VisualClassName(int c_class) {
    switch (c_class) {
        case StaticGray: return "StaticGray";
        case GrayScale: return "GrayScale";
        case StaticColor: return "StaticColor";
        case PseudoColor: return "PseudoColor";
        case DirectColor: return "DirectColor";
        default: return "TrueColor";
    }
}

// The screen's default visual where that is TrueColor; else its deepest
// TrueColor visual; null if it has none.
Visual* ChooseOwnVisual(Display* display, int screen, int* depth) {
    Visual* fallback = DefaultVisual(display, screen);
    if (UsableVisual(fallback)) {
        *depth = DefaultDepth(display, screen);
        return fallback;
    }
    XVisualInfo wanted{};
    wanted.screen = screen;
    wanted.c_class = TrueColor;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display, VisualScreenMask | VisualClassMask, &wanted, &count);
    Visual* best = nullptr;
    for (int i = 0; i < count; ++i) {
        if (UsableVisual(found[i].visual) && (best == nullptr || found[i].depth > *depth)) {
            best = found[i].visual;
            *depth = found[i].depth;
        }
    }
    if (found != nullptr) XFree(found);
    return best;
}

bool AdoptWindow(Display* display, Window window, HackWindow* hack, std::string* problem) {
    XWindowAttributes attributes;
    bool ok;
    {
        XErrorTrap trap(display);
        ok = XGetWindowAttributes(display, window, &attributes) != 0 && !trap.Failed();
    }
    if (!ok) {
        *problem = "there is no window " + Hex(window);
        return false;
    }
    if (attributes.c_class == InputOnly || attributes.depth == 0) {
        *problem = "window " + Hex(window) + " is InputOnly: nothing can be drawn on it";
        return false;
    }
    hack->window = window;
    hack->screen = XScreenNumberOfScreen(attributes.screen);
    hack->root = attributes.root;
    hack->visual = attributes.visual;
    hack->depth = attributes.depth;
    hack->width = attributes.width;
    hack->height = attributes.height;
    hack->shown = attributes.map_state == IsViewable;
    hack->realRoot = window == attributes.root;
    SetXTargetWindow(window);
    // Several clients may watch one window for these; none of them takes
    // the window's input away from its owner. The root is never covered in
    // the server's eyes, so it is not asked.
    XSelectInput(display, window,
                 StructureNotifyMask | ExposureMask | (hack->realRoot ? 0 : VisibilityChangeMask));
    return true;
}

bool CreateOwnWindow(Display* display, HackWindow* hack, std::string* problem) {
    const int screen = DefaultScreen(display);
    hack->screen = screen;
    hack->root = RootWindow(display, screen);
    hack->visual = ChooseOwnVisual(display, screen, &hack->depth);
    if (hack->visual == nullptr) {
        *problem = std::string("the screen has no TrueColor visual (its default is ") +
                   VisualClassName(DefaultVisual(display, screen)->c_class) + ")";
        return false;
    }
    hack->own = true;
    hack->width = std::min(kOwnWidth, DisplayWidth(display, screen));
    hack->height = std::min(kOwnHeight, DisplayHeight(display, screen));
    XSetWindowAttributes attributes{};
    // No background: until the first frame the window shows what was on the
    // screen under it, which is what the spiral then starts from.
    attributes.background_pixmap = None;
    attributes.event_mask = StructureNotifyMask | ExposureMask | VisibilityChangeMask | KeyPressMask;
    unsigned long mask = CWBackPixmap | CWEventMask;
    if (hack->visual != DefaultVisual(display, screen)) {
        // Another visual than the root's needs a colour map and border of
        // its own.
        attributes.colormap = XCreateColormap(display, hack->root, hack->visual, AllocNone);
        attributes.border_pixel = 0;
        mask |= CWColormap | CWBorderPixel;
    }
    hack->window = XCreateWindow(display, hack->root, 0, 0, static_cast<unsigned>(hack->width),
                                 static_cast<unsigned>(hack->height), 0, hack->depth, InputOutput, hack->visual,
                                 mask, &attributes);
    SetXTargetWindow(hack->window);
    XStoreName(display, hack->window, "Gyrel");
    XClassHint classHint{const_cast<char*>("gyrel"), const_cast<char*>("Gyrel")};
    XSetClassHint(display, hack->window, &classHint);
    // Lets window managers and xrestop tie the window to this process; a
    // process id means something only beside the machine it runs on.
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, hack->window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        char* names[] = {host};
        XTextProperty machine{};
        if (XStringListToTextProperty(names, 1, &machine) != 0) {
            XSetWMClientMachine(display, hack->window, &machine);
            XFree(machine.value);
        }
    }
    hack->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, hack->window, &hack->deleteWindow, 1);
    XMapWindow(display, hack->window);
    return true;
}

// Asks the server whether the window is viewable: mapped, and all its
// ancestors mapped. A window gone meanwhile answers with an error that ends
// the hack.
void UpdateViewable(HackWindow* hack) {
    XWindowAttributes attributes;
    hack->viewable = XGetWindowAttributes(hack->display, hack->window, &attributes) != 0 &&
                     attributes.map_state == IsViewable;
}

// Watches the window's ancestors up to the root, which another client (the
// settings dialog, a window manager's frame) may unmap with the window
// still mapped inside; then asks again whether the window is viewable, so
// that nothing changed before the watch began is missed.
void WatchAncestors(HackWindow* hack) {
    Display* display = hack->display;
    std::vector<Window> ancestors;
    for (Window window = hack->window;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        // An ancestor gone meanwhile fails with an error that is no news.
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) break;
        if (children != nullptr) XFree(children);
        if (parent == 0 || parent == root) break;
        if (std::find(hack->ancestors.begin(), hack->ancestors.end(), parent) == hack->ancestors.end()) {
            XSelectInput(display, parent, StructureNotifyMask);
        }
        ancestors.push_back(parent);
        window = parent;
    }
    // Windows that are ancestors no longer are left alone; one that has
    // gone meanwhile answers with an error that is no news.
    for (Window old : hack->ancestors) {
        if (std::find(ancestors.begin(), ancestors.end(), old) == ancestors.end()) {
            XSelectInput(display, old, NoEventMask);
        }
    }
    hack->ancestors = std::move(ancestors);
    UpdateViewable(hack);
}

void HandleAncestorEvent(HackWindow* hack, const XEvent& event) {
    switch (event.type) {
        case MapNotify:
        case UnmapNotify:
            UpdateViewable(hack);
            break;
        case ReparentNotify:
            WatchAncestors(hack);
            break;
        case DestroyNotify:
            // The window went with it, or had left it before.
            hack->ancestors.erase(std::find(hack->ancestors.begin(), hack->ancestors.end(), event.xany.window));
            break;
        default:
            break;
    }
}

void HandleEvent(HackWindow* hack, const XEvent& event) {
    if (event.xany.window != hack->window) {
        if (std::find(hack->ancestors.begin(), hack->ancestors.end(), event.xany.window) != hack->ancestors.end()) {
            HandleAncestorEvent(hack, event);
        }
        return;
    }
    switch (event.type) {
        case Expose:
            hack->shown = true;
            hack->exposed = true;
            break;
        case ConfigureNotify:
            if (event.xconfigure.width != hack->width || event.xconfigure.height != hack->height) {
                hack->width = event.xconfigure.width;
                hack->height = event.xconfigure.height;
                hack->resized = true;
            }
            break;
        case MapNotify:
            UpdateViewable(hack);
            break;
        case UnmapNotify:
            hack->viewable = false;
            break;
        case ReparentNotify:
            WatchAncestors(hack);
            break;
        case VisibilityNotify:
            hack->obscured = event.xvisibility.state == VisibilityFullyObscured;
            break;
        case DestroyNotify:
            hack->gone = true;
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == hack->deleteWindow && hack->own) {
                hack->gone = true;
            }
            break;
        case KeyPress: {
            // In its own window, as in other hacks' own windows; any window
            // handed over belongs to another program, which has its keys.
            const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
            if (hack->own && (key == XK_q || key == XK_Escape)) hack->gone = true;
            break;
        }
        default:
            break;
    }
}

// Handles the events already received; returns how many there were.
int HandlePending(HackWindow* hack) {
    int handled = 0;
    while (XPending(hack->display) > 0) {
        XEvent event;
        XNextEvent(hack->display, &event);
        HandleEvent(hack, event);
        ++handled;
    }
    if (XTargetGone()) hack->gone = true;
    return handled;
}

}  // namespace

bool OpenHackWindow(Display* display, const HackOptions& options, HackWindow* hack,
                    std::string* problem) {
    *hack = HackWindow{};
    hack->display = display;
    bool ok = true;
    if (options.target == TargetKind::WindowId) {
        ok = AdoptWindow(display, options.windowId, hack, problem);
        hack->preview = true;
    } else if (options.target == TargetKind::Root) {
        const char* named = std::getenv("XSCREENSAVER_WINDOW");
        unsigned long id = 0;
        if (named != nullptr && *named != '\0') {
            if (!ParseWindowId(named, &id)) {
                *problem = std::string("XSCREENSAVER_WINDOW holds no window id: '") + named + "'";
                return false;
            }
            ok = AdoptWindow(display, id, hack, problem);
        } else {
            ok = AdoptWindow(display, DefaultRootWindow(display), hack, problem);
        }
    } else {
        ok = CreateOwnWindow(display, hack, problem);
    }
    if (!ok) return false;
    if (!UsableVisual(hack->visual)) {
        *problem = "window " + Hex(hack->window) + " has a " + VisualClassName(hack->visual->c_class) +
                   " visual, whose colours gyrel cannot set (TrueColor needed)";
        CloseHackWindow(hack);
        return false;
    }
    if (hack->realRoot) {
        hack->viewable = true;
    } else {
        WatchAncestors(hack);
    }
    return true;
}

bool HackWindowHidden(const HackWindow& hack) { return !hack.viewable || hack.obscured; }

void CloseHackWindow(HackWindow* hack) {
    if (hack->own && hack->window != 0) {
        XErrorTrap trap(hack->display);  // it may be gone already
        XDestroyWindow(hack->display, hack->window);
    }
    hack->window = 0;
}

void WaitForEvents(HackWindow* hack, int stopFd, int64_t timeoutNs, int otherFd) {
    // Events already here may be what the caller waits for (the window's
    // first showing): it looks before this waits for more.
    if (HandlePending(hack) > 0) return;
    XFlush(hack->display);
    if (hack->gone || StopRequested() || XPending(hack->display) > 0) return;
    // poll passes over negative descriptors.
    pollfd fds[3] = {{ConnectionNumber(hack->display), POLLIN, 0}, {stopFd, POLLIN, 0}, {otherFd, POLLIN, 0}};
    const int64_t ms = (timeoutNs + 999999) / 1000000;
    const int timeoutMs = timeoutNs < 0 ? -1 : (ms > 60000 ? 60000 : static_cast<int>(ms));
    poll(fds, 3, timeoutMs);
    HandlePending(hack);
}

bool WaitUntilShown(HackWindow* hack, int stopFd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::nanoseconds(kShowLimitNs);
    while (!hack->shown && !hack->gone && !StopRequested()) {
        const int64_t left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        WaitForEvents(hack, stopFd, left);
    }
    return !hack->gone && !StopRequested();
}
