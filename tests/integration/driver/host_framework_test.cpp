// The host framework run inside the driver's own process, with a recording
// window procedure and a draw callback of the test's: the two-stage close,
// the destroy step's wait for the worker, and the runs without a draw
// callback, without a window procedure, or without a worker.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/host.h"
#include "framework/saver_main.h"
#include "tests/integration/driver/driver_util.h"

namespace {

struct Record {
    UINT message;
    StopStateValue stopState;
    bool drawInProgress;
    int drawCalls;
};

std::mutex g_recordMutex;
std::vector<Record> g_records;
std::atomic<bool> g_drawInProgress{false};
std::atomic<int> g_drawCalls{0};
std::atomic<int> g_createResult{0};
// Whether a refused creation is followed by WM_DESTROY, as Windows does.
std::atomic<bool> g_destroyRefusedCreation{false};
HANDLE g_drawGate = nullptr;  // when set, each draw call waits for it

void Note(UINT message) {
    std::lock_guard<std::mutex> hold(g_recordMutex);
    g_records.push_back({message, StopState(), g_drawInProgress.load(), g_drawCalls.load()});
}

std::vector<Record> RecordsOf(UINT message) {
    std::lock_guard<std::mutex> hold(g_recordMutex);
    std::vector<Record> found;
    for (const Record& r : g_records) {
        if (r.message == message) found.push_back(r);
    }
    return found;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE || message == WM_CLOSE || message == WM_DESTROY) Note(message);
    if (message == WM_CREATE && g_createResult.load() != 0) {
        if (g_destroyRefusedCreation) SendMessageA(window, WM_DESTROY, 0, 0);
        return g_createResult.load();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool TestDraw(HWND) {
    g_drawInProgress = true;
    if (g_drawGate != nullptr) WaitForSingleObject(g_drawGate, 10000);
    Sleep(1);
    g_drawCalls++;
    g_drawInProgress = false;
    return true;
}

HANDLE FailingWorkerStart(LPTHREAD_START_ROUTINE, LPVOID) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
    return true;
}

class HostFramework : public ::testing::Test {
protected:
    void SetUp() override {
        static int runNumber = 0;
        // Each run registers its own class names ("HostTest<n>Prev" ...).
        saverName_ = "HostTest" + std::to_string(++runNumber);
        description_.saverName = saverName_.c_str();
        description_.saverWindowProc = RecordingProc;
        description_.previewWindowProc = RecordingProc;
        description_.drawCallback = TestDraw;
        SetSaverCallbacks(description_, GetModuleHandleA(nullptr), nullptr, nullptr);
        HostWindow = nullptr;
        g_records.clear();
        g_drawCalls = 0;
        g_drawInProgress = false;
        g_createResult = 0;
        g_destroyRefusedCreation = false;
        g_drawGate = nullptr;
        g_startWorker = defaultStarter_;
    }

    void TearDown() override {
        g_startWorker = defaultStarter_;
        if (parent_ != nullptr && IsWindow(parent_)) DestroyWindow(parent_);
        if (g_drawGate != nullptr) CloseHandle(g_drawGate);
        g_drawGate = nullptr;
    }

    // Runs the host on this thread while `script` acts from another thread
    // once the host window exists. Returns RunHost's result.
    int RunWithScript(HostKind kind, const std::function<void()>& script) {
        if (kind == HostKind::Preview) UseParent();
        std::thread actor([&] {
            if (!WaitUntil([] { return HostWindow != nullptr; })) return;
            script();
        });
        int result = RunHost(kind);
        actor.join();
        return result;
    }

    // The saver as the test has changed it, with a parent of the driver's.
    void Describe() { SetSaverCallbacks(description_, GetModuleHandleA(nullptr), nullptr, parent_); }
    void UseParent() {
        parent_ = driver::CreateDriverWindow("host parent", 400, 300);
        Describe();
    }

    std::string saverName_;
    SaverDescription description_;
    HWND parent_ = nullptr;
    const WorkerStarter defaultStarter_ = g_startWorker;
};

TEST_F(HostFramework, OneCloseWaitsForTheWorkersOwnClose) {
    int result = RunWithScript(HostKind::Preview, [] {
        WaitUntil([] { return g_drawCalls.load() > 3; });
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    // The outside close was kept by the host; only the worker's own close
    // reached the window procedure, after the worker was done.
    std::vector<Record> closes = RecordsOf(WM_CLOSE);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].stopState, StopStateValue::WorkerDone);
    std::vector<Record> destroys = RecordsOf(WM_DESTROY);
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_FALSE(destroys[0].drawInProgress);
    EXPECT_EQ(destroys[0].drawCalls, g_drawCalls.load());  // no draw after release
    EXPECT_FALSE(IsWindow(HostWindow));
}

TEST_F(HostFramework, SecondCloseDestroysAtOnceButTheDestroyWaitsForTheWorker) {
    g_drawGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int result = RunWithScript(HostKind::Preview, [] {
        WaitUntil([] { return g_drawInProgress.load(); });
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
        // The second close is handed on while the worker is still drawing;
        // the destroy step must then wait for it.
        WaitUntil([] { return !RecordsOf(WM_CLOSE).empty(); });
        Sleep(200);
        EXPECT_TRUE(RecordsOf(WM_DESTROY).empty()) << "state freed under a running draw call";
        SetEvent(g_drawGate);
    });
    EXPECT_EQ(result, 0);
    std::vector<Record> closes = RecordsOf(WM_CLOSE);
    ASSERT_GE(closes.size(), 1u);
    EXPECT_EQ(closes[0].stopState, StopStateValue::StopRequested);
    EXPECT_TRUE(closes[0].drawInProgress);
    std::vector<Record> destroys = RecordsOf(WM_DESTROY);
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_FALSE(destroys[0].drawInProgress);
    // The worker says it has left only after its last touch of the run (the
    // stop completed), so the destroy step that waited for it sees that.
    EXPECT_EQ(destroys[0].stopState, StopStateValue::WorkerDone);
}

TEST_F(HostFramework, DestroyingTheParentStopsTheWorker) {
    int result = RunWithScript(HostKind::Preview, [this] {
        WaitUntil([] { return g_drawCalls.load() > 3; });
        PostMessageA(parent_, WM_CLOSE, 0, 0);  // the parent's default close destroys it
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(RecordsOf(WM_CLOSE).empty());
    std::vector<Record> destroys = RecordsOf(WM_DESTROY);
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_NE(destroys[0].stopState, StopStateValue::Running);
    EXPECT_FALSE(destroys[0].drawInProgress);
}

TEST_F(HostFramework, AWorkerFrozenTwiceStillStops) {
    long counts[2] = {99, 99};
    int result = RunWithScript(HostKind::Preview, [&counts] {
        WaitUntil([] { return g_drawCalls.load() > 3; });
        counts[0] = FreezeDrawLockWorker(HostDrawLock(HostWindow), true);
        counts[1] = FreezeDrawLockWorker(HostDrawLock(HostWindow), true);
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[1], 1);
    EXPECT_EQ(RecordsOf(WM_DESTROY).size(), 1u);
}

// Another process may post WM_QUIT to the host's thread: the loop ends with
// the window up and the worker drawing. The run must still stop the worker
// and free the effect's state after it, and end with 0.
TEST_F(HostFramework, AQuitMessageFromOutsideStopsTheWorkerBeforeAnythingGoes) {
    DWORD hostThread = GetCurrentThreadId();
    int result = RunWithScript(HostKind::Preview, [hostThread] {
        WaitUntil([] { return g_drawCalls.load() > 3; });
        PostThreadMessageA(hostThread, WM_QUIT, 0, 0);
    });
    const int callsAtReturn = g_drawCalls.load();
    Sleep(200);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_drawCalls.load(), callsAtReturn) << "a worker still draws after the run";
    EXPECT_FALSE(g_drawInProgress.load());
    std::vector<Record> destroys = RecordsOf(WM_DESTROY);
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_FALSE(destroys[0].drawInProgress);
    EXPECT_EQ(destroys[0].drawCalls, callsAtReturn);
    EXPECT_FALSE(IsWindow(HostWindow));
}

TEST_F(HostFramework, WithoutDrawCallbackTheWindowShowsAndCloses) {
    description_.drawCallback = nullptr;
    Describe();
    bool visible = false;
    int result = RunWithScript(HostKind::Preview, [&visible] {
        Sleep(100);
        visible = IsWindowVisible(HostWindow) != FALSE;
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(visible);
    EXPECT_EQ(g_drawCalls.load(), 0);
}

// A draw callback with nothing left to draw in (its window went behind the
// host's back) is not called again: the worker waits for the stop.
bool NothingToDrawIn(HWND) {
    g_drawCalls++;
    return false;
}

TEST_F(HostFramework, AWorkerWithNothingToDrawInWaitsForTheStop) {
    description_.drawCallback = NothingToDrawIn;
    Describe();
    int calls = -1;
    int result = RunWithScript(HostKind::Preview, [&calls] {
        WaitUntil([] { return g_drawCalls.load() > 0; });
        Sleep(300);
        calls = g_drawCalls.load();
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(HostFramework, WithoutWindowProcedureTheDefaultProcedureCloses) {
    description_.previewWindowProc = nullptr;
    Describe();
    int result = RunWithScript(HostKind::Preview, [] {
        WaitUntil([] { return g_drawCalls.load() > 0; });
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(g_records.empty());
    EXPECT_FALSE(IsWindow(HostWindow));
}

TEST_F(HostFramework, PreviewTakesTheParentsOuterSizeAtItsClientOrigin) {
    RECT child{}, outer{};
    HWND parentSeen = nullptr;
    int result = RunWithScript(HostKind::Preview, [&] {
        GetClientRect(HostWindow, &child);
        GetWindowRect(g_saverCallbacks.parentWindow, &outer);
        parentSeen = GetParent(HostWindow);
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(parentSeen, parent_);
    EXPECT_EQ(child.right, outer.right - outer.left);
    EXPECT_EQ(child.bottom, outer.bottom - outer.top);
}

TEST_F(HostFramework, AWorkerThatCannotStartEndsTheRunAtOnce) {
    g_startWorker = FailingWorkerStart;
    DWORD start = GetTickCount();
    int result = RunWithScript(HostKind::Preview, [] {});
    EXPECT_EQ(result, -1);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(RecordsOf(WM_DESTROY).size(), 1u);
    EXPECT_FALSE(IsWindow(HostWindow));
    EXPECT_EQ(g_drawCalls.load(), 0);
}

TEST_F(HostFramework, AFailedCreationStartsNoWorker) {
    g_createResult = -1;
    UseParent();
    EXPECT_EQ(RunHost(HostKind::Preview), -1);
    Sleep(50);
    EXPECT_EQ(g_drawCalls.load(), 0);
    EXPECT_EQ(HostWindow, nullptr);

    // A class that cannot be registered (the name is taken) fails the same way.
    g_createResult = 0;
    EXPECT_EQ(RunHost(HostKind::Preview), -1);
}

// Windows follows a refused WM_CREATE with WM_DESTROY (Wine 8 does not); the
// recording procedure plays that part. The destroy step must not wait for a
// worker that was never started.
TEST_F(HostFramework, ADestroyAfterARefusedCreationDoesNotWait) {
    g_createResult = -1;
    g_destroyRefusedCreation = true;
    UseParent();
    std::atomic<int> result{1};
    // On a thread of its own: its quit message and, before the mend, its
    // endless wait stay there.
    std::thread run([&] { result = RunHost(HostKind::Preview); });
    EXPECT_TRUE(WaitUntil([&] { return result != 1; }, 5000)) << "the destroy step waits";
    if (result != 1) {
        run.join();
    } else {
        run.detach();
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(RecordsOf(WM_DESTROY).size(), 1u);
}

TEST_F(HostFramework, SaverCoversThePrimaryScreenAsATopmostPopup) {
    RECT rect{};
    LONG style = 0, exStyle = 0;
    BOOL runningFlag = FALSE;
    int result = RunWithScript(HostKind::Saver, [&] {
        WaitUntil([] { return g_drawCalls.load() > 0; });
        GetWindowRect(HostWindow, &rect);
        style = GetWindowLongA(HostWindow, GWL_STYLE);
        exStyle = GetWindowLongA(HostWindow, GWL_EXSTYLE);
        SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &runningFlag, 0);
        PostMessageA(HostWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(runningFlag);
    BOOL after = TRUE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &after, 0);
    EXPECT_FALSE(after);
}

}  // namespace
