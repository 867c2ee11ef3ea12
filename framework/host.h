// The two modes that draw: full-screen saving and the preview in a window.
#pragma once

enum class HostKind : int {
    Saver = 0,
    Preview = 1,
};

// Runs one host window with its draw worker until the window is gone.
// Returns 0 when the message loop has ended, -1 when the window class cannot
// be registered or the window cannot be created.
int RunHost(HostKind kind);
