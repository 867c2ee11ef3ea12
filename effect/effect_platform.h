// What the spiral engine needs of its platform besides drawing and DrawLock:
// the effect window's timers and its message to itself.
//
// The module implements these with SetTimer, KillTimer and SendMessageA; the
// host build with a timer table that the reference renderer advances.
#pragma once

#include <cstdint>

// An HWND in the module; any token the host chooses otherwise.
using EffectWindow = void*;

struct SpiralState;

// SetTimer(spiral's window, id, periodMs, no procedure) and KillTimer; the
// ticks come back to OnEffectTimer with the same spiral.
void EffectSetTimer(SpiralState* state, uintptr_t id, uint32_t periodMs);
void EffectKillTimer(SpiralState* state, uintptr_t id);

// SendMessageA(spiral's window, WM_SPIRAL_SETPARAM, PARAM_NEW_TARGET, 0):
// synchronous, handled (a new target picked, the glide timer started) when it
// returns.
void EffectSendNewTarget(SpiralState* state);
