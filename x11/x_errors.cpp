#include "x11/x_errors.h"

#include <cstdio>
#include <cstdlib>

namespace {

// An error that comes back frame after frame would otherwise fill the
// log 30 times a second; after this many the hack gives up.
constexpr int kReportedErrorLimit = 10;

Window g_target = 0;
bool g_targetGone = false;
int g_reportedErrors = 0;
int g_trapDepth = 0;
int g_trappedErrors = 0;

int OnXError(Display* display, XErrorEvent* error) {
    if (g_trapDepth > 0) {
        ++g_trappedErrors;
        return 0;
    }
    switch (ClassifyXError(error->error_code, error->resourceid, g_target, g_targetGone)) {
        case XErrorMeaning::TargetGone:
            g_targetGone = true;
            return 0;
        case XErrorMeaning::NoNews:
            return 0;
        case XErrorMeaning::Report:
            break;
    }
    if (g_reportedErrors >= kReportedErrorLimit) return 0;
    if (++g_reportedErrors == kReportedErrorLimit) {
        std::fputs("gyrel: the X server keeps refusing what gyrel asks; giving up\n", stderr);
        return 0;
    }
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "gyrel: X error: %s (request %d.%d, resource 0x%lx)\n", text,
                 error->request_code, error->minor_code, error->resourceid);
    return 0;
}

int OnXIOError(Display*) {
    // Xlib ends the process if this returns; say why first.
    std::fputs("gyrel: lost the connection to the X server\n", stderr);
    std::exit(1);
}

}  // namespace

void InstallXErrorHandlers() {
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
}

void SetXTargetWindow(Window window) { g_target = window; }

bool XTargetGone() { return g_targetGone; }

XErrorMeaning ClassifyXError(int errorCode, XID resource, Window target, bool targetGone) {
    // Once the window is gone, requests already on their way fail too (a
    // graphics context made on it was never made, so freeing it fails):
    // that is the end foretold, not news.
    if (targetGone) return XErrorMeaning::NoNews;
    if (errorCode == BadWindow || errorCode == BadDrawable) {
        return target != 0 && resource == target ? XErrorMeaning::TargetGone : XErrorMeaning::NoNews;
    }
    return XErrorMeaning::Report;
}

bool XErrorsPersist() { return g_reportedErrors >= kReportedErrorLimit; }

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);  // earlier requests' errors are not ours
    if (g_trapDepth++ == 0) g_trappedErrors = 0;
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    --g_trapDepth;
}

bool XErrorTrap::Failed() {
    XSync(display_, False);
    return g_trappedErrors > 0;
}
