#include "effect/random.h"

#include <mutex>

namespace {

RandomGenerator g_generator;
bool g_spawned = false;
// A lock that waits by blocking: a holder preempted on a single processor
// must not leave the other thread spinning through its time slices.
std::mutex g_generatorLock;
using GeneratorHold = std::lock_guard<std::mutex>;

}  // namespace

void SeedRandom(uint32_t seed) {
    GeneratorHold hold(g_generatorLock);
    g_generator.seed(seed);
    g_spawned = false;
}

int32_t RandomNext() {
    GeneratorHold hold(g_generatorLock);
    return static_cast<int32_t>(g_generator());
}

int64_t RandomMod(int64_t bound) {
    if (bound == 0) return 0;
    return RandomNext() % bound;
}

RandomGenerator SpawnRandom() {
    GeneratorHold hold(g_generatorLock);
    if (!g_spawned) {
        g_spawned = true;
        return g_generator;
    }
    return RandomGenerator(static_cast<uint32_t>(g_generator()));
}
