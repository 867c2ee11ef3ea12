// The effect window procedure: the one procedure the spiral effect hands to
// the framework, for the saver window and the preview window alike.
#pragma once

#include <windows.h>

LRESULT CALLBACK SpiralWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
