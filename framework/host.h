// The modes that draw: full-screen saving (one window per monitor) and the
// preview in a window.
//
// RunHost registers a class, creates the host windows, starts one draw
// worker per window that calls the saver's draw callback for its window over
// and over, runs the message loop until the windows are gone, and cleans up.
// Closing is two-stage: the first accepted close only asks the workers to
// stop; the windows are destroyed once every worker has left its loop, so no
// effect's state is ever freed under a running draw call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/draw_lock.h"
#include "framework/sight.h"

enum class HostKind : int {
    Saver = 0,
    Preview = 1,
};

enum class StopStateValue : int32_t {
    Running = 0,
    StopRequested = 1,
    WorkerDone = 2,  // every worker has left its loop
};

// The run's stop state: one for the run, since a close stops every window's
// worker. Anyone may read it; it changes only through the three transitions
// below, each of which is made in one place.
StopStateValue StopState();
// Running to StopRequested, and every worker asked to stop (which wakes a
// frozen or pacing one). True when this call made the transition; asking
// again changes nothing.
bool AskToStop();
// The first host window (the primary monitor's), recorded when its creation
// returns.
extern HWND HostWindow;
// The procedure both host procedures hand messages on to.
extern WNDPROC ChainedProc;

// Why nobody can see the run. Each is set and lifted by its own notices;
// while any is set, every worker of the run is paused between two steps
// (a pause apart from the control messages' freezes: lifting one never
// lifts the other). A new run starts with none.
enum class UnseenReason : unsigned {
    DisplayOff = 1,
    SessionAway = 2,
    PreviewHidden = 4,
};
// Sets (Unseen) or lifts (Seen) one reason; None changes nothing. The
// window thread's.
void NoteSight(UnseenReason reason, SightChange change);

// Runs the host windows with their draw workers until the windows are gone.
// Returns 0 when the message loop has ended, however it ended; -1 when the
// window class cannot be registered, a window cannot be created, or a worker
// cannot be started (the windows are then closed at once). Every worker has
// left and every window is gone when it returns.
int RunHost(HostKind kind);

// Whether the window is one of this run's host windows.
bool IsHostWindow(HWND window);

// The DrawLock of a host window of this run, or null. Each window gets its
// own as its creation parameter (CREATESTRUCT::lpCreateParams), made before
// the window and deleted when the run ends, after its worker.
DrawLock* HostDrawLock(HWND window);

// What both host procedures do at WM_DESTROY: ask the workers to stop, wait
// until each has left its loop, post the quit message once the last window
// goes, and hand WM_DESTROY on.
void HostDestroyStep(HWND window);

// The second stage of the close: hands WM_CLOSE on for every host window
// still there, which destroys them. Only once every worker is done.
void DestroyHostWindows();

// The saver class procedure: the two-stage close with the dismissal rules
// (input, activation, the password) in front of it.
LRESULT CALLBACK SaverHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The preview class procedure: the two-stage close and nothing else. (The
// run also ends once the parent window has gone without the preview's window
// hearing of it, as when the parent's process is terminated.)
LRESULT CALLBACK PreviewHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the window being created is the run's first: the saver reads its
// grace period and the pointer's position once per run.
bool FirstHostCreation();

// How RunHost starts a worker: CreateThread with default security and stack,
// the given parameter, running at once. Tests replace it to see a run whose
// worker cannot be started.
using WorkerStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine, LPVOID parameter);
extern WorkerStarter g_startWorker;
