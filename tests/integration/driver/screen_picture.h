// A window of the driver's that shows a known picture over part of the
// screen, standing in for the desktop a full-screen saver starts over.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace driver {

// The primary screen's rectangle.
RECT PrimaryScreen();

// Colours with a full channel: the background colour, which never passes the
// default maximum intensity of 225, cannot make them.
uint32_t StripesAt(int x, int y);

class ScreenPicture {
public:
    // colourAt gives 0x00RRGGBB for a point in screen coordinates.
    explicit ScreenPicture(const std::function<uint32_t(int, int)>& colourAt,
                           const RECT& area = PrimaryScreen());
    ~ScreenPicture();
    ScreenPicture(const ScreenPicture&) = delete;
    ScreenPicture& operator=(const ScreenPicture&) = delete;

    // Whether the screen really shows the picture in `part` (checked before
    // a saver's pixels are trusted).
    bool Shown(const RECT& part) const;
    // The picture's pixels inside `part` (screen coordinates), row by row.
    std::vector<uint32_t> Expected(const RECT& part) const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    RECT area_;
    int width_, height_;
    std::vector<uint32_t> pixels_;
    HWND window_ = nullptr;
};

}  // namespace driver
