// CONTROL.INI through the platform's private profile calls.
#include <windows.h>

#include "effect/profile.h"
#include "framework/saver_main.h"

namespace {
constexpr char kProfileFile[] = "CONTROL.INI";
}

int32_t ProfileReadInt(const char* key, int32_t defaultValue) {
    return static_cast<int32_t>(GetPrivateProfileIntA(g_saverCallbacks.sectionName.c_str(), key,
                                                      defaultValue, kProfileFile));
}

void ProfileWriteString(const char* key, const char* text) {
    WritePrivateProfileStringA(g_saverCallbacks.sectionName.c_str(), key, text, kProfileFile);
}
