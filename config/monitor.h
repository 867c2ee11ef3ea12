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
#include <string>

#include "config/preview_link.h"

// What the monitors need of the module: its instance (the bitmap, the window
// classes) and the screen window's class name.
struct MonitorSetup {
    HINSTANCE instance = nullptr;
    std::string screenClass;
};

// The screen window's class, formed from the saver's name:
// "GyrelPrevScrWindow".
std::string ScreenClassName(const char* saverName);

// Bitmap 3010 with its screen area in the desktop colour; loaded once per run
// of the sheet, deleted by the sheet when it has closed.
extern HBITMAP g_monitorBitmap;

void LoadMonitorBitmap(HINSTANCE instance);
void RegisterScreenClass(const MonitorSetup& setup);

// Places the monitor at the top of the page, first in its stacking order,
// and returns when the page's preview process is ready and frozen.
void CreateMonitor(HWND page, const MonitorSetup& setup);

// The line to the page's preview process (see preview_link.h), or null when
// the page has no preview.
PreviewLink* FindPagePreview(HWND page);

LRESULT CALLBACK ScreenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void StartPreviewProcess(HWND screen);
LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PaintMonitor(HWND monitor);
