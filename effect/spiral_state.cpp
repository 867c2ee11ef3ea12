// The engine's one state per process. Zero at process start: colourVelocity
// and direction keep their start values until the engine changes them, and
// window creation deliberately does not reset them.
#include "effect/spiral.h"

SpiralState g_spiral;
