// gyrel-x11-probe: the X side of the hack's tests. It paints the test
// pattern where a test wants it and reads pixels back from the server, so
// that the Python tests need no X binding of their own.
//
//   gyrel-x11-probe window X Y W H [PARENT]
//                                    a window with the pattern as its
//                                    background (the server repaints it on
//                                    every exposure), top-level or inside
//                                    PARENT; prints its id, then holds it
//                                    until standard input closes
//   gyrel-x11-probe inputonly X Y W H  the same for an InputOnly window,
//                                    which nothing can be drawn on
//   gyrel-x11-probe root             the pattern as the root's background
//                                    (a server run with -noreset keeps it)
//   gyrel-x11-probe pixels ID X Y... each pixel as RRGGBB, one line (ID may
//                                    be "root")
//   gyrel-x11-probe pattern X Y...   what the pattern holds there
//   gyrel-x11-probe resize ID W H    gives a window a new size
//   gyrel-x11-probe destroy ID       destroys a window (exit 1 if gone)
//   gyrel-x11-probe map ID, unmap ID maps or unmaps a window
//   gyrel-x11-probe move-out ID PARENT  moves a window from inside PARENT to
//                                    the root and destroys PARENT, in one go
//   gyrel-x11-probe compositor       plays a compositing manager that shows
//                                    nothing: owns the screen's _NET_WM_CM_S
//                                    selection and keeps every top-level
//                                    window's picture off the screen, until
//                                    standard input closes
//
// The pattern: vertical stripes 40 pixels wide cycling through eight
// colours, every second band of 40 rows shifted by one stripe.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr unsigned long kColours[8] = {0xE02020, 0x20C020, 0x2040E0, 0xF0F0F0,
                                       0xE0E020, 0x20D0D0, 0xD020D0, 0x808080};
constexpr int kStripe = 40;

unsigned long PatternAt(long x, long y) {
    return kColours[(x / kStripe + (y / kStripe) % 2) % 8];
}

bool g_xError = false;
int NoteError(Display*, XErrorEvent*) {
    g_xError = true;
    return 0;
}

// The channel of a TrueColor pixel under the given mask, as 8 bits.
unsigned long Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    unsigned long value = (pixel & mask) >> shift;
    unsigned long max = mask >> shift;
    return value * 255 / max;
}

bool TrueColorVisual(const Visual* visual) {
    return visual->c_class == TrueColor && visual->red_mask != 0 && visual->green_mask != 0 &&
           visual->blue_mask != 0;
}

// The pixel nearest to an RGB colour: placed in the channels of a TrueColor
// visual; taken from the colour map otherwise (an 8-bit PseudoColor screen,
// whose masks are 0).
unsigned long PixelOf(Display* display, int screen, unsigned long rgb) {
    const Visual* visual = DefaultVisual(display, screen);
    if (TrueColorVisual(visual)) {
        auto place = [](unsigned long eight, unsigned long mask) {
            int shift = 0;
            while (((mask >> shift) & 1) == 0) ++shift;
            return ((eight * (mask >> shift) / 255) << shift) & mask;
        };
        return place(rgb >> 16 & 0xFF, visual->red_mask) | place(rgb >> 8 & 0xFF, visual->green_mask) |
               place(rgb & 0xFF, visual->blue_mask);
    }
    XColor colour{};
    colour.red = static_cast<unsigned short>((rgb >> 16 & 0xFF) * 257);
    colour.green = static_cast<unsigned short>((rgb >> 8 & 0xFF) * 257);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    if (!XAllocColor(display, DefaultColormap(display, screen), &colour)) return BlackPixel(display, screen);
    return colour.pixel;
}

// A pixel of the window's visual as RGB.
unsigned long RgbOf(Display* display, const XWindowAttributes& attributes, unsigned long pixel) {
    if (TrueColorVisual(attributes.visual)) {
        return Channel(pixel, attributes.visual->red_mask) << 16 |
               Channel(pixel, attributes.visual->green_mask) << 8 | Channel(pixel, attributes.visual->blue_mask);
    }
    XColor colour{};
    colour.pixel = pixel;
    XQueryColor(display, attributes.colormap, &colour);
    return static_cast<unsigned long>(colour.red >> 8) << 16 | static_cast<unsigned long>(colour.green >> 8) << 8 |
           static_cast<unsigned long>(colour.blue >> 8);
}

Pixmap PatternPixmap(Display* display, Drawable on, int width, int height) {
    const int screen = DefaultScreen(display);
    Pixmap pixmap = XCreatePixmap(display, on, width, height, DefaultDepth(display, screen));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    for (int y = 0; y < height; y += kStripe) {
        for (int x = 0; x < width; x += kStripe) {
            XSetForeground(display, gc, PixelOf(display, screen, PatternAt(x, y)));
            XFillRectangle(display, pixmap, gc, x, y, kStripe, kStripe);
        }
    }
    XFreeGC(display, gc);
    return pixmap;
}

long Number(const char* text) { return std::strtol(text, nullptr, 0); }

int Usage() {
    std::fputs("usage: gyrel-x11-probe window X Y W H [PARENT] | inputonly X Y W H | root | pixels ID X Y... | "
               "pattern X Y... | resize ID W H | destroy ID | map ID | unmap ID | move-out ID PARENT | compositor\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "pattern") {
        for (int i = 2; i + 1 < argc; i += 2) {
            std::printf("%s%06lX", i > 2 ? " " : "", PatternAt(Number(argv[i]), Number(argv[i + 1])));
        }
        std::printf("\n");
        return 0;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fputs("gyrel-x11-probe: cannot open the display\n", stderr);
        return 1;
    }
    XSetErrorHandler(NoteError);
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);

    const bool inputOnly = command == "inputonly";
    if ((command == "window" && (argc == 6 || argc == 7)) || (inputOnly && argc == 6)) {
        const Window parent = argc == 7 ? static_cast<Window>(Number(argv[6])) : root;
        const int width = static_cast<int>(Number(argv[4]));
        const int height = static_cast<int>(Number(argv[5]));
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        unsigned long mask = CWOverrideRedirect;
        if (!inputOnly) {
            attributes.background_pixmap = PatternPixmap(display, root, width, height);
            mask |= CWBackPixmap;
        }
        Window window = XCreateWindow(display, parent, static_cast<int>(Number(argv[2])),
                                      static_cast<int>(Number(argv[3])), width, height, 0,
                                      inputOnly ? 0 : CopyFromParent, inputOnly ? InputOnly : InputOutput,
                                      CopyFromParent, mask, &attributes);
        if (!inputOnly) XSelectInput(display, window, ExposureMask);
        XMapWindow(display, window);
        if (inputOnly) {
            XSync(display, False);  // no exposure comes for an InputOnly window
        } else {
            XEvent event;
            do XNextEvent(display, &event);
            while (event.type != Expose);
        }
        std::printf("0x%lx\n", window);
        std::fflush(stdout);
        char buffer[64];
        while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
        }
        return 0;
    }
    if (command == "compositor" && argc == 2) {
        const std::string selection = "_NET_WM_CM_S" + std::to_string(screen);
        XSetSelectionOwner(display, XInternAtom(display, selection.c_str(), False),
                           XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0), CurrentTime);
        XCompositeRedirectSubwindows(display, root, CompositeRedirectManual);
        XSync(display, False);
        if (g_xError) return 1;
        std::printf("ready\n");
        std::fflush(stdout);
        char buffer[64];
        while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
        }
        return 0;
    }
    if (command == "root" && argc == 2) {
        Pixmap pixmap = PatternPixmap(display, root, DisplayWidth(display, screen),
                                      DisplayHeight(display, screen));
        XSetWindowBackgroundPixmap(display, root, pixmap);
        XClearWindow(display, root);  // lasts on a server run with -noreset
        XSync(display, False);
        return g_xError ? 1 : 0;
    }
    if (command == "pixels" && argc >= 5 && argc % 2 == 1) {
        const Window window =
            std::strcmp(argv[2], "root") == 0 ? root : static_cast<Window>(Number(argv[2]));
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes)) return 1;
        XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                                  AllPlanes, ZPixmap);
        if (image == nullptr) return 1;
        for (int i = 3; i + 1 < argc; i += 2) {
            const long x = Number(argv[i]);
            const long y = Number(argv[i + 1]);
            unsigned long rgb = 0;
            if (x >= 0 && y >= 0 && x < attributes.width && y < attributes.height) {
                rgb = RgbOf(display, attributes,
                            XGetPixel(image, static_cast<int>(x), static_cast<int>(y)));
            }
            std::printf("%s%06lX", i > 3 ? " " : "", rgb);
        }
        std::printf("\n");
        XDestroyImage(image);
        return 0;
    }
    if (command == "resize" && argc == 5) {
        XResizeWindow(display, static_cast<Window>(Number(argv[2])), static_cast<unsigned>(Number(argv[3])),
                      static_cast<unsigned>(Number(argv[4])));
        XSync(display, False);
        return g_xError ? 1 : 0;
    }
    if ((command == "map" || command == "unmap") && argc == 3) {
        const Window window = static_cast<Window>(Number(argv[2]));
        if (command == "map") {
            XMapWindow(display, window);
        } else {
            XUnmapWindow(display, window);
        }
        XSync(display, False);
        return g_xError ? 1 : 0;
    }
    if (command == "move-out" && argc == 4) {
        XReparentWindow(display, static_cast<Window>(Number(argv[2])), root, 0, 0);
        XDestroyWindow(display, static_cast<Window>(Number(argv[3])));
        XSync(display, False);
        return g_xError ? 1 : 0;
    }
    if (command == "destroy" && argc == 3) {
        XDestroyWindow(display, static_cast<Window>(Number(argv[2])));
        XSync(display, False);
        return g_xError ? 1 : 0;
    }
    return Usage();
}
