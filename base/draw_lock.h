// DrawLock: the handshake between a spiral's window thread and its draw
// worker, whole, in one place.
//
// One DrawLock per spiral. The worker draws in calls of many steps; the
// window thread (and any other thread: a test, a benchmark) changes what a
// step reads. They meet here, and nowhere else:
//
//   the lock     The worker enters once per draw call and keeps the lock from
//                one step to the next; between two steps it hands the lock
//                over as soon as another thread wants it (HandOverDrawLock),
//                and does not take it back while one still waits. So another
//                thread gets the lock at the worker's next step boundary,
//                and a step pays for no lock of its own.
//   freezes      A count, as the platform's thread suspension counts: from
//                the first freeze until the last is lifted the worker takes
//                no further step. It waits between two steps, holding
//                nothing, and uses no processor time.
//   the pause    A second hold of the same kind, not counted: set while
//                nobody can see the picture (the display is off, the
//                session is away, the preview is hidden). The worker steps
//                only when neither a freeze nor the pause holds it; lifting
//                one never lifts the other.
//   the stop     Asked once per run. It wakes a worker that is frozen,
//                paused or waiting out its pace; the worker ends its draw
//                call after the step it is in (a held worker takes no
//                further step at all) and leaves its loop. Freezes asked
//                for after it are refused.
//   presence     The host marks a worker as started before its thread runs;
//                the worker's last act is to say it has left, after which it
//                touches nothing of the spiral or its host. The host waits
//                for that before it frees anything the worker reads.
//
// Every wait blocks; none polls. A DrawLock is made fresh for each run of a
// window, so a new run starts with no stop, no freeze and no worker.
#pragma once

#include <cstdint>

struct DrawLock;

// Null when it cannot be made. Deleted only when no thread uses it any more:
// after the worker has left and its thread has ended.
DrawLock* CreateDrawLock();
void DeleteDrawLock(DrawLock* lock);

// ---- Any thread but the worker (the window thread) ----

// Blocks until the lock is free: a drawing worker gives it up at its next
// step boundary.
void EnterDrawLock(DrawLock* lock);
void LeaveDrawLock(DrawLock* lock);

// EnterDrawLock for as long as the hold lives.
class DrawLockHold {
public:
    explicit DrawLockHold(DrawLock* lock) : lock_(lock) { EnterDrawLock(lock_); }
    ~DrawLockHold() { LeaveDrawLock(lock_); }
    DrawLockHold(const DrawLockHold&) = delete;
    DrawLockHold& operator=(const DrawLockHold&) = delete;

private:
    DrawLock* lock_;
};

// The most freezes that nest, as for the platform's thread suspension.
constexpr long kMaximumWorkerFreezes = 127;

// One freeze more (freeze) or one fewer, made at a step boundary: when a
// freeze returns, the worker takes no further step. Called without holding
// the lock. The result is the count before the call, as the platform's
// SuspendThread and ResumeThread give it; -1, with nothing changed, for a
// freeze past kMaximumWorkerFreezes or once a stop was asked for. Lifting a
// freeze at zero leaves zero.
long FreezeDrawLockWorker(DrawLock* lock, bool freeze);

// Sets or lifts the pause (see above), made at a step boundary like a
// freeze: when PauseDrawLockWorker returns, the worker takes no further step.
// Called without holding the lock; setting it twice is setting it once.
void PauseDrawLockWorker(DrawLock* lock);
void UnpauseDrawLockWorker(DrawLock* lock);

// Asks the worker to stop (see above). Any thread; asking again changes
// nothing.
void StopDrawLockWorker(DrawLock* lock);

// The host, on the thread that starts the worker, just before its thread is
// made; if it cannot be made, the host says DrawLockWorkerLeft in its place.
void DrawLockWorkerStarting(DrawLock* lock);
// Blocks until a started worker has left; at once when none was started.
void AwaitDrawLockWorkerGone(DrawLock* lock);

// ---- The worker ----

// Waits out the pace between two draw calls, for waitUs microseconds
// (kWaitForStop: until the stop); the stop ends the wait at once. False once
// a stop was asked for: the worker then leaves its loop.
constexpr uint64_t kWaitForStop = UINT64_MAX;
bool AwaitDrawLockTurn(DrawLock* lock, uint64_t waitUs);

// At the start and the end of a draw call. Entering waits while a freeze or
// the pause holds the worker and while another thread holds or wants the
// lock. False, without the lock, once a stop was asked for: the call then
// draws nothing.
bool EnterDrawLockForWorker(DrawLock* lock);
void LeaveDrawLockForWorker(DrawLock* lock);

// Before each step, with the lock held: hands it to a thread that wants it
// and takes it back once that thread is done and neither a freeze nor the
// pause holds the worker. False once a stop was asked for: the call then
// ends without another step (the lock still held, left as usual). Costs two
// relaxed loads when nobody waits.
bool HandOverDrawLock(DrawLock* lock);

// The worker's last act.
void DrawLockWorkerLeft(DrawLock* lock);

// How many draw locks the calling thread holds, for the tests' checks that
// drawing happens under the lock.
int DrawLocksHeldHere();
