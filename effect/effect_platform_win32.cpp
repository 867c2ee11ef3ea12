// DrawLock as a critical section, and the effect window's own timers and
// message to itself.
#include <windows.h>

#include <atomic>
#include <new>

#include "effect/control_messages.h"
#include "effect/effect_platform.h"
#include "effect/spiral.h"

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

HWND WindowOf(SpiralState* state) { return static_cast<HWND>(state->window); }

}  // namespace

struct DrawLock {
    CRITICAL_SECTION section;
    std::atomic<int> uiThreadsWaiting{0};
};

DrawLock* CreateDrawLock() {
    auto* lock = new (std::nothrow) DrawLock;
    if (lock != nullptr) InitializeCriticalSection(&lock->section);
    return lock;
}

void DeleteDrawLock(DrawLock* lock) {
    if (lock == nullptr) return;
    DeleteCriticalSection(&lock->section);
    delete lock;
}

void EnterDrawLock(DrawLock* lock) {
    lock->uiThreadsWaiting.fetch_add(1);
    for (int attempt = 0; !TryEnterCriticalSection(&lock->section); ++attempt) GiveWay(attempt);
    lock->uiThreadsWaiting.fetch_sub(1);
}

void EnterDrawLockForWorker(DrawLock* lock) {
    for (int attempt = 0;; ++attempt) {
        if (lock->uiThreadsWaiting.load() == 0 && TryEnterCriticalSection(&lock->section)) return;
        GiveWay(attempt);
    }
}

void LeaveDrawLock(DrawLock* lock) { LeaveCriticalSection(&lock->section); }

// The results are ignored: a timer that cannot be made leaves the spiral
// where it is, which is harmless.
void EffectSetTimer(SpiralState* state, uintptr_t id, uint32_t periodMs) {
    SetTimer(WindowOf(state), static_cast<UINT_PTR>(id), periodMs, nullptr);
}

void EffectKillTimer(SpiralState* state, uintptr_t id) {
    KillTimer(WindowOf(state), static_cast<UINT_PTR>(id));
}

void EffectSendNewTarget(SpiralState* state) {
    SendMessageA(WindowOf(state), WM_SPIRAL_SETPARAM, PARAM_NEW_TARGET, 0);
}
