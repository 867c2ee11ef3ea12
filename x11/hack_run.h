// The hack's life: open the display and the window, take the start picture,
// then draw frames until a stop signal or the window's end.
#pragma once

#include "x11/options.h"

// Returns the process's exit code: 0 for a clean end (a stop signal, the
// window destroyed or closed), 1 when the display or window cannot be used.
int RunHack(const HackOptions& options);
