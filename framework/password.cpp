#include "framework/password.h"

#include <climits>
#include <string>

#include "framework/host.h"
#include "base/int_scan.h"
#include "framework/saver_main.h"
#include "framework/system_library.h"

int32_t GraceSeconds = 0;
bool PasswordDialogUp = false;
POINT CursorBaseline = {0, 0};

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
    if (GraceSeconds != 0) return TRUE;
    if (!PasswordRequired()) return TRUE;

    auto verify = SystemEntry<VerifyScreenSavePwdProc>(LoadSystemLibrary("PASSWORD.CPL"),
                                                        "VerifyScreenSavePwd");
    if (verify == nullptr) return TRUE;

    PasswordDialogUp = true;
    BOOL mayClose = verify(HostWindow);
    // Pointer movement made while the dialog was up does not count against
    // the saver.
    GetCursorPos(&CursorBaseline);
    PasswordDialogUp = false;
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
    GraceSeconds = grace;
    SetTimer(window, TIMER_GRACE, TIMER_GRACE_PERIOD_MS, nullptr);
}

void GraceTick(HWND window) {
    if (GraceSeconds != 0) {
        // A negative period moves further from zero and never ends; it stops
        // at the bottom of the range rather than wrap.
        if (GraceSeconds != INT32_MIN) --GraceSeconds;
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
