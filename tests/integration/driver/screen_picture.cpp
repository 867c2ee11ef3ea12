#include "tests/integration/driver/screen_picture.h"

#include "tests/integration/driver/driver_util.h"

namespace driver {

RECT PrimaryScreen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

uint32_t StripesAt(int x, int y) {
    static const uint32_t kStripes[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    return kStripes[((x + 37000) / 37 + (y + 23000) / 23) % 6];
}

ScreenPicture::ScreenPicture(const std::function<uint32_t(int, int)>& colourAt, const RECT& area)
    : area_(area), width_(area.right - area.left), height_(area.bottom - area.top) {
    pixels_.resize(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            pixels_[static_cast<size_t>(y) * width_ + x] = colourAt(area.left + x, area.top + y);
        }
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GyrelScreenPicture";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "screen", WS_POPUP, area.left, area.top, width_,
                              height_, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    PumpMessagesFor(300);
}

ScreenPicture::~ScreenPicture() { DestroyWindow(window_); }

bool ScreenPicture::Shown(const RECT& part) const {
    return CountDifferences(CaptureScreen(part), Expected(part)) == 0;
}

std::vector<uint32_t> ScreenPicture::Expected(const RECT& part) const {
    std::vector<uint32_t> pixels;
    for (int y = part.top; y < part.bottom; ++y) {
        for (int x = part.left; x < part.right; ++x) {
            pixels.push_back(pixels_[static_cast<size_t>(y - area_.top) * width_ + (x - area_.left)]);
        }
    }
    return pixels;
}

LRESULT CALLBACK ScreenPicture::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ScreenPicture*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_PAINT || self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, self->width_, -self->height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBitsToDevice(dc, 0, 0, self->width_, self->height_, 0, 0, 0, self->height_,
                      self->pixels_.data(), &info, DIB_RGB_COLORS);
    EndPaint(window, &paint);
    return 0;
}

}  // namespace driver
