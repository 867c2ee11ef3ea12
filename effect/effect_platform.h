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

// DrawLock: held by the worker for one step or one colour change, and by the
// UI thread for each glide tick, parameter change, new target, suspend and
// resume.
void InitialiseDrawLock();
void DeleteDrawLock();
// For the UI thread (and anyone but the worker).
void EnterDrawLock();
// For the draw worker: it gives way to a UI thread that wants the lock.
void EnterDrawLockForWorker();
void LeaveDrawLock();

// SetTimer(window, id, periodMs, no procedure) and KillTimer(window, id).
void EffectSetTimer(EffectWindow window, uintptr_t id, uint32_t periodMs);
void EffectKillTimer(EffectWindow window, uintptr_t id);

// SendMessageA(window, WM_SPIRAL_SETPARAM, PARAM_NEW_TARGET, 0): synchronous,
// handled (a new target picked, the glide timer started) when it returns.
void EffectSendNewTarget(EffectWindow window);
