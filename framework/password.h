// The platform's screen-saver password: whether the saver may end, the grace
// period after start, and the password-change mode. The password itself is
// the platform's: the saver only reads whether one is required and calls the
// platform's verification and change entries, loaded at run time from the
// system directory.
#pragma once

#include <windows.h>

#include <cstdint>

// Timer on the saver host window that counts the grace period down.
constexpr UINT_PTR TIMER_GRACE = 0xFFFF;
constexpr UINT kGracePeriodMs = 1000;
// Grace period when ScreenSaveTimeout cannot be read or holds no number.
constexpr int32_t kDefaultGraceSeconds = 60;

// Seconds of grace left; while non-zero no password is asked.
extern int32_t g_graceSeconds;
// Set while the platform's verification entry runs.
extern bool g_passwordDialogUp;
// Pointer position at start and after every verification, screen coordinates.
extern POINT g_cursorBaseline;

// Non-zero when the saver may close: in the grace period, when no password
// is required, or when the platform's verification accepts.
BOOL CheckPassword();

// Seeds g_graceSeconds from ScreenSaveTimeout and starts TIMER_GRACE.
void ReadGracePeriod(HWND window);

// One tick of TIMER_GRACE.
void GraceTick(HWND window);

// Hands the user to the platform's password-change dialog. Returns 0 after
// the dialog, -1 when its library or entry cannot be reached (reported in a
// message box titled "Error").
int RunChangePassword();
