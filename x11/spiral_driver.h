// Everything the hack asks of the spiral engine goes through here, so that
// a change in how the engine keeps its state touches this file alone.
#pragma once

#include <cstdint>

#include "effect/settings.h"
#include "effect/soft_surface.h"

// The engine draws in batches of this many steps.
int64_t SpiralStepsPerBatch();

// Applies the settings (Options page units), seeds the random generator and
// starts the engine on the surface, which must outlive SpiralDriverStop. The
// surface may be re-sized between batches: the engine works in its own
// logical space and reads the surface's size at every step.
void SpiralDriverStart(SoftSurface* surface, const int32_t settings[kSettingsRows], uint32_t seed);

// One batch of steps, with the colour changes that fall due.
void SpiralDriverDrawBatch();

// Moves the wander's clock on by real time, running its timers.
void SpiralDriverAdvanceClock(uint64_t milliseconds);

void SpiralDriverStop();
