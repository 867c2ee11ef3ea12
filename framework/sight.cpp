#include "framework/sight.h"

#include <cstddef>

#include "framework/system_library.h"

namespace {

// The settings the display's state comes in, as the platform's headers
// declare them (named here so that no GUID has to be instanced for the link).
const GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
const GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

// The display's states in those settings.
constexpr DWORD kDisplayOff = 0;
// WTSRegisterSessionNotification's scope: this session's events only.
constexpr DWORD kThisSession = 0;

// Copies size bytes from an address that may not be readable; false when
// they cannot all be read.
bool ReadSafely(const void* address, void* to, SIZE_T size) {
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), address, to, size, &read) && read == size;
}

using RegisterPowerSetting = HANDLE(WINAPI*)(HANDLE recipient, const GUID* setting, DWORD flags);
using UnregisterPowerSetting = BOOL(WINAPI*)(HANDLE notice);
using RegisterSession = BOOL(WINAPI*)(HWND window, DWORD flags);
using UnregisterSession = BOOL(WINAPI*)(HWND window);

// Both entries are looked up at run time: a system without them still runs
// the saver.
HMODULE User32() { return GetModuleHandleA("user32.dll"); }
HMODULE SessionLibrary() {
    static const HMODULE library = LoadSystemLibrary("wtsapi32.dll");
    return library;
}

}  // namespace

SightChange SightFromPowerBroadcast(WPARAM event, LPARAM setting) {
    if (event != PBT_POWERSETTINGCHANGE || setting == 0) return SightChange::None;
    const auto* record = reinterpret_cast<const POWERBROADCAST_SETTING*>(setting);
    POWERBROADCAST_SETTING head{};
    if (!ReadSafely(record, &head, offsetof(POWERBROADCAST_SETTING, Data))) {
        return SightChange::None;
    }
    if (!IsEqualGUID(head.PowerSetting, kConsoleDisplayState) &&
        !IsEqualGUID(head.PowerSetting, kMonitorPowerOn)) {
        return SightChange::None;
    }
    DWORD state = 0;
    if (head.DataLength < sizeof state || !ReadSafely(record->Data, &state, sizeof state)) {
        return SightChange::None;
    }
    return state == kDisplayOff ? SightChange::Unseen : SightChange::Seen;
}

SightChange SightFromSessionChange(WPARAM event) {
    switch (event) {
        case WTS_CONSOLE_DISCONNECT:
        case WTS_REMOTE_DISCONNECT:
            return SightChange::Unseen;
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT:
            return SightChange::Seen;
        default:
            return SightChange::None;
    }
}

bool PreviewInSight(HWND window) {
    // IsWindowVisible already asks every ancestor.
    return IsWindowVisible(window) && !IsIconic(GetAncestor(window, GA_ROOT));
}

SightNotices AskForSightNotices(HWND window) {
    SightNotices notices;
    notices.window = window;
    if (auto registerSetting =
            SystemEntry<RegisterPowerSetting>(User32(), "RegisterPowerSettingNotification")) {
        // Windows 8 and later report the console display state; earlier ones
        // only the monitor's power. Where both come, they agree.
        notices.display[0] = registerSetting(window, &kConsoleDisplayState,
                                             DEVICE_NOTIFY_WINDOW_HANDLE);
        notices.display[1] = registerSetting(window, &kMonitorPowerOn, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    if (auto registerSession =
            SystemEntry<RegisterSession>(SessionLibrary(), "WTSRegisterSessionNotification")) {
        notices.session = registerSession(window, kThisSession) != FALSE;
    }
    return notices;
}

void GiveBackSightNotices(SightNotices* notices) {
    const auto unregisterSetting =
        SystemEntry<UnregisterPowerSetting>(User32(), "UnregisterPowerSettingNotification");
    for (HANDLE& notice : notices->display) {
        if (notice != nullptr && unregisterSetting != nullptr) unregisterSetting(notice);
        notice = nullptr;
    }
    if (notices->session) {
        if (auto unregisterSession = SystemEntry<UnregisterSession>(
                SessionLibrary(), "WTSUnRegisterSessionNotification")) {
            unregisterSession(notices->window);
        }
        notices->session = false;
    }
}
