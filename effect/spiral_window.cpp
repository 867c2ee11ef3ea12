#include "effect/spiral_window.h"

#include <new>

#include "effect/control_messages.h"
#include "effect/draw_ops_gdi.h"
#include "effect/spiral.h"

HDC GetMappedDC(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, LOGICAL_WIDTH, LOGICAL_HEIGHT, nullptr);
    SetViewportExtEx(dc, client.right, client.bottom, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    return dc;
}

namespace {

SpiralState* SpiralOf(HWND window) {
    return reinterpret_cast<SpiralState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Each effect window has a spiral of its own, following a copy of the
// process's settings (changed only by its own parameter messages) and
// drawing from a generator of its own.
LRESULT CreateSpiral(HWND window, const CREATESTRUCTA* creation) {
    auto* lock = static_cast<DrawLock*>(creation != nullptr ? creation->lpCreateParams : nullptr);
    if (lock == nullptr) return -1;  // no host runs a worker for it
    auto* state = new (std::nothrow) SpiralState{};
    if (state == nullptr) return -1;
    state->settings = g_spiralSettings;
    state->random = SpawnRandom();
    state->lock = lock;
    HDC dc = GetMappedDC(window);
    RECT client{};
    GetClientRect(window, &client);
    SpiralCreate(state, window, dc, GdiDrawOpsFor(client.right, client.bottom));
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return 0;
}

void ReleaseSpiral(HWND window) {
    SpiralState* state = SpiralOf(window);
    if (state == nullptr) return;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    HDC dc = static_cast<HDC>(state->dc);
    SpiralRelease(state);
    ReleaseDC(window, dc);
    delete state;
}

}  // namespace

bool DrawSpiralInWindow(HWND window) {
    SpiralState* state = SpiralOf(window);
    if (state == nullptr) return false;
    DrawSpiral(state);
    return true;
}

LRESULT CALLBACK SpiralWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        return CreateSpiral(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    }
    SpiralState* state = SpiralOf(window);
    if (state == nullptr) {
        // Before creation or after destruction there is no spiral to change:
        // control messages do nothing and a suspend is refused.
        if (message == WM_SPIRAL_SUSPEND || message == WM_SPIRAL_RESUME) return -1;
        if (message == WM_SPIRAL_SETPARAM || message == WM_TIMER) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_DESTROY:
            ReleaseSpiral(window);
            return 0;
        case WM_TIMER:
            OnEffectTimer(state, wParam);
            return 0;
        case WM_SPIRAL_SETPARAM:
            ApplySpiralParameter(state, LOWORD(wParam), LOWORD(lParam));
            return 0;
        // The worker's freeze count, kept by its DrawLock from the window's
        // creation on, so a suspend counts even before the worker runs; once
        // a close has been accepted a suspend is refused (-1).
        case WM_SPIRAL_SUSPEND:
            return static_cast<LRESULT>(FreezeDrawLockWorker(state->lock, true));
        case WM_SPIRAL_RESUME:
            return static_cast<LRESULT>(FreezeDrawLockWorker(state->lock, false));
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
