// Freezing a spiral's draw worker between two steps (the module only).
#pragma once

struct DrawLock;

// The most freezes that nest, as for SuspendThread.
constexpr long kMaximumWorkerFreezes = 127;

// For the UI thread, while it holds the lock: one freeze more (freeze) or one
// fewer. From the first freeze until the last is lifted, the worker takes no
// further step: it waits on entering the lock. The result is the count before
// the call, as SuspendThread and ResumeThread give it; -1 when a freeze would
// pass the limit. Lifting a freeze at zero leaves zero.
long FreezeDrawLockWorker(DrawLock* lock, bool freeze);

// Lifts every freeze at once, so that the worker can run to its stop.
void ThawDrawLockWorker(DrawLock* lock);
