// The picture the spiral starts from, got the way the collection's other
// screen-grabbing hacks get theirs: the collection's image helper, where it
// is installed, fills the window with whatever the user chose (the desktop,
// a folder of pictures, or nothing); otherwise, or if the helper fails, the
// hack copies what the screen shows in its window.
#pragma once

#include <string>

#include "effect/soft_surface.h"
#include "x11/hack_window.h"
#include "x11/pixel_format.h"

// The helper's path, or empty if there is none. $GYREL_GETIMAGE, when set,
// names it (set to nothing: never use one); else xscreensaver-getimage is
// looked for on $PATH and then where Debian and others install it.
std::string FindImageHelper();

// Fills the surface (already sized to the window) with the start picture.
// The root window itself is only ever copied: it already shows the desktop,
// and the helper cannot grab a desktop onto the root. While the helper runs
// the window's events are handled. Returns false if a stop signal came or
// the window ended while the helper ran.
bool LoadStartPicture(HackWindow* hack, const PixelFormat& format, int stopFd, SoftSurface* surface);
