// The full-screen host's class procedure: what ends the saver.
//
// Keys, mouse buttons, pointer movement and loss of activation, on any of
// the saver's windows, all ask for the close the same way, by posting
// WM_CLOSE to the window, so the close rule (and the password check in it)
// runs later from the queue and never inside an input handler. The close
// stops every window's worker; the second stage destroys every window.
#include "framework/host.h"
#include "framework/password.h"

namespace {

void AskToClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

void CloseRule() {
    switch (StopState()) {
        case StopStateValue::Running: {
            // One verification at a time: the platform's dialog runs a message
            // loop of its own, which hands it the closes already queued.
            if (PasswordDialogUp) return;
            if (!CheckPassword()) return;  // refused: the saver keeps running
            AskToStop();
            return;
        }
        case StopStateValue::StopRequested:
            return;  // the worker's own close completes it
        case StopStateValue::WorkerDone:
            DestroyHostWindows();
            return;
    }
}

// Mouse moves never update the baseline: the first report away from it ends
// the saver, while the report the platform makes when a window appears under
// the pointer does not.
void MovementRule(HWND window, LPARAM lParam) {
    POINT point = {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    ClientToScreen(window, &point);
    if (point.x != CursorBaseline.x || point.y != CursorBaseline.y) AskToClose(window);
}

}  // namespace

LRESULT CALLBACK SaverHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            // Once per run, on the first (the primary monitor's) window.
            if (FirstHostCreation()) {
                ReadGracePeriod(window);
                GetCursorPos(&CursorBaseline);
                PasswordDialogUp = false;
            }
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
        case WM_DESTROY:
            HostDestroyStep(window);
            return 0;
        case WM_ACTIVATE:
            // Activation moving to another of the saver's own windows (a
            // click on another monitor, which ends the saver by itself) is
            // no reason to close.
            if (LOWORD(wParam) == WA_INACTIVE && !PasswordDialogUp &&
                !IsHostWindow(reinterpret_cast<HWND>(lParam))) {
                AskToClose(window);
            }
            return 0;
        case WM_CLOSE:
            CloseRule();
            return 0;
        case WM_ACTIVATEAPP:
            if (wParam == 0 && !PasswordDialogUp) AskToClose(window);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            AskToClose(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != SC_SCREENSAVE) ChainedProc(window, message, wParam, lParam);
            return 0;
        case WM_TIMER:
            if (wParam == TIMER_GRACE) {
                GraceTick(window);
                return 0;
            }
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
        case WM_MOUSEMOVE:
            MovementRule(window, lParam);
            return 0;
        // While the display is off or the session away the workers pause;
        // input still ends the saver. Both notices keep their default answer.
        case WM_POWERBROADCAST:
            NoteSight(UnseenReason::DisplayOff, SightFromPowerBroadcast(wParam, lParam));
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
        case WM_WTSSESSION_CHANGE:
            NoteSight(UnseenReason::SessionAway, SightFromSessionChange(wParam));
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
        default:
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
    }
}
