#include "framework/host.h"

#include <atomic>
#include <string>
#include <vector>

#include "base/draw_pace.h"
#include "framework/monitors.h"
#include "framework/saver_main.h"
#include "framework/start_picture.h"

HWND HostWindow = nullptr;
WNDPROC ChainedProc = DefWindowProcA;

namespace {

// One per host window; the run's records are made before any window and
// never moved while a worker runs.
struct HostRecord {
    RECT area{};              // screen coordinates (saver) or the parent's size
    HWND window = nullptr;    // recorded when its creation returns
    bool destroyed = false;   // the window thread's
    DrawLock* lock = nullptr;  // the window's handshake with its worker
    HANDLE worker = nullptr;  // the worker's thread; waited for before the lock goes
};

std::vector<HostRecord> g_hosts;
std::atomic<StopStateValue> g_stopState{StopStateValue::Running};
// Workers still in their loops; the last to leave completes the stop.
std::atomic<int> g_workersRunning{0};
// The window thread's: whether its message loop runs (the last window's
// destruction then ends it), and how many windows were created this run.
bool g_inMessageLoop = false;
int g_creations = 0;
// The window thread's: the UnseenReason bits set now, and the saver's
// notices of the display and the session (asked for on its first window).
unsigned g_unseen = 0;
SightNotices g_sightNotices;

// Owned for the whole process, as the class is registered under it.
std::string g_className;

// How long a worker that has left may take for its thread to end.
constexpr DWORD kWorkerEndLimitMs = 2000;

// The preview looks this often for its parent window.
constexpr UINT kParentWatchPeriodMs = 1000;

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

HostRecord* RecordOf(HWND window) {
    for (HostRecord& record : g_hosts) {
        if (record.window == window) return &record;
    }
    return nullptr;
}

// The stop state changes in three places only: a new run starts Running
// here, AskToStop (below) makes StopRequested, and the last worker out makes
// WorkerDone in WorkerOut.
void ResetStopForRun() { g_stopState.store(StopStateValue::Running); }

// The last worker out completes the stop and asks for the second close.
void WorkerOut(HWND window) {
    if (--g_workersRunning != 0) return;
    g_stopState.store(StopStateValue::WorkerDone);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    DWORD threadId = 0;
    return CreateThread(nullptr, 0, routine, parameter, 0, &threadId);
}

DWORD WINAPI DrawWorker(LPVOID parameter) {
    // What the worker needs of its record is read here: once it has said it
    // left, it touches nothing of the record, the window or the spiral.
    const HostRecord& record = *static_cast<const HostRecord*>(parameter);
    HWND window = record.window;
    DrawLock* lock = record.lock;
    DrawCallback draw = g_saverCallbacks.drawCallback;
    DrawRateCallback rate = g_saverCallbacks.drawRateCallback;
    // One call at a time, each when it falls due; a worker held up longer
    // than an interval (frozen, paused) starts afresh.
    DrawPace pace = MakeDrawPace(draw != nullptr && rate != nullptr ? rate() : 0, 0);
    // Without a draw callback, or once it has nothing left to draw in, the
    // worker only waits for the stop.
    bool drawing = draw != nullptr;
    for (;;) {
        uint64_t waitUs = kWaitForStop;
        if (drawing) {
            const uint64_t now = NowUs();
            waitUs = TakeDueDrawCalls(&pace, now, 1) == 1 ? 0 : PaceWaitUs(&pace, now);
        }
        if (!AwaitDrawLockTurn(lock, waitUs)) break;
        if (waitUs == 0) drawing = draw(window);
    }
    WorkerOut(window);
    DrawLockWorkerLeft(lock);
    return 0;
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

HWND CreateHostWindow(HostKind kind, const HostRecord& record) {
    const SaverCallbacks& saver = g_saverCallbacks;
    const bool saving = kind == HostKind::Saver;
    const RECT& area = record.area;
    return CreateWindowExA(saving ? WS_EX_TOPMOST : 0, g_className.c_str(), saver.saverName,
                           saving ? WS_POPUP : WS_CHILD, area.left, area.top,
                           area.right - area.left, area.bottom - area.top,
                           saving ? nullptr : saver.parentWindow, nullptr, saver.instance,
                           record.lock);
}

// Creates and shows every window; false (with the windows made so far
// destroyed) when one cannot be made. The saver turns what the screens
// showed: the copies are taken before any window appears and put into the
// windows before the first draw.
bool CreateHostWindows(HostKind kind) {
    std::vector<RECT> areas;
    for (const HostRecord& record : g_hosts) areas.push_back(record.area);
    StartPictures pictures;
    if (kind == HostKind::Saver) pictures = CaptureStartPictures(areas);
    bool created = true;
    for (size_t i = 0; i < g_hosts.size() && created; ++i) {
        HWND window = CreateHostWindow(kind, g_hosts[i]);
        if (window == nullptr) {
            created = false;
            break;
        }
        g_hosts[i].window = window;
        if (HostWindow == nullptr) HostWindow = window;
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        if (i < pictures.size() && pictures[i] != nullptr) PaintStartPicture(window, pictures[i]);
    }
    DeleteStartPictures(&pictures);
    if (!created) {
        for (HostRecord& record : g_hosts) {
            if (record.window != nullptr && !record.destroyed) DestroyWindow(record.window);
        }
    }
    return created;
}

// Starts a worker per window; false when one cannot be started. Nothing will
// then draw in that window: it counts as a worker that has left, and the
// stop of the others is asked for at once.
bool StartWorkers() {
    g_workersRunning = static_cast<int>(g_hosts.size());
    bool started = true;
    for (HostRecord& record : g_hosts) {
        DrawLockWorkerStarting(record.lock);
        record.worker = g_startWorker(DrawWorker, &record);
        if (record.worker == nullptr) {
            started = false;
            DrawLockWorkerLeft(record.lock);
        }
    }
    if (started) return true;
    AskToStop();
    for (HostRecord& record : g_hosts) {
        if (record.worker == nullptr) WorkerOut(record.window);
    }
    return false;
}

// Makes the run's records, each with its lock; false when a lock cannot be
// made.
bool MakeHostRecords(HostKind kind) {
    g_hosts.clear();
    for (const RECT& area : HostAreas(kind)) {
        g_hosts.emplace_back();
        g_hosts.back().area = area;
        g_hosts.back().lock = CreateDrawLock();
        if (g_hosts.back().lock == nullptr) return false;
    }
    return true;
}

// The end of every run, whatever ended it: every worker stopped and gone,
// every window destroyed (which frees each effect's state after its worker),
// and then the workers' threads and locks.
void EndRun() {
    AskToStop();
    GiveBackSightNotices(&g_sightNotices);
    for (HostRecord& record : g_hosts) {
        if (record.window != nullptr && !record.destroyed && IsWindow(record.window)) {
            DestroyWindow(record.window);
        }
    }
    for (HostRecord& record : g_hosts) {
        if (record.lock == nullptr) continue;  // the run could not be made
        AwaitDrawLockWorkerGone(record.lock);
        if (record.worker != nullptr) {
            // It has said it left and touches nothing more of ours; this
            // waits only for its thread to end, which it does at once unless
            // the loader is busy elsewhere (then the lock is no longer read).
            WaitForSingleObject(record.worker, kWorkerEndLimitMs);
            CloseHandle(record.worker);
        }
        DeleteDrawLock(record.lock);
    }
    g_hosts.clear();
}

// A parent ended from outside (its process terminated) takes the preview's
// window with it, but under Wine no WM_DESTROY reaches the preview: its
// window and the window's timers are simply gone. So the watch is a timer of
// the thread, and it ends the run itself.
// The same look tells whether the preview can be seen at all.
void CALLBACK WatchParent(HWND, UINT, UINT_PTR, DWORD) {
    if (IsWindow(g_saverCallbacks.parentWindow) && IsWindow(HostWindow)) {
        NoteSight(UnseenReason::PreviewHidden,
                  PreviewInSight(HostWindow) ? SightChange::Seen : SightChange::Unseen);
        return;
    }
    AskToStop();
    PostQuitMessage(0);
}

}  // namespace

WorkerStarter g_startWorker = StartWorkerThread;

StopStateValue StopState() { return g_stopState.load(); }

void NoteSight(UnseenReason reason, SightChange change) {
    if (change == SightChange::None) return;
    const unsigned before = g_unseen;
    const unsigned bit = static_cast<unsigned>(reason);
    g_unseen = change == SightChange::Unseen ? before | bit : before & ~bit;
    if ((before != 0) == (g_unseen != 0)) return;
    for (HostRecord& record : g_hosts) {
        if (record.lock == nullptr) continue;
        if (g_unseen != 0) {
            PauseDrawLockWorker(record.lock);
        } else {
            UnpauseDrawLockWorker(record.lock);
        }
    }
}

bool AskToStop() {
    StopStateValue running = StopStateValue::Running;
    const bool asked = g_stopState.compare_exchange_strong(running, StopStateValue::StopRequested);
    for (HostRecord& record : g_hosts) {
        if (record.lock != nullptr) StopDrawLockWorker(record.lock);
    }
    return asked;
}

int RunHost(HostKind kind) {
    const SaverCallbacks& saver = g_saverCallbacks;
    if (!RegisterHostClass(kind)) return -1;

    WNDPROC chosen = (kind == HostKind::Saver) ? saver.saverWindowProc : saver.previewWindowProc;
    ChainedProc = (chosen != nullptr) ? chosen : DefWindowProcA;

    ResetStopForRun();
    HostWindow = nullptr;
    g_creations = 0;
    g_unseen = 0;
    g_sightNotices = SightNotices{};
    if (!MakeHostRecords(kind) || !CreateHostWindows(kind)) {
        EndRun();
        return -1;
    }

    if (kind == HostKind::Saver) {
        SetCursor(nullptr);
        // One window hears for all: the pause holds every worker of the run.
        g_sightNotices = AskForSightNotices(HostWindow);
    }
    // A preview is first looked at by the watch's first tick, not here: the
    // settings sheet starts its previews before it shows itself.

    const bool workersStarted = StartWorkers();

    UINT previous = 0;
    if (kind == HostKind::Saver && workersStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
    }

    // Ends when the last window goes, or on a quit message from anywhere
    // (another process may post one); EndRun then finishes the close.
    const UINT_PTR watch =
        kind == HostKind::Preview ? SetTimer(nullptr, 0, kParentWatchPeriodMs, WatchParent) : 0;
    g_inMessageLoop = true;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        Sleep(0);  // leave the processor to the workers
    }
    g_inMessageLoop = false;
    if (watch != 0) KillTimer(nullptr, watch);
    EndRun();

    if (kind == HostKind::Saver && workersStarted) {
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
    }
    return workersStarted ? 0 : -1;
}

bool IsHostWindow(HWND window) { return window != nullptr && RecordOf(window) != nullptr; }

DrawLock* HostDrawLock(HWND window) {
    const HostRecord* record = window != nullptr ? RecordOf(window) : nullptr;
    return record != nullptr ? record->lock : nullptr;
}

bool FirstHostCreation() { return ++g_creations == 1; }

void HostDestroyStep(HWND window) {
    // Every worker stops before any effect's state goes. Windows destroys a
    // window whose creation was refused before any worker exists: there is
    // then nothing to wait for.
    AskToStop();
    for (HostRecord& record : g_hosts) {
        if (record.lock != nullptr) AwaitDrawLockWorkerGone(record.lock);
    }
    // The notices are given back while their window still exists.
    if (window == g_sightNotices.window) GiveBackSightNotices(&g_sightNotices);
    if (HostRecord* record = RecordOf(window)) record->destroyed = true;
    bool last = true;
    for (const HostRecord& record : g_hosts) {
        if (record.window != nullptr && !record.destroyed) last = false;
    }
    if (last && g_inMessageLoop) PostQuitMessage(0);
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
        case WM_CLOSE:
            if (StopState() == StopStateValue::Running) {
                AskToStop();
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
