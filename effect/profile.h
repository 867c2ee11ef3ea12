// CONTROL.INI access for the spiral's section ("Screen Saver." + saver name).
//
// The module reads and writes the real file through the platform's private
// profile calls; host tests supply an in-memory store of their own.
#pragma once

#include <cstdint>

// The key's value as the platform's GetPrivateProfileInt gives it, or
// defaultValue when the file, the section or the key is missing.
int32_t ProfileReadInt(const char* key, int32_t defaultValue);

// Writes the key; a failed write is silent.
void ProfileWriteString(const char* key, const char* text);
