// The two places that can hold the spiral's section ("Screen Saver." + saver
// name).
//
// The section's first home is CONTROL.INI, through the platform's private
// profile calls. A process that may not write there (a 64-bit one gets no
// file virtualisation, so a standard user's writes to the Windows folder
// fail) keeps it in HKEY_CURRENT_USER\Control Panel\<section> instead, where
// Windows keeps its own savers' sections. Which place is read and written is
// decided in settings_store.cpp; host tests supply an in-memory store.
#pragma once

#include <cstdint>

enum class ProfilePlace { ControlIni, Registry };

// The section's name, set once at start before anything is read or written
// (the window thread's).
void SetProfileSection(const char* sectionName);

// Whether the registry holds the section (its key exists).
bool ProfileInRegistry();

// The key's value in that place, scanned as the platform's
// GetPrivateProfileInt scans it (see ProfileIntFromText), or defaultValue
// when the place lacks the key.
int32_t ProfileReadInt(ProfilePlace place, const char* key, int32_t defaultValue);

// Writes the key's text to that place, making the section when needed; false
// when it could not be written.
bool ProfileWriteString(ProfilePlace place, const char* key, const char* text);
