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
#include "effect/spiral_window.h"
#include "framework/host.h"
#include "framework/saver_main.h"

namespace {

struct Copy {
    int32_t dx, dy, w, h, sx, sy;
};

std::atomic<long> g_drawCalls{0};
std::vector<Copy> g_recorded;
size_t g_recordLimit = 0;

void CountedDraw(HWND window) {
    DrawSpiralInWindow(window);
    ++g_drawCalls;
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

// Steps per second of the real host, and how much of a core its draw worker
// takes: RunHost on this thread with the spiral's window procedure, the step
// budget given, and a draw callback that counts its calls.
HostFigures MeasureHost(HostKind kind, HWND parent, double seconds, const char* name,
                        int32_t stepsPerSecond) {
    // Each run registers a class of its own: a name registered before would
    // make RunHost fail.
    static int runs = 0;
    SaverCallbacks& saver = g_saverCallbacks;
    saver.instance = GetModuleHandleA(nullptr);
    saver.previousInstance = nullptr;
    saver.sectionName = std::string("Screen Saver.") + name + std::to_string(++runs);
    saver.saverName = saver.sectionName.c_str() + 13;
    saver.saverWindowProc = SpiralWindowProc;
    saver.previewWindowProc = SpiralWindowProc;
    saver.drawCallback = CountedDraw;
    saver.drawRateCallback = SpiralDrawCallsPerSecond;
    saver.workerThawCallback = ThawSpiralWorker;
    saver.parentWindow = parent;
    g_spiralSettings.StepsPerSecond = stepsPerSecond;
    HostWindow = nullptr;
    g_drawCalls = 0;

    HostFigures figures{0, 0};
    std::atomic<bool> hostEnded{false};
    std::thread timer([&] {
        for (int waited = 0; HostWindow == nullptr || HostWorker(HostWindow) == nullptr; ++waited) {
            if (hostEnded.load() || waited > 10000) {
                std::printf("%-8s the host window or its worker never appeared\n", name);
                return;
            }
            Sleep(1);
        }
        Sleep(500);  // let it settle
        long start = g_drawCalls.load();
        double cpu0 = ThreadSeconds(HostWorker(HostWindow));
        LARGE_INTEGER frequency, t0, t1;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&t0);
        Sleep(static_cast<DWORD>(seconds * 1000));
        long end = g_drawCalls.load();
        double cpu1 = ThreadSeconds(HostWorker(HostWindow));
        QueryPerformanceCounter(&t1);
        double elapsed = double(t1.QuadPart - t0.QuadPart) / frequency.QuadPart;
        figures.stepsPerSecond = (end - start) * 1000.0 / elapsed;
        figures.workerShare = (cpu1 - cpu0) / elapsed;
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    if (RunHost(kind) != 0) std::printf("%-8s RunHost failed\n", name);
    hostEnded = true;
    timer.join();
    return figures;
}

// Prints the figures with the default budget and with none; returns the
// steps a second with none.
double ReportBudgets(const char* what, HostKind kind, HWND parent, double seconds) {
    double unbudgeted = 0;
    for (int32_t budget : {kStepsPerSecondDefault, 0}) {
        HostFigures figures = MeasureHost(kind, parent, seconds, what, budget);
        std::printf("%-8s StepsPerSecond %-6d  %10.0f steps/s   draw thread %5.1f%% of a core\n",
                    what, budget, figures.stepsPerSecond, figures.workerShare * 100);
        if (budget == 0) unbudgeted = figures.stepsPerSecond;
    }
    return unbudgeted;
}

// The first `count` block copies the engine makes on a window of the given
// size (nearly every step is one copy once the first colour period is over).
std::vector<Copy> RecordCopies(HWND window, size_t count) {
    DrawOps recording = kGdiDrawOps;
    recording.copyBlock = RecordingCopy;
    g_recorded.clear();
    g_recordLimit = count;
    SeedRandom(1234);
    SpiralState spiral{};
    HDC dc = GetMappedDC(window);
    SpiralCreate(&spiral, window, dc, &recording);
    while (g_recorded.size() < count) DrawSpiral(&spiral);
    SpiralRelease(&spiral);
    ReleaseDC(window, dc);
    KillTimer(window, TIMER_COUNTDOWN);
    return g_recorded;
}

// Copies per second of the same copies, bare BitBlt on the same kind of
// drawing context, no engine, no lock, no worker.
double BareCopiesPerSecond(HWND window, const std::vector<Copy>& copies, double seconds) {
    HDC dc = GetMappedDC(window);
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    size_t done = 0;
    double elapsed = 0;
    do {
        for (const Copy& c : copies) BitBlt(dc, c.dx, c.dy, c.w, c.h, dc, c.sx, c.sy, SRCCOPY);
        done += copies.size();
        QueryPerformanceCounter(&t1);
        elapsed = double(t1.QuadPart - t0.QuadPart) / frequency.QuadPart;
    } while (elapsed < seconds);
    GdiFlush();
    ReleaseDC(window, dc);
    return done / elapsed;
}

void Report(const char* what, int width, int height, double steps, double bare) {
    std::printf("%-8s %4dx%-4d  engine %10.0f steps/s   bare BitBlt %10.0f copies/s   "
                "engine/bare %.2f (best of 3 turns each)\n",
                what, width, height, steps, bare, bare > 0 ? steps / bare : 0.0);
}

void PeakMemoryOfTheSaver(const std::string& module) {
    std::string commandLine = "\"" + module + "\" /s";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        std::printf("saver    could not start %s\n", module.c_str());
        return;
    }
    WaitForInputIdle(info.hProcess, 10000);
    Sleep(3000);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters);
    std::printf("saver    peak working set %.1f MiB, peak private bytes %.1f MiB (after 3 s)\n",
                counters.PeakWorkingSetSize / 1048576.0, counters.PeakPagefileUsage / 1048576.0);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
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

std::string ModuleBesideUs() {
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/") + 1) + "Gyrel.scr";
}

// The round trip of a control message to a preview process that draws, as
// the settings sheet sends them: each send timed alone, 1000 of them.
void ControlRoundTrip(int32_t stepsPerSecond) {
    constexpr int kSends = 1000;
    char budget[16];
    std::snprintf(budget, sizeof budget, "%d", static_cast<int>(stepsPerSecond));
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", budget, "CONTROL.INI");
    HWND parent = MakeWindow("round trip parent", WS_POPUP, 0, 400, 300);
    std::string commandLine =
        "\"" + ModuleBesideUs() + "\" /p " + std::to_string(reinterpret_cast<UINT_PTR>(parent));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        std::printf("round trip: could not start the preview\n");
        return;
    }
    HWND preview = nullptr;
    for (DWORD start = GetTickCount(); preview == nullptr && GetTickCount() - start < 15000;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        preview = GetWindow(parent, GW_CHILD);
        Sleep(1);
    }
    std::vector<double> ms;
    if (preview != nullptr) {
        Sleep(500);  // drawing by now
        LARGE_INTEGER frequency, t0, t1;
        QueryPerformanceFrequency(&frequency);
        for (int i = 0; i < kSends; ++i) {
            DWORD_PTR reply = 0;
            QueryPerformanceCounter(&t0);
            // Randomness 0: a change that takes DrawLock and changes nothing.
            if (!SendMessageTimeoutA(preview, WM_SPIRAL_SETPARAM, ROW_RANDOMNESS, 0, SMTO_NORMAL,
                                     5000, &reply)) {
                std::printf("round trip: a send timed out\n");
                break;
            }
            QueryPerformanceCounter(&t1);
            ms.push_back(double(t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart);
        }
    }
    DestroyWindow(parent);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", nullptr, "CONTROL.INI");
    if (ms.empty()) {
        std::printf("round trip: no preview window\n");
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("control  StepsPerSecond %-6d  round trip over %zu sends: median %.3f ms, "
                "99th percentile %.3f ms\n",
                static_cast<int>(stepsPerSecond), ms.size(), ms[ms.size() / 2],
                ms[ms.size() * 99 / 100]);
}

// The engine (unbudgeted) in a host of the given kind beside bare copies on
// a window of the same kind, which makeWindow makes: they take turns, three
// times each, and the best of each is kept, so that another program's use of
// the machine during one measurement does not decide the ratio. The first
// turn also prints the figures with the default budget.
void CompareWithBare(const char* what, HostKind kind, HWND parent, double seconds, double limit,
                     const std::function<HWND()>& makeWindow) {
    constexpr int kTurns = 3;
    constexpr size_t kRecordedCopies = 200000;
    const std::string hostWait = std::string("the ") + what + "'s host to close";
    const std::string bareWait = std::string("the ") + what + "-sized bare copies";
    double steps = 0, bare = 0;
    int width = 0, height = 0;
    for (int turn = 0; turn < kTurns; ++turn) {
        WithLimit(hostWait.c_str(), limit * 3, [&] {
            steps = std::max(steps, turn == 0 ? ReportBudgets(what, kind, parent, seconds)
                                              : MeasureHost(kind, parent, seconds, what, 0).stepsPerSecond);
        });
        HWND window = makeWindow();
        RECT client{};
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        WithLimit(bareWait.c_str(), limit, [&] {
            std::vector<Copy> copies = RecordCopies(window, kRecordedCopies);
            bare = std::max(bare, BareCopiesPerSecond(window, copies, seconds));
        });
        DestroyWindow(window);
    }
    Report(what, width, height, steps, bare);
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
    WithLimit("the saver's memory figures", 60, [] { PeakMemoryOfTheSaver(ModuleBesideUs()); });
    return 0;
}
