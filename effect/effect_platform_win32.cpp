// DrawLock as a critical section, and the effect window's own timers and
// message to itself.
#include <windows.h>

#include <atomic>
#include <new>

#include "effect/control_messages.h"
#include "effect/effect_platform.h"
#include "effect/effect_platform_win32.h"
#include "effect/spiral.h"

namespace {

// The worker is frozen by the UI thread's suspend message, and it freezes
// itself: on entering DrawLock it looks at the freeze count that the UI
// thread sets under the lock and, while that is above zero, waits outside the
// lock for the thaw. So it is only ever frozen between two steps, at one
// known place. SuspendThread cannot promise that: under Wine a suspend that
// closely follows a resume can land late, anywhere, and a worker frozen
// inside a drawing call holds the display connection's lock, which the UI
// thread's next message wait then waits for forever.
//
// No thread waits on DrawLock inside the platform either: each tries the
// critical section and, while it is taken, yields the processor. A thread
// frozen from outside (a debugger, a test) inside the platform's own wait or
// wake-up code for a lock would otherwise hold that code's internal locks
// (Wine's address-wait spin lock) and hang the next thread to wait or wake
// anything there. With no waiters, leaving it never runs the wake-up path.
// The worker also gives way while the UI thread wants the lock, so the UI
// thread gets it at the next step instead of racing the worker for it.

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
    // Changed by the UI thread under the lock (or all at once by the thaw);
    // the worker reads it once it holds the lock.
    std::atomic<long> freezes{0};
    HANDLE thawed = nullptr;  // manual reset; set while freezes is zero
};

DrawLock* CreateDrawLock() {
    auto* lock = new (std::nothrow) DrawLock;
    if (lock == nullptr) return nullptr;
    lock->thawed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (lock->thawed == nullptr) {
        delete lock;
        return nullptr;
    }
    InitializeCriticalSection(&lock->section);
    return lock;
}

void DeleteDrawLock(DrawLock* lock) {
    if (lock == nullptr) return;
    DeleteCriticalSection(&lock->section);
    CloseHandle(lock->thawed);
    delete lock;
}

void EnterDrawLock(DrawLock* lock) {
    lock->uiThreadsWaiting.fetch_add(1);
    for (int attempt = 0; !TryEnterCriticalSection(&lock->section); ++attempt) GiveWay(attempt);
    lock->uiThreadsWaiting.fetch_sub(1);
}

void EnterDrawLockForWorker(DrawLock* lock) {
    for (int attempt = 0;; ++attempt) {
        if (lock->uiThreadsWaiting.load() == 0 && TryEnterCriticalSection(&lock->section)) {
            if (lock->freezes.load() == 0) return;
            // Frozen: wait for the thaw outside the lock, then try again. A
            // freeze made again meanwhile resets the event first.
            LeaveCriticalSection(&lock->section);
            WaitForSingleObject(lock->thawed, INFINITE);
            attempt = -1;
            continue;
        }
        GiveWay(attempt);
    }
}

void LeaveDrawLock(DrawLock* lock) { LeaveCriticalSection(&lock->section); }

bool DrawLockWanted(DrawLock* lock) { return lock->uiThreadsWaiting.load() != 0; }

long FreezeDrawLockWorker(DrawLock* lock, bool freeze) {
    const long previous = lock->freezes.load();
    if (freeze) {
        if (previous >= kMaximumWorkerFreezes) return -1;
        if (previous == 0) ResetEvent(lock->thawed);
        lock->freezes.store(previous + 1);
    } else if (previous > 0) {
        lock->freezes.store(previous - 1);
        if (previous == 1) SetEvent(lock->thawed);
    }
    return previous;
}

void ThawDrawLockWorker(DrawLock* lock) {
    lock->freezes.store(0);
    SetEvent(lock->thawed);
}

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
