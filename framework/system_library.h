// Libraries that the module loads at run time, so that it still starts on a
// Windows that lacks one of them or one of their entries.
#pragma once

#include <windows.h>

// Loads a library from the system directory only (never from the current or
// the application directory, where anyone could plant a copy). Null when it
// cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// An entry of a library loaded that way, as the given function type; null
// when the library or the entry is missing.
template <typename Function>
Function SystemEntry(HMODULE library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
