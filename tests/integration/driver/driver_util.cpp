#include "tests/integration/driver/driver_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace driver {

std::string ModulePath() {
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/") + 1) + "Gyrel.scr";
}

std::string ControlIniPath() {
    char directory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory, length) + "\\control.ini";
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void PumpMessagesFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

ModuleProcess::~ModuleProcess() {
    if (info_.hProcess != nullptr) {
        Kill();
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool ModuleProcess::Start(const std::string& arguments) {
    std::string commandLine = "\"" + ModulePath() + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    return StartCommand(nullptr, commandLine);
}

bool ModuleProcess::StartCommand(const char* applicationName, std::string commandLine,
                                 DWORD creationFlags) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(applicationName, &commandLine[0], nullptr, nullptr, FALSE, creationFlags,
                          nullptr, nullptr, &startup, &info_) != FALSE;
}

void ModuleProcess::ResumeMainThread() { ResumeThread(info_.hThread); }

bool ModuleProcess::WaitForExit(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return !Running();
        DWORD result = MsgWaitForMultipleObjects(1, &info_.hProcess, FALSE, timeoutMs - elapsed,
                                                 QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool ModuleProcess::WaitForIdle(DWORD timeoutMs) {
    // WaitForInputIdle blocks this thread; the module's window sends messages
    // to its parent here, so wait in short slices and pump in between.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DWORD result = WaitForInputIdle(info_.hProcess, 50);
        if (result == 0) return true;
        if (result == WAIT_FAILED || !Running()) return false;
        PumpMessagesFor(10);
    }
    return false;
}

DWORD ModuleProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

bool ModuleProcess::Running() const {
    return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void ModuleProcess::Kill() {
    if (Running()) {
        TerminateProcess(info_.hProcess, 0xDEAD);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

DWORD RunModule(const std::string& arguments, DWORD timeoutMs) {
    ModuleProcess process;
    if (!process.Start(arguments)) return static_cast<DWORD>(-2);
    if (!process.WaitForExit(timeoutMs)) {
        process.Kill();
        return STILL_ACTIVE;
    }
    return process.ExitCode();
}

HWND CreateDriverWindow(const char* title, int width, int height, DWORD style) {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "GyrelDriverWindow";
        atom = RegisterClassA(&wc);
    }
    HWND window = CreateWindowExA(0, "GyrelDriverWindow", title, style, 0, 0, width, height,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

}  // namespace driver
