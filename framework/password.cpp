#include "framework/password.h"

#include <climits>
#include <string>

#include "framework/host.h"
#include "base/int_scan.h"
#include "framework/saver_main.h"
#include "framework/system_library.h"

int32_t g_graceSeconds = 0;
bool g_passwordDialogUp = false;
POINT g_cursorBaseline = {0, 0};

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr DWORD kTimeoutTextBytes = 10;

using VerifyScreenSavePwdProc = BOOL(WINAPI*)(HWND);
using PwdChangePasswordProc = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

// ScreenSaveUsePassword: up to four bytes, little-endian; missing bytes are 0.
bool PasswordRequired() {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDesktopKey, &key) != ERROR_SUCCESS) return false;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && value != 0;
}

}  // namespace

BOOL CheckPassword() {
    if (g_graceSeconds != 0) return TRUE;
    if (!PasswordRequired()) return TRUE;

    auto verify = SystemEntry<VerifyScreenSavePwdProc>(LoadSystemLibrary("PASSWORD.CPL"),
                                                       "VerifyScreenSavePwd");
    if (verify == nullptr) return TRUE;

    g_passwordDialogUp = true;
    BOOL mayClose = verify(g_hostWindow);
    // Pointer movement made while the dialog was up does not count against
    // the saver.
    GetCursorPos(&g_cursorBaseline);
    g_passwordDialogUp = false;
    return mayClose;
}

void ReadGracePeriod(HWND window) {
    int32_t grace = kDefaultGraceSeconds;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDesktopKey, &key) == ERROR_SUCCESS) {
        // The text ends at its first zero byte or at the end of the data; the
        // extra byte keeps it terminated when the data fills the buffer.
        char text[kTimeoutTextBytes + 1] = {};
        DWORD size = kTimeoutTextBytes;
        if (RegQueryValueExA(key, "ScreenSaveTimeout", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS) {
            text[size < kTimeoutTextBytes ? size : kTimeoutTextBytes] = '\0';
            int32_t value = 0;
            if (ScanInt32(text, ScanBase::Decimal, &value)) grace = value;
        }
        RegCloseKey(key);
    }
    g_graceSeconds = grace;
    SetTimer(window, TIMER_GRACE, kGracePeriodMs, nullptr);
}

void GraceTick(HWND window) {
    if (g_graceSeconds != 0) {
        // A negative period moves further from zero and never ends; it stops
        // at the bottom of the range rather than wrap.
        if (g_graceSeconds != INT32_MIN) --g_graceSeconds;
    } else {
        KillTimer(window, TIMER_GRACE);
    }
}

int RunChangePassword() {
    HWND& owner = g_saverCallbacks.parentWindow;
    if (owner == nullptr) owner = GetForegroundWindow();

    HMODULE library = LoadSystemLibrary("MPR.DLL");
    if (library == nullptr) {
        MessageBoxA(owner, "Couldn't load MPR.DLL", "Error", MB_OK | MB_ICONERROR);
        return -1;
    }
    auto change = SystemEntry<PwdChangePasswordProc>(library, "PwdChangePasswordA");
    if (change == nullptr) {
        MessageBoxA(owner, "Couldn't get PwdChangePassword", "Error", MB_OK | MB_ICONERROR);
        return -1;
    }
    change("SCRSAVE", owner, 0, 0);
    return 0;
}
