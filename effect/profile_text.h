// How the registry's copy of a key's text becomes a number, as
// GetPrivateProfileInt makes one of CONTROL.INI's.
#pragma once

#include <cstdint>

// An empty or blank text gives defaultValue; a text that does not start with
// a decimal number (after blanks and a sign) gives 0; otherwise the number,
// with one beyond the 32-bit range taken as the nearest bound. The decimal
// text the sheet writes reads the same in both places; hand-written text may
// not (GetPrivateProfileInt also takes "0x" numbers, and wraps long ones).
int32_t ProfileIntFromText(const char* text, int32_t defaultValue);
