// The spiral's section in CONTROL.INI, through the platform's private profile
// calls, and in HKEY_CURRENT_USER\Control Panel as decimal texts (REG_SZ).
#include <windows.h>

#include <string>
#include <vector>

#include "effect/profile.h"
#include "effect/profile_text.h"

namespace {

constexpr char kProfileFile[] = "CONTROL.INI";

std::string g_section;

std::string RegistryPath() { return "Control Panel\\" + g_section; }

// A value's text, or false when the key or the value is missing or is not
// text.
bool ReadRegistryText(const char* name, std::string* text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryPath().c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::vector<char> bytes;
    LONG result = ERROR_MORE_DATA;
    // The value can change between asking its size and reading it.
    for (int tries = 0; tries < 4 && result == ERROR_MORE_DATA; ++tries) {
        result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS) break;
        bytes.assign(size + 1, '\0');
        result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                                  &size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    text->assign(bytes.data());  // the extra byte ends a text stored without its terminator
    return true;
}

}  // namespace

void SetProfileSection(const char* sectionName) { g_section = sectionName; }

bool ProfileInRegistry() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryPath().c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

int32_t ProfileReadInt(ProfilePlace place, const char* key, int32_t defaultValue) {
    if (place == ProfilePlace::ControlIni) {
        return static_cast<int32_t>(
            GetPrivateProfileIntA(g_section.c_str(), key, defaultValue, kProfileFile));
    }
    std::string text;
    if (!ReadRegistryText(key, &text)) return defaultValue;
    return ProfileIntFromText(text.c_str(), defaultValue);
}

bool ProfileWriteString(ProfilePlace place, const char* key, const char* text) {
    if (place == ProfilePlace::ControlIni) {
        return WritePrivateProfileStringA(g_section.c_str(), key, text, kProfileFile) != FALSE;
    }
    HKEY section = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RegistryPath().c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &section, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegSetValueExA(section, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(lstrlenA(text) + 1));
    RegCloseKey(section);
    return result == ERROR_SUCCESS;
}
