// The effect window procedure: the one procedure the spiral effect hands to
// the framework, for the saver window and the preview window alike.
#pragma once

#include <windows.h>

// The window's DrawLock comes as its creation parameter
// (CREATESTRUCT::lpCreateParams): the host that runs the window's draw
// worker owns it. A window created without one is refused.
LRESULT CALLBACK SpiralWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The draw callback: 1000 steps of the window's spiral. Runs on the window's
// draw worker only. False when the window has no spiral any more (it went
// without a destroy the host saw, as a preview's does when its parent's
// process is ended): there is then nothing left to draw in.
bool DrawSpiralInWindow(HWND window);

// The window's drawing context, mapped so that the logical 800 by 600 space
// covers the whole client area, independently in x and y. Release it with
// ReleaseDC.
HDC GetMappedDC(HWND window);
