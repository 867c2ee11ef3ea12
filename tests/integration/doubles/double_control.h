// Test doubles of the platform's password entries. The test sets each
// double's answer and reads back a record of every call through values under
// HKEY_CURRENT_USER\Software\GyrelTest.
#pragma once

#include <windows.h>

namespace double_control {

constexpr char kKey[] = "Software\\GyrelTest";

inline DWORD ReadNumber(const char* name, DWORD fallback) {
    HKEY key = nullptr;
    DWORD value = fallback;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof value;
        if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS) {
            value = fallback;
        }
        RegCloseKey(key);
    }
    return value;
}

inline void WriteNumber(const char* name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
}

inline void WriteText(const char* name, const char* text) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(lstrlenA(text) + 1));
        RegCloseKey(key);
    }
}

}  // namespace double_control
