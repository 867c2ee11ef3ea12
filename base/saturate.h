// Conversions that stay defined for any input.
//
// The settings file may hold any 32-bit value, so sums, products and
// float-to-integer truncations in the engine can leave the 32-bit range. These
// helpers give the truncation toward zero the engine uses everywhere, but
// saturate instead of overflowing, and map NaN to 0.
#pragma once

#include <cstdint>

inline int32_t ClampToInt32(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

inline int64_t ClampToRange(int64_t value, int64_t limit) {
    if (value > limit) return limit;
    if (value < -limit) return -limit;
    return value;
}

// Truncation toward zero, saturated to the 32-bit range; NaN gives 0.
inline int32_t TruncToInt32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}
