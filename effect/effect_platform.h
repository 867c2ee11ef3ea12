// What the spiral engine needs of its platform besides drawing: the lock
// shared by the draw worker and the UI thread, and the effect window's
// timers and its message to itself.
//
// The module implements these with a critical section, SetTimer, KillTimer
// and SendMessageA; the host build with a mutex and a timer table that the
// reference renderer advances.
#pragma once

#include <cstdint>

// An HWND in the module; any token the host chooses otherwise.
using EffectWindow = void*;

struct SpiralState;

// DrawLock, one per spiral: held by the worker for one step or one colour
// change, and by the UI thread for each glide tick, parameter change, new
// target, countdown, suspend and resume. Made at the effect window's creation
// and deleted at its destruction; null when it cannot be made.
struct DrawLock;
DrawLock* CreateDrawLock();
void DeleteDrawLock(DrawLock* lock);
// For the UI thread (and anyone but the worker).
void EnterDrawLock(DrawLock* lock);
// For the draw worker: it gives way to a UI thread that wants the lock.
void EnterDrawLockForWorker(DrawLock* lock);
void LeaveDrawLock(DrawLock* lock);

// SetTimer(spiral's window, id, periodMs, no procedure) and KillTimer; the
// ticks come back to OnEffectTimer with the same spiral.
void EffectSetTimer(SpiralState* state, uintptr_t id, uint32_t periodMs);
void EffectKillTimer(SpiralState* state, uintptr_t id);

// SendMessageA(spiral's window, WM_SPIRAL_SETPARAM, PARAM_NEW_TARGET, 0):
// synchronous, handled (a new target picked, the glide timer started) when it
// returns.
void EffectSendNewTarget(SpiralState* state);
