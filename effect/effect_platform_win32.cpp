// The effect window's own timers and message to itself.
#include <windows.h>

#include "effect/control_messages.h"
#include "effect/effect_platform.h"
#include "effect/spiral.h"

namespace {

HWND WindowOf(SpiralState* state) { return static_cast<HWND>(state->window); }

}  // namespace

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
