#include "tests/integration/driver/fake_preview.h"

#include "effect/control_messages.h"

namespace driver {

namespace {
constexpr char kClassName[] = "GyrelDriverFakePreview";
}

FakePreview::FakePreview(HWND screen, int32_t count) : count_(count) {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.cbWndExtra = sizeof(FakePreview*);
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        atom = RegisterClassA(&windowClass);
    }
    window_ = CreateWindowExA(0, kClassName, "fake preview", WS_CHILD, 0, 0, 8, 8, screen, nullptr,
                              GetModuleHandleA(nullptr), this);
}

FakePreview::~FakePreview() {
    if (IsWindow(window_)) DestroyWindow(window_);
}

std::vector<std::pair<int, int>> FakePreview::Parameters() const {
    std::vector<std::pair<int, int>> parameters;
    for (const PreviewMessage& m : received_) {
        if (m.message == WM_SPIRAL_SETPARAM) {
            parameters.emplace_back(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
        }
    }
    return parameters;
}

LRESULT CALLBACK FakePreview::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FakePreview*>(GetWindowLongPtrA(window, 0));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_SPIRAL_SETPARAM:
            self->received_.push_back({message, wParam, lParam});
            return 0;
        case WM_SPIRAL_SUSPEND: {
            self->received_.push_back({message, wParam, lParam});
            if (self->stuck_) return 0;
            return self->count_++;
        }
        case WM_SPIRAL_RESUME: {
            self->received_.push_back({message, wParam, lParam});
            int32_t before = self->count_;
            if (self->count_ > 0) --self->count_;
            return before;
        }
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace driver
