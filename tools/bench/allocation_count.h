/* How many allocations the program has made, and how many bytes they asked
   for, since it started. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

unsigned long long AllocationCalls(void);
unsigned long long AllocatedBytes(void);

#ifdef __cplusplus
}
#endif
