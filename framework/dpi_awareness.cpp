#include "framework/dpi_awareness.h"

#include <windows.h>

#include "framework/system_library.h"

namespace {

// The platform's awareness contexts (Windows 10 1607 and later) and its
// per-monitor awareness value (8.1 and later).
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(-4);
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(-3);
constexpr int kProcessPerMonitorDpiAware = 2;

using SetContext = BOOL(WINAPI*)(HANDLE);
using SetAwareness = HRESULT(WINAPI*)(int);
using SetAware = BOOL(WINAPI*)();

template <typename Function>
Function User32Entry(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

void DeclareDpiAwareness() {
    if (auto setContext = User32Entry<SetContext>("SetProcessDpiAwarenessContext")) {
        // 1607 and Wine 8 know only the first per-monitor context. Once the
        // awareness is set both calls fail and leave it.
        if (!setContext(kPerMonitorAwareV2)) setContext(kPerMonitorAware);
        return;
    }
    HMODULE shcore = LoadSystemLibrary("shcore.dll");
    if (auto setAwareness = SystemEntry<SetAwareness>(shcore, "SetProcessDpiAwareness")) {
        setAwareness(kProcessPerMonitorDpiAware);
        FreeLibrary(shcore);
        return;
    }
    if (shcore != nullptr) FreeLibrary(shcore);
    if (auto setAware = User32Entry<SetAware>("SetProcessDPIAware")) setAware();
}
