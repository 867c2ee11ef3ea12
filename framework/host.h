// The two modes that draw: full-screen saving and the preview in a window.
//
// RunHost registers a class, creates one host window, starts one draw worker
// that calls the saver's draw callback over and over, runs the message loop
// until the window is gone, and cleans up. Closing is two-stage: the first
// accepted close only asks the worker to stop; the window is destroyed once
// the worker has left its loop, so the effect's state is never freed under a
// running draw call.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

enum class HostKind : int {
    Saver = 0,
    Preview = 1,
};

enum class StopStateValue : int32_t {
    Running = 0,
    StopRequested = 1,
    WorkerDone = 2,
};

// Shared by the UI thread and the worker: one 32-bit word, atomic loads and
// stores, no lock.
extern std::atomic<StopStateValue> StopState;
// The draw worker; the effect window suspends and resumes it. Never closed
// before the process ends.
extern HANDLE WorkerThread;
// The host window, recorded when its creation returns.
extern HWND HostWindow;
// The procedure both host procedures hand messages on to.
extern WNDPROC ChainedProc;

// Runs one host window with its draw worker until the window is gone.
// Returns 0 when the message loop has ended; -1 when the window class cannot
// be registered, the window cannot be created, or the worker cannot be
// started (the window is then closed at once and nothing is drawn).
int RunHost(HostKind kind);

// The worker's thread routine.
DWORD WINAPI DrawWorker(LPVOID);

// Resumes the worker until its suspend count is zero.
DWORD ResumeWorkerFully();

// What both host procedures do at WM_DESTROY: thaw the worker, ask it to
// stop, wait until it has left its loop, post the quit message and hand
// WM_DESTROY on.
void HostDestroyStep(HWND window);

// The saver class procedure: the two-stage close with the dismissal rules
// (input, activation, the password) in front of it.
LRESULT CALLBACK SaverHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The preview class procedure: the two-stage close and nothing else.
LRESULT CALLBACK PreviewHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// How RunHost starts the worker: CreateThread with default security and
// stack, no parameter, running at once. Tests replace it to see a run whose
// worker cannot be started.
using WorkerStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine);
extern WorkerStarter g_startWorker;
