// What the full-screen saver starts from.
//
// A new window does not start with the screen's pixels in it (a compositing
// desktop gives it a surface of its own, black at first), so the saver
// copies the screen before its window appears and puts the copy into the
// window before the first draw. Where that copy is all one colour (a
// password-protected saver starts on a separate, blank secure desktop), the
// user's desktop wallpaper takes its place.
#pragma once

#include <windows.h>

#include <vector>

// The pictures for the screen areas (screen coordinates), one per area in
// order, owned by the caller: a copy of the screen there, or the wallpaper
// scaled to fill it when the copy is uniform and a wallpaper can be read
// (decoded once for every such area). A null picture where no bitmap can be
// made.
using StartPictures = std::vector<HBITMAP>;
StartPictures CaptureStartPictures(const std::vector<RECT>& areas);
void DeleteStartPictures(StartPictures* pictures);

// Copies the picture into the window's client area at its origin.
void PaintStartPicture(HWND window, HBITMAP picture);
