// X errors arrive late and out of line; the hack's window can vanish at any
// moment (the daemon or the settings dialog destroys it). Errors that say
// that window is gone end the hack cleanly instead of killing it; the same
// errors about any other window (another client's, which the hack watches
// and which may go at any moment) are no news.
#pragma once

#include <X11/Xlib.h>

// Installs the error and I/O error handlers. A lost connection ends the
// process with exit code 1 and a message.
void InstallXErrorHandlers();

// The window the hack draws on, whose loss ends it.
void SetXTargetWindow(Window window);

// True once an error has said that the hack's window no longer exists.
// Errors after that are not reported: requests already sent fail with it.
bool XTargetGone();

enum class XErrorMeaning {
    TargetGone,  // the hack's window has gone: the end, quietly
    NoNews,      // a window of another's gone, or the end's echo
    Report,      // worth telling the user
};
// What an error with the given code about the given resource means, with
// the hack drawing on target (0: none yet), gone already or not.
XErrorMeaning ClassifyXError(int errorCode, XID resource, Window target, bool targetGone);

// True once so many errors have come that going on would only repeat them;
// the hack then ends with exit code 1.
bool XErrorsPersist();

// Counts the errors of the requests made while it lives, instead of
// reporting them: for requests that may fail by design (attaching shared
// memory, reading a window that may be off screen).
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server to answer everything sent so far; true if any of
    // it failed.
    bool Failed();

private:
    Display* display_;
};
