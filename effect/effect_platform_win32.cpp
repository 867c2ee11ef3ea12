// DrawLock as a critical section, and the effect window's own timers and
// message to itself.
#include <windows.h>

#include <atomic>

#include "effect/control_messages.h"
#include "effect/effect_platform.h"

namespace {

// The UI thread freezes the worker (SuspendThread) while it holds DrawLock.
// A thread frozen inside the platform's own wait or wake-up code for a lock
// can hold that code's internal locks (Wine's address-wait spin lock, seen in
// a backtrace of a hung preview), and the next thread to wait or wake
// anything there hangs. So no thread ever waits on DrawLock inside the
// platform: each tries the critical section and, while it is taken, yields
// the processor. With no waiters, leaving it never runs the wake-up path
// either. The worker also gives way while the UI thread wants the lock, so
// the UI thread gets it at the next step instead of racing the worker for it.
CRITICAL_SECTION g_drawLock;
std::atomic<int> g_uiThreadsWaiting{0};

// A few turns of the processor, then short sleeps: a holder preempted on a
// busy machine gets the processor back either way.
constexpr int kYieldsBeforeSleeping = 64;

void GiveWay(int attempt) {
    if (attempt < kYieldsBeforeSleeping) {
        SwitchToThread();
    } else {
        Sleep(1);
    }
}

HWND AsWindow(EffectWindow window) { return static_cast<HWND>(window); }

}  // namespace

void InitialiseDrawLock() { InitializeCriticalSection(&g_drawLock); }
void DeleteDrawLock() { DeleteCriticalSection(&g_drawLock); }

void EnterDrawLock() {
    g_uiThreadsWaiting.fetch_add(1);
    for (int attempt = 0; !TryEnterCriticalSection(&g_drawLock); ++attempt) GiveWay(attempt);
    g_uiThreadsWaiting.fetch_sub(1);
}

void EnterDrawLockForWorker() {
    for (int attempt = 0;; ++attempt) {
        if (g_uiThreadsWaiting.load() == 0 && TryEnterCriticalSection(&g_drawLock)) return;
        GiveWay(attempt);
    }
}

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
