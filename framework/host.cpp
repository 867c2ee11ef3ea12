#include "framework/host.h"

#include <string>
#include <vector>

#include "framework/draw_pace.h"
#include "framework/monitors.h"
#include "framework/saver_main.h"
#include "framework/start_picture.h"

std::atomic<StopStateValue> StopState{StopStateValue::Running};
HWND HostWindow = nullptr;
WNDPROC ChainedProc = DefWindowProcA;

namespace {

// One per host window.
struct HostRecord {
    RECT area{};               // screen coordinates (saver) or the parent's size
    HWND window = nullptr;     // recorded when its creation returns
    bool destroyed = false;
    HANDLE worker = nullptr;
    // Taken by the UI thread before the worker starts and released by the
    // worker when it leaves its loop: taken on one thread and released on
    // another, so it is a manual-reset event (unsignalled = taken), not a
    // lock that belongs to a thread.
    HANDLE exitLock = nullptr;
    // Set by the worker once it is in its loop. The platform's start-up work
    // for a new thread runs under the loader's lock; a worker frozen there
    // from outside (the sheet freezes a preview as soon as it waits for
    // input) would leave the UI thread waiting on that lock. The message
    // loop starts only after it.
    HANDLE inLoop = nullptr;
};

// The run's windows; sized before any worker starts and never after, so a
// worker's record stays where it is.
std::vector<HostRecord> g_hosts;
// Workers still in their loops; the last to leave completes the stop.
std::atomic<int> g_workersRunning{0};
int g_creations = 0;

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

HostRecord* RecordOf(HWND window) {
    for (HostRecord& record : g_hosts) {
        if (record.window == window) return &record;
    }
    return nullptr;
}

void CloseRunEvents() {
    for (HostRecord& record : g_hosts) {
        for (HANDLE* event : {&record.exitLock, &record.inLoop}) {
            if (*event != nullptr) CloseHandle(*event);
            *event = nullptr;
        }
    }
}

bool CreateRunEvents() {
    for (HostRecord& record : g_hosts) {
        record.exitLock = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        record.inLoop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (record.exitLock == nullptr || record.inLoop == nullptr) return false;
    }
    return true;
}

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    DWORD threadId = 0;
    return CreateThread(nullptr, 0, routine, parameter, 0, &threadId);
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

// The areas to cover: every monitor for the saver, the parent's outer size
// (placed at its client origin) for the preview.
std::vector<RECT> HostAreas(HostKind kind) {
    if (kind == HostKind::Saver) return MonitorAreas();
    RECT outer{};
    GetWindowRect(g_saverCallbacks.parentWindow, &outer);
    return {RECT{0, 0, outer.right - outer.left, outer.bottom - outer.top}};
}

HWND CreateHostWindow(HostKind kind, const RECT& area) {
    const SaverCallbacks& saver = g_saverCallbacks;
    const bool saving = kind == HostKind::Saver;
    return CreateWindowExA(saving ? WS_EX_TOPMOST : 0, g_className.c_str(), saver.saverName,
                           saving ? WS_POPUP : WS_CHILD, area.left, area.top,
                           area.right - area.left, area.bottom - area.top,
                           saving ? nullptr : saver.parentWindow, nullptr, saver.instance,
                           nullptr);
}

// Creates and shows every window; false (with the windows made so far
// destroyed) when one cannot be made. The saver turns what the screens
// showed: each copy is taken before any window appears and put into its
// window before the first draw.
bool CreateHostWindows(HostKind kind) {
    std::vector<HBITMAP> pictures(g_hosts.size(), nullptr);
    if (kind == HostKind::Saver) {
        for (size_t i = 0; i < g_hosts.size(); ++i) pictures[i] = CaptureStartPicture(g_hosts[i].area);
    }
    bool created = true;
    for (size_t i = 0; i < g_hosts.size() && created; ++i) {
        HWND window = CreateHostWindow(kind, g_hosts[i].area);
        if (window == nullptr) {
            created = false;
            break;
        }
        g_hosts[i].window = window;
        if (HostWindow == nullptr) HostWindow = window;
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        if (pictures[i] != nullptr) PaintStartPicture(window, pictures[i]);
    }
    for (HBITMAP picture : pictures) {
        if (picture != nullptr) DeleteObject(picture);
    }
    if (!created) {
        for (HostRecord& record : g_hosts) {
            if (record.window != nullptr && !record.destroyed) DestroyWindow(record.window);
        }
    }
    return created;
}

// Starts a worker per window; false when one cannot be started. Nothing will
// then draw in that window and its worker will never finish the close: it is
// taken as done, and the stop of the others is asked for at once.
bool StartWorkers() {
    g_workersRunning = static_cast<int>(g_hosts.size());
    bool started = true;
    for (HostRecord& record : g_hosts) {
        record.worker = g_startWorker(DrawWorker, &record);
        if (record.worker == nullptr) started = false;
    }
    if (started) {
        for (HostRecord& record : g_hosts) WaitForSingleObject(record.inLoop, kWorkerStartLimitMs);
        return true;
    }
    StopStateValue running = StopStateValue::Running;
    StopState.compare_exchange_strong(running, StopStateValue::StopRequested);
    for (HostRecord& record : g_hosts) {
        if (record.worker != nullptr) continue;
        SetEvent(record.exitLock);
        if (--g_workersRunning == 0) {
            StopState.store(StopStateValue::WorkerDone);
            PostMessageA(record.window, WM_CLOSE, 0, 0);
        }
    }
    return false;
}

}  // namespace

WorkerStarter g_startWorker = StartWorkerThread;

int RunHost(HostKind kind) {
    const SaverCallbacks& saver = g_saverCallbacks;
    if (!RegisterHostClass(kind)) return -1;

    WNDPROC chosen = (kind == HostKind::Saver) ? saver.saverWindowProc : saver.previewWindowProc;
    ChainedProc = (chosen != nullptr) ? chosen : DefWindowProcA;

    g_hosts.clear();
    for (const RECT& area : HostAreas(kind)) {
        g_hosts.emplace_back();
        g_hosts.back().area = area;
    }
    HostWindow = nullptr;
    g_creations = 0;
    if (!CreateRunEvents() || !CreateHostWindows(kind)) {
        CloseRunEvents();
        return -1;
    }

    if (kind == HostKind::Saver) SetCursor(nullptr);

    const bool workersStarted = StartWorkers();

    UINT previous = 0;
    if (kind == HostKind::Saver && workersStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
    }

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        Sleep(0);  // leave the processor to the workers
    }

    CloseRunEvents();
    if (kind == HostKind::Saver && workersStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
    }
    return workersStarted ? 0 : -1;
}

DWORD WINAPI DrawWorker(LPVOID parameter) {
    HostRecord& record = *static_cast<HostRecord*>(parameter);
    DrawCallback draw = g_saverCallbacks.drawCallback;
    DrawRateCallback rate = g_saverCallbacks.drawRateCallback;
    DrawPace pace = MakeDrawPace(draw != nullptr && rate != nullptr ? rate() : 0);
    SetEvent(record.inLoop);
    while (StopState.load() == StopStateValue::Running) {
        if (!WaitForBudget(&pace)) break;
        if (draw != nullptr) {
            draw(record.window);
        } else {
            Sleep(0);
        }
    }
    SetEvent(record.exitLock);
    // The last worker out completes the stop and asks for the second close.
    if (--g_workersRunning == 0) {
        StopState.store(StopStateValue::WorkerDone);
        PostMessageA(record.window, WM_CLOSE, 0, 0);
    }
    return 0;
}

HANDLE HostWorker(HWND window) {
    const HostRecord* record = RecordOf(window);
    return record != nullptr ? record->worker : nullptr;
}

bool IsHostWindow(HWND window) { return window != nullptr && RecordOf(window) != nullptr; }

bool FirstHostCreation() { return ++g_creations == 1; }

void ResumeWorkerFully() {
    WorkerThawCallback thaw = g_saverCallbacks.workerThawCallback;
    for (const HostRecord& record : g_hosts) {
        if (record.worker == nullptr) continue;
        if (thaw != nullptr && record.window != nullptr) thaw(record.window);
        while (static_cast<LONG>(ResumeThread(record.worker)) > 1) {
        }
    }
}

void HostDestroyStep(HWND window) {
    StopStateValue running = StopStateValue::Running;
    StopState.compare_exchange_strong(running, StopStateValue::StopRequested);
    // Every worker stops before any effect's state goes. Windows destroys a
    // window whose creation was refused before any worker exists: there is
    // then nothing to wait for.
    ResumeWorkerFully();
    for (const HostRecord& record : g_hosts) {
        if (record.worker != nullptr) WaitForSingleObject(record.exitLock, INFINITE);
    }
    if (HostRecord* record = RecordOf(window)) record->destroyed = true;
    bool last = true;
    for (const HostRecord& record : g_hosts) {
        if (record.window != nullptr && !record.destroyed) last = false;
    }
    if (last) PostQuitMessage(0);
    ChainedProc(window, WM_DESTROY, 0, 0);
}

void DestroyHostWindows() {
    for (const HostRecord& record : g_hosts) {
        if (record.window != nullptr && !record.destroyed && IsWindow(record.window)) {
            ChainedProc(record.window, WM_CLOSE, 0, 0);
        }
    }
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
