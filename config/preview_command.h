// The command line that starts a preview copy of the module inside a window
// of the Options page.
#pragma once

#include <string>

// "<module path> /p <window>", the path in double quotes when it contains
// blanks (the preview's start-up takes the program name off the front of its
// command line and must be left with "/p <window>"), the window's handle in
// signed decimal. Sized to fit: a module installed under a long path still
// gets its whole path.
std::string PreviewCommandLine(const std::string& modulePath, long long window);
