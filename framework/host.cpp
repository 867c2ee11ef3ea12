#include "framework/host.h"

#include <string>

#include "framework/draw_pace.h"
#include "framework/saver_main.h"
#include "framework/start_picture.h"

std::atomic<StopStateValue> StopState{StopStateValue::Running};
HANDLE WorkerThread = nullptr;
HWND HostWindow = nullptr;
WNDPROC ChainedProc = DefWindowProcA;

namespace {

// Taken by the UI thread before the worker starts and released by the
// worker when it leaves its loop: taken on one thread and released on
// another, so it is a manual-reset event (unsignalled = taken), not a lock
// that belongs to a thread.
HANDLE WorkerExitLock = nullptr;

// Set by the worker once it is in its loop. The platform's start-up work for a
// new thread runs under the loader's lock; a worker frozen there from outside
// (the sheet freezes a preview as soon as it waits for input) would leave
// this thread waiting on that lock. The message loop starts only after it.
HANDLE WorkerInLoop = nullptr;
// A worker that has not reached its loop by then never will; run regardless.
constexpr DWORD kWorkerStartLimitMs = 10000;

// Owned for the whole process, as the class is registered under it.
std::string g_className;

// A worker waiting for its budget looks at StopState at least this often,
// so a close is never held up by the wait.
constexpr DWORD kPaceSliceMs = 10;

// Microseconds on the performance counter, which every Windows since XP has.
uint64_t NowUs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Split so that the product cannot overflow however long the machine runs.
    const int64_t seconds = now.QuadPart / frequency;
    const int64_t rest = now.QuadPart % frequency;
    return static_cast<uint64_t>(seconds) * 1000000u +
           static_cast<uint64_t>(rest * 1000000 / frequency);
}

// Waits out the budget in short slices; false when a stop was asked for
// meanwhile. Sleep needs no finer timer resolution than the system's.
bool WaitForBudget(DrawPace* pace) {
    for (;;) {
        uint64_t waitUs = PaceWaitUs(pace, NowUs());
        if (waitUs == 0) return true;
        if (StopState.load() != StopStateValue::Running) return false;
        uint64_t waitMs = (waitUs + 999) / 1000;
        Sleep(static_cast<DWORD>(waitMs < kPaceSliceMs ? waitMs : kPaceSliceMs));
    }
}

void CloseRunEvents() {
    for (HANDLE* event : {&WorkerExitLock, &WorkerInLoop}) {
        if (*event != nullptr) CloseHandle(*event);
        *event = nullptr;
    }
}

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine) {
    DWORD threadId = 0;
    return CreateThread(nullptr, 0, routine, nullptr, 0, &threadId);
}

bool RegisterHostClass(HostKind kind) {
    const SaverCallbacks& saver = g_saverCallbacks;
    g_className = std::string(saver.saverName) + (kind == HostKind::Saver ? "Class" : "Prev");
    if (saver.previousInstance != nullptr) return true;  // a previous instance owns it

    WNDCLASSA wc{};
    wc.style = 0;  // no double clicks, no redraw on resize
    wc.lpfnWndProc = (kind == HostKind::Saver) ? SaverHostProc : PreviewHostProc;
    wc.hInstance = saver.instance;
    wc.hCursor = nullptr;  // a pointer hidden at start stays hidden
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = g_className.c_str();
    return RegisterClassA(&wc) != 0;
}

HWND CreateHostWindow(HostKind kind) {
    const SaverCallbacks& saver = g_saverCallbacks;
    if (kind == HostKind::Saver) {
        return CreateWindowExA(WS_EX_TOPMOST, g_className.c_str(), saver.saverName, WS_POPUP, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                               nullptr, nullptr, saver.instance, nullptr);
    }
    // The parent's outer size, placed at its client origin.
    RECT outer{};
    GetWindowRect(saver.parentWindow, &outer);
    return CreateWindowExA(0, g_className.c_str(), saver.saverName, WS_CHILD, 0, 0,
                           outer.right - outer.left, outer.bottom - outer.top, saver.parentWindow,
                           nullptr, saver.instance, nullptr);
}

}  // namespace

WorkerStarter g_startWorker = StartWorkerThread;

int RunHost(HostKind kind) {
    const SaverCallbacks& saver = g_saverCallbacks;
    if (!RegisterHostClass(kind)) return -1;

    WNDPROC chosen = (kind == HostKind::Saver) ? saver.saverWindowProc : saver.previewWindowProc;
    ChainedProc = (chosen != nullptr) ? chosen : DefWindowProcA;

    WorkerExitLock = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WorkerInLoop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WorkerThread = nullptr;
    if (WorkerExitLock == nullptr || WorkerInLoop == nullptr) {
        CloseRunEvents();
        return -1;
    }

    // The saver turns what the screen showed: taken before its window
    // appears, put into the window before the first draw.
    HBITMAP startPicture = nullptr;
    if (kind == HostKind::Saver) {
        startPicture = CaptureStartPicture(
            RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    }

    HWND window = CreateHostWindow(kind);
    if (window == nullptr) {
        if (startPicture != nullptr) DeleteObject(startPicture);
        CloseRunEvents();
        return -1;
    }
    HostWindow = window;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    if (startPicture != nullptr) {
        PaintStartPicture(window, startPicture);
        DeleteObject(startPicture);
    }

    if (kind == HostKind::Saver) SetCursor(nullptr);

    WorkerThread = g_startWorker(DrawWorker);
    bool workerStarted = (WorkerThread != nullptr);
    if (!workerStarted) {
        // Nothing will draw, and no worker will ever finish the close: stand
        // in for a worker that is already done, and close the window now.
        SetEvent(WorkerExitLock);
        StopState.store(StopStateValue::WorkerDone);
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        WaitForSingleObject(WorkerInLoop, kWorkerStartLimitMs);
    }

    UINT previous = 0;
    if (kind == HostKind::Saver && workerStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
    }

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        Sleep(0);  // leave the processor to the worker
    }

    CloseRunEvents();
    if (kind == HostKind::Saver && workerStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
    }
    return workerStarted ? 0 : -1;
}

DWORD WINAPI DrawWorker(LPVOID) {
    DrawCallback draw = g_saverCallbacks.drawCallback;
    DrawRateCallback rate = g_saverCallbacks.drawRateCallback;
    DrawPace pace = MakeDrawPace(draw != nullptr && rate != nullptr ? rate() : 0);
    SetEvent(WorkerInLoop);
    while (StopState.load() == StopStateValue::Running) {
        if (!WaitForBudget(&pace)) break;
        if (draw != nullptr) {
            draw();
        } else {
            Sleep(0);
        }
    }
    SetEvent(WorkerExitLock);
    StopState.store(StopStateValue::WorkerDone);
    PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    return 0;
}

DWORD ResumeWorkerFully() {
    DWORD previous;
    do {
        previous = ResumeThread(WorkerThread);
    } while (static_cast<LONG>(previous) > 1);
    return previous - 1;
}

void HostDestroyStep(HWND window) {
    StopStateValue running = StopStateValue::Running;
    StopState.compare_exchange_strong(running, StopStateValue::StopRequested);
    // Windows destroys a window whose creation was refused, before any worker
    // exists: there is then nothing to wait for.
    if (WorkerThread != nullptr) {
        ResumeWorkerFully();
        WaitForSingleObject(WorkerExitLock, INFINITE);
    }
    PostQuitMessage(0);
    ChainedProc(window, WM_DESTROY, 0, 0);
}

LRESULT CALLBACK PreviewHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            StopState.store(StopStateValue::Running);
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
        case WM_CLOSE:
            if (StopState.load() == StopStateValue::Running) {
                ResumeWorkerFully();
                StopState.store(StopStateValue::StopRequested);
            } else {
                ChainedProc(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_DESTROY:
            HostDestroyStep(window);
            return 0;
        default:
            return CallWindowProcA(ChainedProc, window, message, wParam, lParam);
    }
}
