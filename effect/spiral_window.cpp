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

// SuspendThread only asks for the freeze and may return before the thread
// has stopped; reading its context waits until it really has.
void WaitUntilFrozen(HANDLE thread) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(thread, &context);
}

// Suspend and resume happen inside DrawLock, and a suspend is complete before
// the lock is left, so the worker is only ever frozen between two steps and
// never inside the lock, even in its wait or wake-up. Once a close has been
// accepted a suspend no longer freezes: the worker must reach the end of its
// loop to finish the close. The reply is the count before the call; the
// platform's failure value, and a refused suspend, are -1.
LRESULT FreezeWorker(bool freeze) {
    if (freeze && StopState.load() != StopStateValue::Running) return -1;
    EnterDrawLock();
    DWORD previous = freeze ? SuspendThread(WorkerThread) : ResumeThread(WorkerThread);
    if (freeze && previous != static_cast<DWORD>(-1)) WaitUntilFrozen(WorkerThread);
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
