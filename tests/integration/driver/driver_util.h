// Helpers of the test driver, the Windows program that plays the desktop
// around the module: it starts the module, waits for it (pumping its own
// messages meanwhile, since a preview sends messages to its parent), and
// reads what the module left behind.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>
#include <cstdint>
#include <utility>

namespace driver {

// Full path of the module under test (Gyrel.scr beside the driver).
std::string ModulePath();

// The platform's CONTROL.INI, in the Windows directory.
std::string ControlIniPath();

// Whole file contents, or an empty string when the file cannot be read.
std::string ReadWholeFile(const std::string& path);

// Dispatches this thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);

// A started module process. The destructor makes sure it is gone.
class ModuleProcess {
public:
    ModuleProcess() = default;
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;
    ~ModuleProcess();

    // Starts "<module> <arguments>"; false when CreateProcess fails.
    bool Start(const std::string& arguments);
    // Starts a command line, with an explicit program file when given.
    bool StartCommand(const char* applicationName, std::string commandLine,
                      DWORD creationFlags = 0);
    // Lets a process started with CREATE_SUSPENDED run.
    void ResumeMainThread();
    // Waits (pumping messages) for the process to end. False on timeout.
    bool WaitForExit(DWORD timeoutMs);
    // Waits until the process first waits for input. False on timeout.
    bool WaitForIdle(DWORD timeoutMs);
    DWORD ExitCode() const;
    bool Running() const;
    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    // Ends the process by force (used only to clean up after a failure).
    void Kill();

private:
    PROCESS_INFORMATION info_{};
};

// Runs the module to its end and returns its exit code; a process that does
// not end within the timeout is killed and reported as STILL_ACTIVE.
DWORD RunModule(const std::string& arguments, DWORD timeoutMs = 30000);

// A plain top-level window owned by the driver, for use as a parent.
HWND CreateDriverWindow(const char* title, int width, int height, DWORD style = WS_OVERLAPPEDWINDOW);

}  // namespace driver

namespace driver {

// HKCU\Control Panel\Desktop values that the saver reads. Set* replaces the
// value with the given type and bytes; Delete* removes it.
void SetDesktopValue(const char* name, DWORD type, const void* data, DWORD size);
void SetDesktopText(const char* name, const char* text);  // REG_SZ with its terminator
void DeleteDesktopValue(const char* name);

// The screen's scale for the processes started while the object lives:
// LogPixels (dots per inch) in HKCU\Control Panel\Desktop, with
// DpiScalingVer 0x1000 there so that Wine follows Windows' rules (by default
// it makes every process per-monitor aware). A process reads both when it
// starts. The values found before are put back afterwards.
class DesktopScale {
public:
    explicit DesktopScale(DWORD dotsPerInch);
    ~DesktopScale();
    DesktopScale(const DesktopScale&) = delete;
    DesktopScale& operator=(const DesktopScale&) = delete;

private:
    struct Saved {
        const char* name;
        bool present;
        DWORD value;
    };
    Saved saved_[2];
};

// Per-program DLL overrides of Wine for the module (AppDefaults\Gyrel.scr).
// An empty value disables the library; "native" loads the file in the system
// directory. Clear removes the override.
void SetModuleDllOverride(const char* library, const char* value);
void ClearModuleDllOverrides();

// Test doubles built beside the driver, e.g. "doubles/system/PASSWORD.CPL".
std::string BuildFile(const std::string& relative);
std::string SystemDirectory();

// Replaces a file of the system directory for the lifetime of the object,
// restoring (or removing) it afterwards.
class SystemFileSwap {
public:
    SystemFileSwap(const std::string& source, const std::string& name);
    ~SystemFileSwap();
    bool Installed() const { return installed_; }

private:
    std::string target_, backup_;
    bool hadOriginal_ = false;
    bool installed_ = false;
};

// Values written by the password doubles (HKCU\Software\GyrelTest).
DWORD DoubleNumber(const char* name, DWORD fallback = 0);
std::string DoubleText(const char* name);
void ResetDoubles();
void SetDoubleNumber(const char* name, DWORD value);

// The first top-level window of the process that `matches` accepts, or null.
HWND FirstProcessWindow(DWORD processId, const std::function<bool(HWND)>& matches);

// The first visible top-level window of the given class that belongs to the
// process, waiting up to timeoutMs for it.
HWND FindProcessWindow(DWORD processId, const char* className, DWORD timeoutMs = 10000);

// Texts of a dialog's static controls, joined with newlines.
std::string StaticTexts(HWND dialog);

// Ids of the running processes whose image has this file name (Gyrel.scr).
std::vector<DWORD> ProcessesNamed(const std::string& fileName);

}  // namespace driver

namespace driver {

// CPU time (user + kernel, in milliseconds) of each thread of a process.
std::vector<std::pair<DWORD, double>> ThreadCpuTimes(DWORD processId);

// The largest growth of any one thread's CPU time over the interval,
// pumping messages meanwhile: how hard the process's busiest thread (the
// draw worker) worked.
double BusiestThreadCpuGrowth(DWORD processId, DWORD milliseconds);

// The screen's pixels inside `area` (0x00RRGGBB, row by row).
std::vector<uint32_t> CaptureScreen(const RECT& area);

// Suspends (or resumes) every thread of a process from outside, as a
// debugger would; returns how many threads it reached.
int FreezeProcessThreads(DWORD processId, bool freeze);

// How many of two captures' pixels differ.
size_t CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

}  // namespace driver
