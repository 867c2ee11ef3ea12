// DrawLock as a critical section, and the effect window's own timers and
// message to itself.
#include <windows.h>

#include "effect/control_messages.h"
#include "effect/effect_platform.h"

namespace {

CRITICAL_SECTION g_drawLock;

HWND AsWindow(EffectWindow window) { return static_cast<HWND>(window); }

}  // namespace

void InitialiseDrawLock() { InitializeCriticalSection(&g_drawLock); }
void DeleteDrawLock() { DeleteCriticalSection(&g_drawLock); }
void EnterDrawLock() { EnterCriticalSection(&g_drawLock); }
void LeaveDrawLock() { LeaveCriticalSection(&g_drawLock); }

// The results are ignored: a timer that cannot be made leaves the spiral
// where it is, which is harmless.
void EffectSetTimer(EffectWindow window, uintptr_t id, uint32_t periodMs) {
    SetTimer(AsWindow(window), static_cast<UINT_PTR>(id), periodMs, nullptr);
}

void EffectKillTimer(EffectWindow window, uintptr_t id) {
    KillTimer(AsWindow(window), static_cast<UINT_PTR>(id));
}

void EffectSendNewTarget(EffectWindow window) {
    SendMessageA(AsWindow(window), WM_SPIRAL_SETPARAM, PARAM_NEW_TARGET, 0);
}
