// SIGTERM and SIGINT end the hack cleanly. The handler only notes the
// signal and writes a byte to a pipe, so that a wait on the pipe (beside the
// X connection) wakes at once, whatever the hack was doing when it came.
#pragma once

// Installs the handlers; returns the pipe's read end, or -1 if no pipe could
// be made (the signals are then noticed at the next frame).
int InstallStopSignals();

bool StopRequested();
