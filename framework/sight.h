// Whether anyone can see the saver: the display's power state, the session's
// connection and, for a preview, whether its window shows at all. While
// nobody can, the run holds its draw workers (host.h, NoteSight) and the
// saver costs no processor time; once someone can again, they go on where
// they were.
//
// The platform tells a full-screen saver of the display and the session
// with notices that it must ask for on a window and give back before that
// window goes. A preview is looked at instead, by the timer that already
// watches its parent.
#pragma once

#include <windows.h>

// What one notice says.
enum class SightChange {
    None,    // nothing about being seen
    Unseen,  // nobody can see the picture from now on
    Seen,    // somebody can again
};

// WM_POWERBROADCAST: the display's state (PBT_POWERSETTINGCHANGE for the
// console display state, or the monitor's power on systems before Windows
// 8): off (0) is Unseen, on (1) and dimmed (2) are Seen. Any other event or
// setting, a record shorter than its value, or no readable record at all (a
// message from another program can carry any address) is None.
SightChange SightFromPowerBroadcast(WPARAM event, LPARAM setting);

// WM_WTSSESSION_CHANGE: a console or remote disconnect is Unseen, the
// matching connect is Seen; every other session event is None.
SightChange SightFromSessionChange(WPARAM event);

// A preview can be seen while its window and every ancestor are visible and
// its top-level window is not minimised.
bool PreviewInSight(HWND window);

// The notices asked for on one window. Each part is missing where the system
// refuses it (older systems, emulators): the saver then draws as it would
// without them.
struct SightNotices {
    HWND window = nullptr;
    HANDLE display[2] = {nullptr, nullptr};  // console display state, monitor power
    bool session = false;
};

SightNotices AskForSightNotices(HWND window);
// Gives back what was asked for; the window must still exist. Safe to call
// again.
void GiveBackSightNotices(SightNotices* notices);
