// Helpers of the test driver, the Windows program that plays the desktop
// around the module: it starts the module, waits for it (pumping its own
// messages meanwhile, since a preview sends messages to its parent), and
// reads what the module left behind.
#pragma once

#include <windows.h>

#include <string>

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
