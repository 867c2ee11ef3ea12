#include "effect/spiral_window.h"

#include "effect/control_messages.h"
#include "effect/draw_ops_gdi.h"
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

// Suspend and resume happen inside DrawLock, so the worker is only ever
// frozen between two steps and never while it holds the lock. The reply is
// the count before the call; the platform's failure value stays negative.
LRESULT FreezeWorker(bool freeze) {
    EnterDrawLock();
    DWORD previous = freeze ? SuspendThread(WorkerThread) : ResumeThread(WorkerThread);
    LeaveDrawLock();
    return static_cast<LRESULT>(static_cast<LONG>(previous));
}

}  // namespace

LRESULT CALLBACK SpiralWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SpiralCreate(window, GetMappedDC(window), &kGdiDrawOps);
            return 0;
        case WM_DESTROY: {
            HDC dc = static_cast<HDC>(g_spiral.dc);
            SpiralRelease();
            ReleaseDC(window, dc);
            return 0;
        }
        case WM_TIMER:
            OnEffectTimer(window, wParam);
            return 0;
        case WM_SPIRAL_SETPARAM:
            ApplySpiralParameter(window, LOWORD(wParam), LOWORD(lParam));
            return 0;
        case WM_SPIRAL_SUSPEND:
            return FreezeWorker(true);
        case WM_SPIRAL_RESUME:
            return FreezeWorker(false);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
