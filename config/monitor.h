// The monitor picture on each page of the Options sheet, and the preview
// process that runs in its screen.
//
// The picture is a static control whose painting is replaced: it draws the
// monitor of bitmap 3010 through its mask, so the page's background shows
// around the stand. Over the picture's screen lies the screen window; when
// it is created it starts a second copy of the module in preview mode inside
// itself and leaves that copy's drawing frozen (suspended twice) until the
// page releases it.
#pragma once

#include <windows.h>

#include <cstdint>

// Bitmap 3010 with its screen area in the desktop colour; loaded once per run
// of the sheet, deleted by the sheet when it has closed.
extern HBITMAP MonitorBitmap;

void LoadMonitorBitmap();
void RegisterScreenClass();

// Places the monitor at the top of the page, first in its stacking order,
// and returns when the page's preview process is ready and frozen.
void CreateMonitor(HWND page);

// Sends a control message to a page's preview and returns its reply as a
// 32-bit value. A preview that does not answer within a few seconds (frozen,
// hung, or gone) is taken as a failed reply, -1, and the sheet ends its
// process: the sheet started it, and a window of a process that no longer
// answers cannot even be destroyed with its parent.
int32_t SendToPreview(HWND preview, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

LRESULT CALLBACK ScreenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void StartPreviewProcess(HWND screen);
LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PaintMonitor(HWND monitor);
