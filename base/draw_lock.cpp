#include "base/draw_lock.h"

#include <atomic>
#include <chrono>
#include <new>

#ifdef GYREL_SINGLE_THREADED
#include <cstdlib>
#else
#include <condition_variable>
#include <mutex>
#endif

namespace {

#ifdef GYREL_SINGLE_THREADED
// A build with one thread (the web page) has no waits to make: a condition
// that does not hold could never come to hold, so such a wait is a fault.
struct Mutex {
    void lock() {}
    void unlock() {}
};
struct Condition {
    template <typename Hold, typename Ready>
    void wait(Hold&, Ready ready) {
        if (!ready()) std::abort();
    }
    template <typename Hold, typename Duration, typename Ready>
    bool wait_for(Hold&, Duration, Ready ready) {
        return ready();  // no other thread can make it true
    }
    void notify_all() {}
};
// The one-thread C++ library has no std::unique_lock either.
struct Hold {
    explicit Hold(Mutex&) {}
};
#else
using Mutex = std::mutex;
using Condition = std::condition_variable;
using Hold = std::unique_lock<Mutex>;
#endif

enum class Presence { Absent, Started, Gone };

thread_local int t_drawLocksHeld = 0;

}  // namespace

struct DrawLock {
    // Held only for a few instructions at a time; every field below is
    // written under it.
    Mutex mutex;
    // Signalled on every change that a waiting thread may be waiting for.
    Condition changed;
    int waiters = 0;  // threads inside a wait on `changed`

    // Other threads waiting for the lock. The worker reads it between two
    // steps without the mutex: a want it misses it sees at the next step.
    std::atomic<int> othersWaiting{0};
    bool workerHolds = false;
    bool otherHolds = false;
    long freezes = 0;
    bool paused = false;
    // Written under the mutex; the worker also reads it between two steps
    // without it, as it reads othersWaiting.
    std::atomic<bool> stopAsked{false};
    Presence worker = Presence::Absent;
};

namespace {

// Under the mutex, after a change.
void Changed(DrawLock* lock) {
    if (lock->waiters > 0) lock->changed.notify_all();
}

// Under the mutex: whether a freeze or the pause holds the worker.
bool Held(const DrawLock* lock) { return lock->freezes > 0 || lock->paused; }

// Under the mutex: whether the worker may take the lock for its next step.
bool WorkersTurn(const DrawLock* lock) {
    return !lock->otherHolds && lock->othersWaiting.load(std::memory_order_relaxed) == 0 &&
           !Held(lock);
}

template <typename Ready>
void WaitUntil(DrawLock* lock, Hold& hold, Ready ready) {
    ++lock->waiters;
    lock->changed.wait(hold, ready);
    --lock->waiters;
}

}  // namespace

DrawLock* CreateDrawLock() { return new (std::nothrow) DrawLock; }

void DeleteDrawLock(DrawLock* lock) { delete lock; }

void EnterDrawLock(DrawLock* lock) {
    Hold hold(lock->mutex);
    lock->othersWaiting.fetch_add(1, std::memory_order_relaxed);
    WaitUntil(lock, hold, [lock] { return !lock->workerHolds && !lock->otherHolds; });
    lock->othersWaiting.fetch_sub(1, std::memory_order_relaxed);
    lock->otherHolds = true;
    ++t_drawLocksHeld;
}

void LeaveDrawLock(DrawLock* lock) {
    --t_drawLocksHeld;
    Hold hold(lock->mutex);
    lock->otherHolds = false;
    Changed(lock);
}

long FreezeDrawLockWorker(DrawLock* lock, bool freeze) {
    // Through the lock, so that the worker is between two steps when the
    // count rises and meets the freeze as it enters again.
    DrawLockHold between(lock);
    Hold hold(lock->mutex);
    const long previous = lock->freezes;
    if (freeze) {
        if (lock->stopAsked || previous >= kMaximumWorkerFreezes) return -1;
        lock->freezes = previous + 1;
    } else if (previous > 0) {
        lock->freezes = previous - 1;
        Changed(lock);
    }
    return previous;
}

namespace {

void SetPause(DrawLock* lock, bool paused) {
    // Through the lock, as a freeze is.
    DrawLockHold between(lock);
    Hold hold(lock->mutex);
    lock->paused = paused;
    Changed(lock);
}

}  // namespace

void PauseDrawLockWorker(DrawLock* lock) { SetPause(lock, true); }

void UnpauseDrawLockWorker(DrawLock* lock) { SetPause(lock, false); }

void StopDrawLockWorker(DrawLock* lock) {
    Hold hold(lock->mutex);
    lock->stopAsked = true;
    Changed(lock);
}

void DrawLockWorkerStarting(DrawLock* lock) {
    Hold hold(lock->mutex);
    lock->worker = Presence::Started;
}

void AwaitDrawLockWorkerGone(DrawLock* lock) {
    Hold hold(lock->mutex);
    WaitUntil(lock, hold, [lock] { return lock->worker != Presence::Started; });
}

bool AwaitDrawLockTurn(DrawLock* lock, uint64_t waitUs) {
    Hold hold(lock->mutex);
    if (waitUs != 0 && !lock->stopAsked) {
        auto stopAsked = [lock] { return lock->stopAsked.load(); };
        ++lock->waiters;
        if (waitUs == kWaitForStop) {
            lock->changed.wait(hold, stopAsked);
        } else {
            // Whole milliseconds, rounded up: the platform's waits are no
            // finer, and a wait rounded down to nothing would spin.
            lock->changed.wait_for(hold, std::chrono::milliseconds((waitUs + 999) / 1000),
                                   stopAsked);
        }
        --lock->waiters;
    }
    return !lock->stopAsked;
}

bool EnterDrawLockForWorker(DrawLock* lock) {
    Hold hold(lock->mutex);
    WaitUntil(lock, hold, [lock] { return lock->stopAsked || WorkersTurn(lock); });
    if (lock->stopAsked) return false;
    lock->workerHolds = true;
    ++t_drawLocksHeld;
    return true;
}

void LeaveDrawLockForWorker(DrawLock* lock) {
    --t_drawLocksHeld;
    Hold hold(lock->mutex);
    lock->workerHolds = false;
    Changed(lock);
}

bool HandOverDrawLock(DrawLock* lock) {
    if (lock->othersWaiting.load(std::memory_order_relaxed) == 0 &&
        !lock->stopAsked.load(std::memory_order_relaxed)) {
        return true;
    }
    Hold hold(lock->mutex);
    if (lock->stopAsked) return false;
    lock->workerHolds = false;
    Changed(lock);
    // Back once the other thread is done; a stop meanwhile still waits for
    // it, since the caller leaves the lock it believes it holds.
    WaitUntil(lock, hold, [lock] {
        return WorkersTurn(lock) || (lock->stopAsked && !lock->otherHolds &&
                                     lock->othersWaiting.load(std::memory_order_relaxed) == 0);
    });
    lock->workerHolds = true;
    return !lock->stopAsked;
}

void DrawLockWorkerLeft(DrawLock* lock) {
    Hold hold(lock->mutex);
    lock->worker = Presence::Gone;
    Changed(lock);
}

int DrawLocksHeldHere() { return t_drawLocksHeld; }
