// The areas the full-screen saver covers: one per monitor.
#pragma once

#include <windows.h>

#include <vector>

// Every monitor's rectangle in screen coordinates, the primary monitor
// first. Where the monitors cannot be listed, the primary screen alone.
std::vector<RECT> MonitorAreas();
