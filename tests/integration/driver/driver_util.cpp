#include "tests/integration/driver/driver_util.h"
#include "tools/bench/module_process.h"

#include "tests/integration/doubles/double_control.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include <tlhelp32.h>

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

namespace driver {

namespace {
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kOverridesKey[] = "Software\\Wine\\AppDefaults\\Gyrel.scr\\DllOverrides";
constexpr char kDoublesKey[] = "Software\\GyrelTest";
}  // namespace

void SetDesktopValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kDesktopKey, &key);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetDesktopText(const char* name, const char* text) {
    SetDesktopValue(name, REG_SZ, text, static_cast<DWORD>(lstrlenA(text) + 1));
}

void DeleteDesktopValue(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDesktopKey, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

DesktopScale::DesktopScale(DWORD dotsPerInch)
    : saved_{{"LogPixels", false, 0}, {"DpiScalingVer", false, 0}} {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kDesktopKey, &key);
    for (Saved& saved : saved_) {
        DWORD type = 0, size = sizeof saved.value;
        saved.present = RegQueryValueExA(key, saved.name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&saved.value), &size) == ERROR_SUCCESS &&
                        type == REG_DWORD;
    }
    RegCloseKey(key);
    const DWORD windowsRules = 0x1000;
    SetDesktopValue("LogPixels", REG_DWORD, &dotsPerInch, sizeof dotsPerInch);
    SetDesktopValue("DpiScalingVer", REG_DWORD, &windowsRules, sizeof windowsRules);
}

DesktopScale::~DesktopScale() {
    for (const Saved& saved : saved_) {
        if (saved.present) {
            SetDesktopValue(saved.name, REG_DWORD, &saved.value, sizeof saved.value);
        } else {
            DeleteDesktopValue(saved.name);
        }
    }
}

void SetModuleDllOverride(const char* library, const char* value) {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kOverridesKey, &key);
    RegSetValueExA(key, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(lstrlenA(value) + 1));
    RegCloseKey(key);
}

void ClearModuleDllOverrides() { RegDeleteKeyA(HKEY_CURRENT_USER, kOverridesKey); }

std::string BuildFile(const std::string& relative) {
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    std::string result = own.substr(0, own.find_last_of("\\/") + 1) + relative;
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return result;
}

std::string SystemDirectory() {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, sizeof directory);
    return std::string(directory, length);
}

SystemFileSwap::SystemFileSwap(const std::string& source, const std::string& name)
    : target_(SystemDirectory() + "\\" + name), backup_(target_ + ".gyrel-backup") {
    hadOriginal_ = GetFileAttributesA(target_.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hadOriginal_) CopyFileA(target_.c_str(), backup_.c_str(), FALSE);
    installed_ = CopyFileA(source.c_str(), target_.c_str(), FALSE) != FALSE;
}

SystemFileSwap::~SystemFileSwap() {
    if (hadOriginal_) {
        CopyFileA(backup_.c_str(), target_.c_str(), FALSE);
        DeleteFileA(backup_.c_str());
    } else {
        DeleteFileA(target_.c_str());
    }
}

DWORD DoubleNumber(const char* name, DWORD fallback) {
    return double_control::ReadNumber(name, fallback);
}

std::string DoubleText(const char* name) {
    HKEY key = nullptr;
    char text[256] = "";
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDoublesKey, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof text - 1;
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
    }
    return text;
}

void ResetDoubles() { RegDeleteKeyA(HKEY_CURRENT_USER, kDoublesKey); }

void SetDoubleNumber(const char* name, DWORD value) { double_control::WriteNumber(name, value); }

namespace {
struct WindowSearch {
    DWORD processId;
    const std::function<bool(HWND)>* matches;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !(*search->matches)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM context) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0) {
        char text[512] = "";
        GetWindowTextA(window, text, sizeof text);
        auto* texts = reinterpret_cast<std::string*>(context);
        if (text[0] != '\0') *texts += std::string(text) + "\n";
    }
    return TRUE;
}
}  // namespace

HWND FirstProcessWindow(DWORD processId, const std::function<bool(HWND)>& matches) {
    WindowSearch search{processId, &matches, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindProcessWindow(DWORD processId, const char* className, DWORD timeoutMs) {
    auto visibleOfClass = [className](HWND window) {
        char name[128] = "";
        GetClassNameA(window, name, sizeof name);
        return lstrcmpA(name, className) == 0 && IsWindowVisible(window);
    };
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FirstProcessWindow(processId, visibleOfClass);
        if (found != nullptr) return found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        PumpMessagesFor(20);
    }
}

std::string StaticTexts(HWND dialog) {
    std::string texts;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

}  // namespace driver

namespace driver {

std::vector<DWORD> ProcessesNamed(const std::string& fileName) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        std::string image = entry.szExeFile;
        if (lstrcmpiA(image.substr(image.find_last_of("\\/") + 1).c_str(), fileName.c_str()) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace driver

namespace driver {

std::vector<std::pair<DWORD, double>> ThreadCpuTimes(DWORD processId) {
    std::vector<std::pair<DWORD, double>> times = ProcessThreadSeconds(processId);
    for (auto& time : times) time.second *= 1000;
    return times;
}

double BusiestThreadCpuGrowth(DWORD processId, DWORD milliseconds) {
    std::vector<std::pair<DWORD, double>> before = ThreadCpuTimes(processId);
    PumpMessagesFor(milliseconds);
    std::vector<std::pair<DWORD, double>> after = ThreadCpuTimes(processId);
    double busiest = 0;
    for (const auto& [id, time] : after) {
        for (const auto& [earlierId, earlier] : before) {
            if (earlierId == id && time - earlier > busiest) busiest = time - earlier;
        }
    }
    return busiest;
}

int FreezeProcessThreads(DWORD processId, bool freeze) {
    int reached = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        if ((freeze ? SuspendThread(thread) : ResumeThread(thread)) != static_cast<DWORD>(-1)) ++reached;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return reached;
}

std::vector<uint32_t> CaptureScreen(const RECT& area) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

size_t CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    size_t differences = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) ++differences;
    }
    return differences;
}

}  // namespace driver
