// SIGTERM and SIGINT end the hack cleanly. The handler notes the signal and
// writes a byte to a pipe, so that a wait on the pipe (beside the X
// connection) wakes at once, whatever the hack was doing when it came.
//
// A clean end can still be kept waiting by others: an X server that stops
// answering holds the hack in its next round trip. So the first signal also
// starts a watchdog: if the hack has not ended a second later, it ends at
// once, and so it does on a second signal; either way the image helper's
// process group is killed first, so that no child outlives the hack.
#pragma once

#include <sys/types.h>

// Installs the handlers; returns the pipe's read end, or -1 if no pipe could
// be made (the signals are then noticed at the next frame).
int InstallStopSignals();

bool StopRequested();

// The process group of a running helper, for the watchdog to kill; 0 when
// none runs.
void SetHelperGroup(pid_t group);
