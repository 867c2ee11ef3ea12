// Speed of the running spiral under Wine: spiral steps per second, and the
// draw thread's share of a core, with the default step budget and with none,
// in a preview of 800 by 600 client pixels and in the full-screen saver; the
// unbudgeted figures beside a bare loop of the same block copies on the same kind of drawing
// context in the same run, so the ratio shows what the engine, the lock and
// the worker cost over GDI alone; and the peak memory of a real saver
// process. Prints figures; asserts nothing.
//
//     gyrel-wine-bench.exe [seconds per measurement]
//
// Run it inside the Wine test session (tools/run_wine_bench.sh).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "effect/control_messages.h"
#include "effect/draw_ops_gdi.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"
#include "effect/spiral_window.h"
#include "framework/host.h"
#include "framework/saver_main.h"
#include "tools/bench/module_process.h"

namespace {

struct Copy {
    int32_t dx, dy, w, h, sx, sy;
};

std::atomic<long> g_drawCalls{0};
// The draw worker of the host being measured, seen as the host starts it.
std::atomic<HANDLE> g_worker{nullptr};

HANDLE StartAndNoteWorker(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, &threadId);
    g_worker = thread;
    return thread;
}
std::vector<Copy> g_recorded;
size_t g_recordLimit = 0;

bool CountedDraw(HWND window) {
    const bool drew = DrawSpiralInWindow(window);
    ++g_drawCalls;
    return drew;
}

// The GDI operations with the block copies recorded on the way through.
void RecordingCopy(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                   int32_t sy) {
    if (g_recorded.size() < g_recordLimit) g_recorded.push_back({dx, dy, w, h, sx, sy});
    kGdiDrawOps.copyBlock(dc, dx, dy, w, h, sx, sy);
}

HWND MakeWindow(const char* title, DWORD style, DWORD exStyle, int width, int height,
                HWND parent = nullptr) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "GyrelBenchWindow";
        RegisterClassA(&wc);
        registered = true;
    }
    HWND window = CreateWindowExA(exStyle, "GyrelBenchWindow", title, style | WS_VISIBLE, 0, 0,
                                  width, height, parent, nullptr, GetModuleHandleA(nullptr),
                                  nullptr);
    UpdateWindow(window);
    return window;
}

void UseDefaultSettings() {
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(row, kSettingDefinitions[row].defaultValue);
    }
    g_spiralSettings.ActiveConfig = 1;
}

// Seconds on the performance counter.
double Now() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / frequency.QuadPart;
}

// Processor time of a thread so far, in seconds.
double ThreadSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (thread == nullptr || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct HostFigures {
    double stepsPerSecond;
    double workerShare;  // of one core
};

// Sets the host up to run the spiral's window procedure with a draw callback
// that counts its calls, and the step budget given.
void PrepareHost(HWND parent, const char* name, int32_t stepsPerSecond) {
    // Each run registers a class of its own: a name registered before would
    // make RunHost fail.
    static int runs = 0;
    static std::string saverName;
    saverName = name + std::to_string(++runs);
    SaverDescription bench;
    bench.saverName = saverName.c_str();
    bench.saverWindowProc = SpiralWindowProc;
    bench.previewWindowProc = SpiralWindowProc;
    bench.drawCallback = CountedDraw;
    bench.drawRateCallback = SpiralDrawCallsPerSecond;
    SetSaverCallbacks(bench, GetModuleHandleA(nullptr), nullptr, parent);
    g_startWorker = StartAndNoteWorker;
    g_spiralSettings.StepsPerSecond = stepsPerSecond;
    HostWindow = nullptr;
    g_worker = nullptr;
    g_drawCalls = 0;
}

// Waits for the host's window and worker: false, having said so, if they do
// not come within 10 s or the host has already ended.
bool WaitForHost(const char* name, const std::atomic<bool>& hostEnded) {
    for (int waited = 0; HostWindow == nullptr || g_worker.load() == nullptr; ++waited) {
        if (hostEnded.load() || waited > 10000) {
            std::printf("%-8s the host window or its worker never appeared\n", name);
            return false;
        }
        Sleep(1);
    }
    return true;
}

// Steps per second of the real host, and how much of a core its draw worker
// takes: RunHost on this thread with the spiral's window procedure, the step
// budget given, and a draw callback that counts its calls.
HostFigures MeasureHost(HostKind kind, HWND parent, double seconds, const char* name,
                        int32_t stepsPerSecond) {
    PrepareHost(parent, name, stepsPerSecond);

    HostFigures figures{0, 0};
    std::atomic<bool> hostEnded{false};
    std::thread timer([&] {
        if (!WaitForHost(name, hostEnded)) return;
        Sleep(500);  // let it settle
        long start = g_drawCalls.load();
        double cpu0 = ThreadSeconds(g_worker.load());
        const double t0 = Now();
        Sleep(static_cast<DWORD>(seconds * 1000));
        long end = g_drawCalls.load();
        double cpu1 = ThreadSeconds(g_worker.load());
        const double elapsed = Now() - t0;
        figures.stepsPerSecond = (end - start) * double{kStepsPerDrawCall} / elapsed;
        figures.workerShare = (cpu1 - cpu0) / elapsed;
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    if (RunHost(kind) != 0) std::printf("%-8s RunHost failed\n", name);
    hostEnded = true;
    timer.join();
    return figures;
}

// Prints the figures with the default budget and with none.
void ReportBudgets(const char* what, HostKind kind, HWND parent, double seconds) {
    for (int32_t budget : {kStepsPerSecondDefault, 0}) {
        HostFigures figures = MeasureHost(kind, parent, seconds, what, budget);
        std::printf("%-8s StepsPerSecond %-6d  %10.0f steps/s   draw thread %5.1f%% of a core\n",
                    what, budget, figures.stepsPerSecond, figures.workerShare * 100);
    }
}

// The first `count` block copies the engine makes on a window of the given
// size (nearly every step is one copy once the first colour period is over).
std::vector<Copy> RecordCopies(HWND window, size_t count) {
    DrawOps recording = kGdiDrawOps;
    recording.copyBlock = RecordingCopy;
    g_recorded.clear();
    g_recordLimit = count;
    SpiralState spiral{};
    spiral.settings = g_spiralSettings;
    spiral.random.seed(1234);
    spiral.lock = CreateDrawLock();
    HDC dc = GetMappedDC(window);
    SpiralCreate(&spiral, window, dc, &recording);
    while (g_recorded.size() < count) DrawSpiral(&spiral);
    SpiralRelease(&spiral);
    DeleteDrawLock(spiral.lock);
    ReleaseDC(window, dc);
    KillTimer(window, TIMER_COUNTDOWN);
    return g_recorded;
}

void PeakMemoryOfTheSaver() {
    PROCESS_INFORMATION info{};
    if (!StartModule("/s", &info)) return;
    WaitForInputIdle(info.hProcess, 10000);
    Sleep(3000);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters);
    std::printf("saver    peak working set %.1f MiB, peak private bytes %.1f MiB (after 3 s)\n",
                counters.PeakWorkingSetSize / 1048576.0, counters.PeakPagefileUsage / 1048576.0);
    TerminateProcess(info.hProcess, 0);
    EndModule(&info, 5000);
}

// Runs body, or ends the benchmark as a failure, saying what it was waiting
// for, when body takes longer than the limit: a hang must not hold the run.
void WithLimit(const char* what, double limitSeconds, const std::function<void()>& body) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([done, what, limitSeconds] {
        if (WaitForSingleObject(done, static_cast<DWORD>(limitSeconds * 1000)) != WAIT_OBJECT_0) {
            std::printf("FAILED: hung waiting for %s (more than %.0f s)\n", what, limitSeconds);
            ExitProcess(1);
        }
    });
    body();
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
}

// The round trip of a control message to a preview process that draws, as
// the settings sheet sends them: each send timed alone, 1000 of them.
void ControlRoundTrip(int32_t stepsPerSecond) {
    constexpr int kSends = 1000;
    char budget[16];
    std::snprintf(budget, sizeof budget, "%d", static_cast<int>(stepsPerSecond));
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", budget, "CONTROL.INI");
    HWND parent = MakeWindow("round trip parent", WS_POPUP, 0, 400, 300);
    PROCESS_INFORMATION info{};
    if (!StartModule("/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent)), &info)) return;
    HWND preview = nullptr;
    for (DWORD start = GetTickCount(); preview == nullptr && GetTickCount() - start < 15000;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        preview = GetWindow(parent, GW_CHILD);
        Sleep(1);
    }
    // Each control message is followed by a WM_NULL to the same window, the
    // platform's own round trip without DrawLock, timed alike.
    std::vector<double> ms, bare;
    if (preview != nullptr) {
        Sleep(500);  // drawing by now
        for (int i = 0; i < kSends; ++i) {
            DWORD_PTR reply = 0;
            double t0 = Now();
            // Randomness 0: a change that takes DrawLock and changes nothing.
            if (!SendMessageTimeoutA(preview, WM_SPIRAL_SETPARAM, ROW_RANDOMNESS, 0, SMTO_NORMAL,
                                     5000, &reply)) {
                std::printf("round trip: a send timed out\n");
                break;
            }
            ms.push_back((Now() - t0) * 1000.0);
            t0 = Now();
            if (!SendMessageTimeoutA(preview, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &reply)) {
                std::printf("round trip: a send timed out\n");
                break;
            }
            bare.push_back((Now() - t0) * 1000.0);
        }
    }
    DestroyWindow(parent);
    EndModule(&info, 10000);
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", nullptr, "CONTROL.INI");
    if (ms.empty() || bare.empty()) {
        std::printf("round trip: no preview window\n");
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::sort(bare.begin(), bare.end());
    std::printf("control  StepsPerSecond %-6d  round trip over %zu sends: median %.3f ms, "
                "99th percentile %.3f ms; WM_NULL: median %.3f ms, 99th percentile %.3f ms\n",
                static_cast<int>(stepsPerSecond), ms.size(), ms[ms.size() / 2],
                ms[ms.size() * 99 / 100], bare[bare.size() / 2], bare[bare.size() * 99 / 100]);
}

// Bare copies: the recorded blocks copied with BitBlt on the given drawing
// context for the given time, going on from *next; copies a second.
double BareSlice(HDC dc, const std::vector<Copy>& copies, size_t* next, double seconds) {
    const double start = Now();
    size_t done = 0;
    double elapsed = 0;
    do {
        for (int i = 0; i < 1000; ++i) {
            const Copy& c = copies[*next];
            BitBlt(dc, c.dx, c.dy, c.w, c.h, dc, c.sx, c.sy, SRCCOPY);
            *next = (*next + 1) % copies.size();
        }
        done += 1000;
        elapsed = Now() - start;
    } while (elapsed < seconds);
    GdiFlush();
    return done / elapsed;
}

// The unbudgeted engine in a real host, frozen but for its own slices of
// time, and bare copies of the blocks it makes on a window of the same kind
// made by the same thread, take turns: kPairs pairs of slices, the first of a
// pair alternating, so that another program's use of this shared machine
// slows both sides of the pairs it falls in rather than one side of the run.
struct Turns {
    double engine;  // steps a second over all the engine's slices
    double bare;    // copies a second over all the bare slices
    double ratio;   // the median of the pairs' engine/bare
};

constexpr int kPairs = 15;

Turns TakeTurns(const char* what, HostKind kind, HWND parent, HWND bareWindow,
                const std::vector<Copy>& copies, double seconds) {
    PrepareHost(parent, what, 0);
    const double slice = seconds / kPairs;
    Turns turns{0, 0, 0};
    std::atomic<bool> hostEnded{false};
    std::thread controller([&] {
        if (!WaitForHost(what, hostEnded)) return;
        const HWND host = HostWindow;
        HDC dc = GetMappedDC(bareWindow);
        Sleep(500);  // let it settle
        SendMessageA(host, WM_SPIRAL_SUSPEND, 0, 0);
        size_t next = 0;
        double engineSteps = 0, engineSeconds = 0, bareCopies = 0, bareSeconds = 0;
        std::vector<double> ratios;
        for (int pair = 0; pair < kPairs; ++pair) {
            double engine = 0, bare = 0;
            for (int side = 0; side < 2; ++side) {
                if ((side == 0) == (pair % 2 == 0)) {
                    // The engine's rate is read while it runs, away from the
                    // thaw and the freeze.
                    SendMessageA(host, WM_SPIRAL_RESUME, 0, 0);
                    Sleep(20);
                    const long calls0 = g_drawCalls.load();
                    const double t0 = Now();
                    Sleep(static_cast<DWORD>(slice * 1000));
                    const long calls1 = g_drawCalls.load();
                    const double elapsed = Now() - t0;
                    SendMessageA(host, WM_SPIRAL_SUSPEND, 0, 0);
                    engine = (calls1 - calls0) * double{kStepsPerDrawCall} / elapsed;
                    engineSteps += engine * elapsed;
                    engineSeconds += elapsed;
                } else {
                    bare = BareSlice(dc, copies, &next, slice);
                    bareCopies += bare * slice;
                    bareSeconds += slice;
                }
            }
            ratios.push_back(bare > 0 ? engine / bare : 0);
        }
        SendMessageA(host, WM_SPIRAL_RESUME, 0, 0);
        ReleaseDC(bareWindow, dc);
        std::nth_element(ratios.begin(), ratios.begin() + kPairs / 2, ratios.end());
        turns = Turns{engineSteps / engineSeconds, bareCopies / bareSeconds, ratios[kPairs / 2]};
        PostMessageA(host, WM_CLOSE, 0, 0);
    });
    if (RunHost(kind) != 0) std::printf("%-8s RunHost failed\n", what);
    hostEnded = true;
    controller.join();
    return turns;
}

// The figures with the default budget and with none, then the engine beside
// bare copies on a window of the same kind, which makeWindow makes on this
// thread, the thread that runs the host.
void CompareWithBare(const char* what, HostKind kind, HWND parent, double seconds, double limit,
                     const std::function<HWND()>& makeWindow) {
    constexpr size_t kRecordedCopies = 200000;
    WithLimit((std::string("the ") + what + "'s host to close").c_str(), limit * 2,
              [&] { ReportBudgets(what, kind, parent, seconds); });
    HWND window = makeWindow();
    RECT client{};
    GetClientRect(window, &client);
    std::vector<Copy> copies;
    WithLimit((std::string("the ") + what + "'s blocks to be recorded").c_str(), limit,
              [&] { copies = RecordCopies(window, kRecordedCopies); });
    Turns turns{0, 0, 0};
    WithLimit((std::string("the ") + what + " and the bare copies to take turns").c_str(), limit * 2,
              [&] { turns = TakeTurns(what, kind, parent, window, copies, seconds); });
    DestroyWindow(window);
    std::printf("%-8s %4ldx%-4ld  engine %10.0f steps/s   bare BitBlt %10.0f copies/s   "
                "engine/bare %.2f (median of %d pairs of turns)\n",
                what, client.right, client.bottom, turns.engine, turns.bare, turns.ratio, kPairs);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // each figure as soon as it is measured
    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (seconds <= 0) seconds = 3.0;
    UseDefaultSettings();
    SeedRandom(1234);

    const double limit = seconds * 4 + 60;

    // Preview: a parent whose outer size is 800 by 600, so that the preview
    // window's client area (the parent's outer size) is 800 by 600 too. The
    // bare copies go to the same kind of window: a child of the same size.
    HWND parent = MakeWindow("preview parent", WS_POPUP, 0, 800, 600);
    CompareWithBare("preview", HostKind::Preview, parent, seconds, limit,
                    [parent] { return MakeWindow("bare", WS_CHILD, 0, 800, 600, parent); });
    DestroyWindow(parent);

    CompareWithBare("saver", HostKind::Saver, nullptr, seconds, limit, [] {
        return MakeWindow("bare", WS_POPUP, WS_EX_TOPMOST, GetSystemMetrics(SM_CXSCREEN),
                          GetSystemMetrics(SM_CYSCREEN));
    });

    for (int32_t budget : {0, kStepsPerSecondDefault}) {
        WithLimit("a preview's replies", 120, [budget] { ControlRoundTrip(budget); });
    }
    WithLimit("the saver's memory figures", 60, [] { PeakMemoryOfTheSaver(); });
    return 0;
}
