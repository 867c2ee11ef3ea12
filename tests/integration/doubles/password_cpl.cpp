// A stand-in for the platform's PASSWORD.CPL. VerifyScreenSavePwd answers
// what the test asks (VerifyAnswer, default 0: refuse) and records each call:
// VerifyCalls counts them, VerifyCaller names which copy was called (the
// system directory's or one planted elsewhere), VerifyWindowClass the class
// of the window it was given. On request it behaves like a real dialog would:
// VerifyDeactivate sends the deactivation messages a dialog causes,
// VerifyCursorX/Y moves the pointer while it is "up", and VerifyQueueCloses
// queues that many close requests to the window once (the user pressing keys
// while the dialog comes up) and runs a dialog's message loop for a while.
#include <windows.h>

#include "tests/integration/doubles/double_control.h"

#ifndef DOUBLE_IDENTITY
#error "DOUBLE_IDENTITY names this copy of the double"
#endif

namespace {

// Plays a user who moves the pointer while the password dialog is up: a
// window covers the screen as the dialog's would (so pointer reports go to
// it, not to the saver), the pointer moves, and the window's messages are
// pumped until the move has settled.
void MovePointerUnderDialog(int x, int y) {
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "Static", "password", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 nullptr, nullptr, nullptr, nullptr);
    SetCursorPos(x, y);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 500) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    DestroyWindow(cover);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    using namespace double_control;
    WriteNumber("VerifyCalls", ReadNumber("VerifyCalls", 0) + 1);
    WriteText("VerifyCaller", DOUBLE_IDENTITY);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    WriteText("VerifyWindowClass", className);

    DWORD closes = ReadNumber("VerifyQueueCloses", 0);
    WriteNumber("VerifyQueueCloses", 0);
    for (DWORD i = 0; i < closes; ++i) PostMessageA(window, WM_CLOSE, 0, 0);
    if (ReadNumber("VerifyDeactivate", 0) != 0) {
        SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    }
    if (closes > 0) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 500) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(10);
        }
    }
    DWORD x = ReadNumber("VerifyCursorX", 0xFFFFFFFF);
    DWORD y = ReadNumber("VerifyCursorY", 0xFFFFFFFF);
    if (x != 0xFFFFFFFF && y != 0xFFFFFFFF) {
        MovePointerUnderDialog(static_cast<int>(x), static_cast<int>(y));
    }
    return ReadNumber("VerifyAnswer", 0) != 0;
}
