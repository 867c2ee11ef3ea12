// Integer scanning in the manner of the C library's "%d" and "%i" conversions.
//
// The library's own scanf leaves a number that does not fit its type
// undefined; text reaching us from command lines, the registry and edit
// fields can hold any number of digits, so these saturate to the 32-bit range
// instead. Everything else follows the conversions: leading white space is
// skipped, an optional sign is taken, and scanning stops at the first
// character that cannot continue the number.
#pragma once

#include <cstdint>

enum class ScanBase {
    Decimal,  // "%d": decimal digits only
    Auto,     // "%i": hexadecimal after "0x", octal after a leading "0", else decimal
};

// Returns true and stores the value when the text starts (after white space
// and an optional sign) with at least one digit; false, leaving *value alone,
// when it does not. A null text scans as no number.
bool ScanInt32(const char* text, ScanBase base, int32_t* value);
