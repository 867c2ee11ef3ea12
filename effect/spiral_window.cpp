#include "effect/spiral_window.h"

#include <new>

#include "effect/control_messages.h"
#include "effect/draw_ops_gdi.h"
#include "effect/effect_platform_win32.h"
#include "effect/spiral.h"
#include "framework/host.h"

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

// What each effect window owns: its spiral, the settings it follows (a copy
// of the process's, changed only by its own parameter messages) and the
// generator it draws from.
struct SpiralWindowData {
    SpiralState state{};
    SpiralSettings settings{};
    RandomGenerator random;
};

SpiralWindowData* DataOf(HWND window) {
    return reinterpret_cast<SpiralWindowData*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Suspend and resume change the worker's freeze count under DrawLock; the
// worker honours it when it next enters the lock, so it is only ever frozen
// between two steps, never inside the lock or a drawing call. Once a close
// has been accepted a suspend no longer freezes: the worker must reach the
// end of its loop to finish the close. The reply is the count before the
// call; a window without a worker, a count at its limit and a refused
// suspend give -1.
LRESULT FreezeWorker(HWND window, SpiralState* state, bool freeze) {
    if (freeze && StopState.load() != StopStateValue::Running) return -1;
    if (HostWorker(window) == nullptr) return -1;
    EnterDrawLock(state->lock);
    const long previous = FreezeDrawLockWorker(state->lock, freeze);
    LeaveDrawLock(state->lock);
    return static_cast<LRESULT>(previous);
}

LRESULT CreateSpiral(HWND window) {
    auto* data = new (std::nothrow) SpiralWindowData;
    if (data == nullptr) return -1;
    data->settings = g_spiralSettings;
    data->random = SpawnRandom();
    data->state.settings = &data->settings;
    data->state.random = &data->random;
    HDC dc = GetMappedDC(window);
    RECT client{};
    GetClientRect(window, &client);
    if (!SpiralCreate(&data->state, window, dc, GdiDrawOpsFor(client.right, client.bottom))) {
        ReleaseDC(window, dc);
        delete data;
        return -1;  // the window is not made
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    return 0;
}

void ReleaseSpiral(HWND window) {
    SpiralWindowData* data = DataOf(window);
    if (data == nullptr) return;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    HDC dc = static_cast<HDC>(data->state.dc);
    SpiralRelease(&data->state);
    ReleaseDC(window, dc);
    delete data;
}

}  // namespace

void ThawSpiralWorker(HWND window) {
    if (SpiralWindowData* data = DataOf(window)) ThawDrawLockWorker(data->state.lock);
}

void DrawSpiralInWindow(HWND window) {
    if (SpiralWindowData* data = DataOf(window)) DrawSpiral(&data->state);
}

LRESULT CALLBACK SpiralWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return CreateSpiral(window);
    SpiralWindowData* data = DataOf(window);
    if (data == nullptr) {
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
            OnEffectTimer(&data->state, wParam);
            return 0;
        case WM_SPIRAL_SETPARAM:
            ApplySpiralParameter(&data->state, LOWORD(wParam), LOWORD(lParam));
            return 0;
        case WM_SPIRAL_SUSPEND:
            return FreezeWorker(window, &data->state, true);
        case WM_SPIRAL_RESUME:
            return FreezeWorker(window, &data->state, false);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
