// The real module drawing: the preview inside a window of the driver's
// (/p) and the full-screen saver (/s), driven across the process boundary
// with the effect window's control messages.
//
// Under Wine a window that one process creates inside another process's
// window is never drawn on the display, so the preview's drawing is seen
// through the CPU time of its draw worker; the full-screen saver is a
// top-level window, and its pixels are read from the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "effect/control_messages.h"
#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

constexpr double kDrawingMs = 150;  // worker CPU over a second while it draws
constexpr double kFrozenMs = 30;    // ... and while it is frozen

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
        ADD_FAILURE() << "no reply to message " << message;
    }
    return static_cast<LRESULT>(result);
}

class PreviewProcess : public ::testing::Test {
protected:
    void SetUp() override {
        // Unbudgeted, so that a drawing worker shows unmistakably in its
        // processor time.
        driver::StoreValue("StepsPerSecond", "0");
        parent_ = driver::CreateDriverWindow("preview parent", 400, 300);
        ASSERT_NE(parent_, nullptr);
        ASSERT_TRUE(process_.Start("/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent_))));
        ASSERT_TRUE(process_.WaitForIdle(15000));
        preview_ = GetWindow(parent_, GW_CHILD);
        ASSERT_NE(preview_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        process_.WaitForExit(10000);
        process_.Kill();
        driver::ClearSection();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty()) << "a module process was left running";
    }
    double WorkerCpu(DWORD ms = 1000) { return driver::BusiestThreadCpuGrowth(process_.Id(), ms); }

    HWND parent_ = nullptr;
    HWND preview_ = nullptr;
    driver::ModuleProcess process_;
};

TEST_F(PreviewProcess, DrawsInAChildOfTheGivenWindowAtItsOuterSize) {
    char className[64] = "";
    GetClassNameA(preview_, className, sizeof className);
    EXPECT_STREQ(className, "GyrelPrev");
    EXPECT_EQ(GetWindow(preview_, GW_HWNDNEXT), nullptr) << "more than one child";
    RECT outer{}, client{};
    GetWindowRect(parent_, &outer);
    GetClientRect(preview_, &client);
    EXPECT_EQ(client.right, outer.right - outer.left);
    EXPECT_EQ(client.bottom, outer.bottom - outer.top);
    EXPECT_GT(WorkerCpu(), kDrawingMs);
}

TEST_F(PreviewProcess, SuspendAndResumeNestWithCounts) {
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SUSPEND), 0);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SUSPEND), 1);
    EXPECT_LT(WorkerCpu(), kFrozenMs);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_RESUME), 2);
    EXPECT_LT(WorkerCpu(), kFrozenMs) << "thawed by the first of two resumes";
    EXPECT_EQ(Send(preview_, WM_SPIRAL_RESUME), 1);
    EXPECT_GT(WorkerCpu(), kDrawingMs);

    // A parameter change is taken even while the worker is frozen.
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SUSPEND), 0);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SETPARAM, 2, 120), 0);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SETPARAM, 7, 5), 0);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_RESUME), 1);
}

TEST_F(PreviewProcess, OneCloseWaitsForTheWorkerThenEndsWithZero) {
    Send(preview_, WM_CLOSE);
    EXPECT_TRUE(IsWindow(preview_)) << "destroyed before the worker's own close";
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(preview_));
}

TEST_F(PreviewProcess, TwoClosesDestroyAtOnceAndEndWithZero) {
    Send(preview_, WM_CLOSE);
    Send(preview_, WM_CLOSE);
    EXPECT_FALSE(IsWindow(preview_));
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
}

TEST_F(PreviewProcess, DestroyingTheParentEndsItWithZero) {
    DestroyWindow(parent_);
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
}

// Checked once a second, as the parent is: hidden or minimised, the preview
// pauses; shown again, it draws again.
TEST_F(PreviewProcess, DrawsOnlyWhileItCanBeSeen) {
    const struct {
        const char* what;
        int show;
        bool drawing;
    } script[] = {
        {"hidden", SW_HIDE, false},
        {"shown", SW_SHOW, true},
        {"minimised", SW_MINIMIZE, false},
        {"restored", SW_RESTORE, true},
    };
    for (const auto& s : script) {
        ShowWindow(parent_, s.show);
        driver::PumpMessagesFor(1500);
        if (s.drawing) {
            EXPECT_GT(WorkerCpu(), kDrawingMs) << s.what;
        } else {
            EXPECT_LT(WorkerCpu(), kFrozenMs) << s.what;
        }
    }
}

TEST_F(PreviewProcess, AWorkerSuspendedTwiceStillStops) {
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SUSPEND), 0);
    EXPECT_EQ(Send(preview_, WM_SPIRAL_SUSPEND), 1);
    Send(preview_, WM_CLOSE);
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
}

// The sheet suspends a preview as soon as the preview process waits; its
// first suspend can land while the preview's window is still being made
// (inside the notification the new child sends its parent). It must count.
WNDPROC g_parentProc = nullptr;
LRESULT g_suspendDuringCreation = 99;

LRESULT CALLBACK SuspendingParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_CREATE) {
        g_suspendDuringCreation = Send(reinterpret_cast<HWND>(lParam), WM_SPIRAL_SUSPEND);
    }
    return CallWindowProcA(g_parentProc, window, message, wParam, lParam);
}

TEST(PreviewStart, ASuspendWhileItsWindowIsMadeCounts) {
    driver::StoreValue("StepsPerSecond", "0");
    HWND parent = driver::CreateDriverWindow("suspending parent", 400, 300);
    g_parentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SuspendingParentProc)));
    driver::ModuleProcess process;
    ASSERT_TRUE(process.Start("/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent))));
    ASSERT_TRUE(process.WaitForIdle(15000));
    driver::PumpMessagesFor(200);
    HWND preview = GetWindow(parent, GW_CHILD);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(g_suspendDuringCreation, 0);
    EXPECT_LT(driver::BusiestThreadCpuGrowth(process.Id(), 1000), kFrozenMs) << "it draws";
    EXPECT_EQ(Send(preview, WM_SPIRAL_RESUME), 1);
    EXPECT_GT(driver::BusiestThreadCpuGrowth(process.Id(), 1000), kDrawingMs);
    DestroyWindow(parent);
    EXPECT_TRUE(process.WaitForExit(10000));
    EXPECT_EQ(process.ExitCode(), 0u);
    driver::ClearSection();
}

class FullScreenSaver : public ::testing::Test {
protected:
    void TearDown() override {
        process_.WaitForExit(10000);
        process_.Kill();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty()) << "a module process was left running";
    }
    bool Start() {
        if (!process_.Start("/s")) return false;
        process_.WaitForIdle(15000);
        window_ = driver::FindProcessWindow(process_.Id(), "GyrelClass");
        return window_ != nullptr;
    }
    driver::ModuleProcess process_;
    HWND window_ = nullptr;
};

TEST_F(FullScreenSaver, CoversTheScreenDrawsAndClosesWithZero) {
    ASSERT_TRUE(Start());
    RECT rect{};
    GetWindowRect(window_, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(GetWindowLongA(window_, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);

    std::vector<uint32_t> first = driver::CaptureScreen(rect);
    driver::PumpMessagesFor(1000);
    std::vector<uint32_t> second = driver::CaptureScreen(rect);
    EXPECT_GT(driver::CountDifferences(first, second), first.size() / 100);

    PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
}

TEST_F(FullScreenSaver, SuspendsAfterAnAcceptedCloseDoNotKeepItRunning) {
    driver::StoreValue("StepsPerSecond", "0");  // the worker is mid-draw when they come
    for (int run = 0; run < 3; ++run) {
        driver::ModuleProcess saver;
        ASSERT_TRUE(saver.Start("/s"));
        HWND window = driver::FindProcessWindow(saver.Id(), "GyrelClass");
        ASSERT_NE(window, nullptr);
        // Posted together, the suspends are handled right after the close is
        // accepted, while the worker is still in its draw call.
        PostMessageA(window, WM_CLOSE, 0, 0);
        PostMessageA(window, WM_SPIRAL_SUSPEND, 0, 0);
        PostMessageA(window, WM_SPIRAL_SUSPEND, 0, 0);
        EXPECT_TRUE(saver.WaitForExit(10000)) << "run " << run;
        EXPECT_EQ(saver.ExitCode(), 0u);
    }
    driver::ClearSection();
}

TEST_F(FullScreenSaver, ResolutionZeroStopsTheCopiesButNotTheFloods) {
    ASSERT_TRUE(Start());
    driver::PumpMessagesFor(1500);  // past the first colour changes
    EXPECT_EQ(Send(window_, WM_SPIRAL_SETPARAM, 5, 0), 0);
    driver::PumpMessagesFor(200);

    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // The middle of the screen, well away from the corner triangles...
    RECT middle{width / 4, height / 3, width * 3 / 4, height * 2 / 3};
    // ... and a corner, inside the top-left triangle.
    RECT corner{0, 0, 8, 8};
    std::vector<uint32_t> middleBefore = driver::CaptureScreen(middle);
    std::vector<uint32_t> cornerBefore = driver::CaptureScreen(corner);
    driver::PumpMessagesFor(1500);
    EXPECT_EQ(driver::CountDifferences(middleBefore, driver::CaptureScreen(middle)), 0u);
    EXPECT_GT(driver::CountDifferences(cornerBefore, driver::CaptureScreen(corner)), 0u);

    PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_EQ(process_.ExitCode(), 0u);
}

}  // namespace
