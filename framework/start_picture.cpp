#include "framework/start_picture.h"

#include <cstdint>

#include "framework/wallpaper.h"

namespace {

// A 32-bit top-down DIB section, so its pixels can be read and written
// directly: 0x00RRGGBB per pixel, top row first.
HBITMAP CreatePictureBitmap(int width, int height, uint32_t** pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = static_cast<uint32_t*>(bits);
    return bits != nullptr ? bitmap : nullptr;
}

bool Uniform(const uint32_t* pixels, size_t count) {
    for (size_t i = 1; i < count; ++i) {
        if (((pixels[i] ^ pixels[0]) & 0x00FFFFFFu) != 0) return false;
    }
    return true;
}

}  // namespace

StartPictures CaptureStartPictures(const std::vector<RECT>& areas) {
    StartPictures pictures(areas.size(), nullptr);
    std::vector<WallpaperTarget> blank;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    for (size_t i = 0; i < areas.size(); ++i) {
        const RECT& area = areas[i];
        const int width = area.right - area.left;
        const int height = area.bottom - area.top;
        if (width <= 0 || height <= 0) continue;
        uint32_t* pixels = nullptr;
        pictures[i] = CreatePictureBitmap(width, height, &pixels);
        if (pictures[i] == nullptr) continue;
        // A copy that fails leaves the bitmap black, which counts as uniform.
        HGDIOBJ previous = SelectObject(memory, pictures[i]);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        SelectObject(memory, previous);
        GdiFlush();
        if (Uniform(pixels, static_cast<size_t>(width) * static_cast<size_t>(height))) {
            blank.push_back(WallpaperTarget{width, height, pixels});
        }
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    // Leaves the copies where it cannot.
    if (!blank.empty()) PaintWallpaper(blank);
    return pictures;
}

void DeleteStartPictures(StartPictures* pictures) {
    for (HBITMAP& picture : *pictures) {
        if (picture != nullptr) DeleteObject(picture);
        picture = nullptr;
    }
}

void PaintStartPicture(HWND window, HBITMAP picture) {
    BITMAP size{};
    if (GetObjectA(picture, sizeof size, &size) == 0) return;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    GdiFlush();
}
