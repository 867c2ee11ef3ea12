/* Counts every allocation the program makes, by standing in for the C
   library's allocator (C++'s operator new allocates through malloc too) and
   passing each call on to glibc's own. */
#include <stddef.h>

#include "tools/bench/allocation_count.h"

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* block, size_t size);
extern void __libc_free(void* block);

static unsigned long long g_calls;
static unsigned long long g_bytes;

void* malloc(size_t size) {
    __atomic_add_fetch(&g_calls, 1, __ATOMIC_RELAXED);
    __atomic_add_fetch(&g_bytes, size, __ATOMIC_RELAXED);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    __atomic_add_fetch(&g_calls, 1, __ATOMIC_RELAXED);
    __atomic_add_fetch(&g_bytes, count * size, __ATOMIC_RELAXED);
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    __atomic_add_fetch(&g_calls, 1, __ATOMIC_RELAXED);
    __atomic_add_fetch(&g_bytes, size, __ATOMIC_RELAXED);
    return __libc_realloc(block, size);
}

void free(void* block) { __libc_free(block); }

unsigned long long AllocationCalls(void) { return __atomic_load_n(&g_calls, __ATOMIC_RELAXED); }
unsigned long long AllocatedBytes(void) { return __atomic_load_n(&g_bytes, __ATOMIC_RELAXED); }
