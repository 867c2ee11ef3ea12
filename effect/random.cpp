#include "effect/random.h"

#include <atomic>
#include <random>

namespace {

std::minstd_rand g_generator;
std::atomic_flag g_busy = ATOMIC_FLAG_INIT;

// Holding the generator takes a few instructions, so a spin is the cheapest
// lock here and needs no thread library.
struct GeneratorHold {
    GeneratorHold() {
        while (g_busy.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~GeneratorHold() { g_busy.clear(std::memory_order_release); }
};

}  // namespace

void SeedRandom(uint32_t seed) {
    GeneratorHold hold;
    g_generator.seed(seed);
}

int32_t RandomNext() {
    GeneratorHold hold;
    return static_cast<int32_t>(g_generator());
}

int64_t RandomMod(int64_t bound) {
    if (bound == 0) return 0;
    return RandomNext() % bound;
}
