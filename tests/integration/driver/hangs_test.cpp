// Nothing hangs: the sheet around a preview that no longer answers, and a
// preview driven hard from the first moment its window exists.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <set>
#include <thread>

#include "effect/control_messages.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

constexpr int kOptions = 0;
constexpr int kAbout = 1;

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

HWND PagePreview(driver::SheetSession& sheet, int page) {
    return GetWindow(GetWindow(GetWindow(sheet.Page(page), GW_CHILD), GW_CHILD), GW_CHILD);
}

class FrozenPreview : public ::testing::Test {
protected:
    void SetUp() override { driver::ClearSection(); }
    void TearDown() override {
        for (DWORD id : frozen_) driver::FreezeProcessThreads(id, false);
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000)) << "a process was left";
    }
    // Uses the sheet as a user would: the pages, the switch, a typed value.
    void UseTheSheet(driver::SheetSession& sheet) {
        sheet.SelectPage(kAbout);
        sheet.SelectPage(kOptions);
        sheet.Click(sheet.Control(kOptions, IDC_DISABLE_ACTIVE));
        sheet.TypeInto(sheet.Control(kOptions, IDC_FIRST_EDIT + 3), "17");
    }
    std::set<DWORD> frozen_;
};

TEST_F(FrozenPreview, TheSheetStaysResponsiveAndEndsIt) {
    const struct {
        int button;
        const char* saved;
    } closes[] = {{driver::kOkButton, "17"}, {driver::kCancelButton, "<missing>"}};
    for (const auto& close : closes) {
        SCOPED_TRACE(close.saved);
        driver::ClearSection();
        driver::SheetSession sheet;
        ASSERT_TRUE(sheet.Open("/c"));
        DWORD preview = ProcessOf(PagePreview(sheet, kOptions));
        ASSERT_NE(preview, 0u);
        ASSERT_GT(driver::FreezeProcessThreads(preview, true), 0);
        frozen_.insert(preview);
        UseTheSheet(sheet);
        EXPECT_TRUE(sheet.CloseWith(close.button));
        EXPECT_EQ(sheet.Process().ExitCode(), 0u);
        EXPECT_EQ(driver::StoredValue("Gradient"), close.saved);
        driver::FreezeProcessThreads(preview, false);
        frozen_.erase(preview);
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
    }
}

// The sheet's own thread waits about half a second for a preview at most;
// the preview is ended only once it has not answered for three seconds.
TEST_F(FrozenPreview, APageSwitchWaitsAMomentAndABrieflyBusyPreviewIsKept) {
    const struct {
        DWORD frozenMs;
        bool kept;
    } cases[] = {{1000, true}, {INFINITE, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept ? "briefly busy" : "frozen");
        driver::SheetSession sheet;
        ASSERT_TRUE(sheet.Open("/c"));
        const DWORD previewId = ProcessOf(PagePreview(sheet, kOptions));
        HANDLE preview = OpenProcess(SYNCHRONIZE, FALSE, previewId);
        ASSERT_NE(preview, nullptr);
        ASSERT_GT(driver::FreezeProcessThreads(previewId, true), 0);
        frozen_.insert(previewId);
        const DWORD start = GetTickCount();
        sheet.SelectPage(kAbout);
        EXPECT_LT(GetTickCount() - start, 1500u) << "the sheet waited for its preview";
        if (c.kept) {
            driver::PumpMessagesFor(c.frozenMs - (GetTickCount() - start));
            driver::FreezeProcessThreads(previewId, false);
            frozen_.erase(previewId);
        }
        const bool ended = WaitForSingleObject(preview, 6000) == WAIT_OBJECT_0;
        EXPECT_EQ(ended, !c.kept);
        CloseHandle(preview);
        EXPECT_TRUE(sheet.CloseWith(driver::kOkButton));
        EXPECT_EQ(sheet.Process().ExitCode(), 0u);
    }
}

TEST_F(FrozenPreview, APreviewFrozenAsItStartsIsGivenUpAndEnded) {
    driver::SheetSession sheet;
    std::atomic<bool> watching{true};
    std::atomic<DWORD> sheetId{0};
    // Freezes the first preview the moment it appears, and once more a little
    // later to catch the threads it starts.
    std::thread watcher([&] {
        DWORD start = GetTickCount();
        while (watching && GetTickCount() - start < 30000) {
            for (DWORD id : driver::ProcessesNamed("Gyrel.scr")) {
                if (id == sheetId || sheetId == 0 || !frozen_.empty()) continue;
                driver::FreezeProcessThreads(id, true);
                Sleep(100);
                driver::FreezeProcessThreads(id, true);
                frozen_.insert(id);
                return;
            }
            Sleep(1);
        }
    });
    bool opened = sheet.Open("/c", std::string(), [&] { sheetId = sheet.Process().Id(); });
    watching = false;
    watcher.join();
    ASSERT_TRUE(opened);
    EXPECT_EQ(frozen_.size(), 1u) << "no preview was caught starting";
    UseTheSheet(sheet);
    EXPECT_TRUE(sheet.CloseWith(driver::kOkButton));
    EXPECT_EQ(sheet.Process().ExitCode(), 0u);
    for (DWORD id : frozen_) {
        driver::FreezeProcessThreads(id, false);
        driver::FreezeProcessThreads(id, false);
    }
    frozen_.clear();
}

// Windows' display settings end a preview's host with TerminateProcess,
// which destroys none of the preview's windows: the preview notices that its
// parent has gone and ends by itself, with 0.
TEST(OrphanedPreview, EndsWhenItsHostIsTerminated) {
    driver::ClearSection();
    driver::SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c"));
    const DWORD previewId = ProcessOf(PagePreview(sheet, kOptions));
    ASSERT_NE(previewId, 0u);
    HANDLE preview = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, previewId);
    ASSERT_NE(preview, nullptr);
    sheet.Process().Kill();
    EXPECT_EQ(WaitForSingleObject(preview, 10000), WAIT_OBJECT_0) << "the preview runs on";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(preview, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(preview);
}

TEST(SuspendStorm, FromTheFirstMomentAPreviewExists) {
    driver::ClearSection();
    driver::StoreValue("StepsPerSecond", "0");  // a drawing worker shows clearly
    HWND parent = driver::CreateDriverWindow("storm parent", 400, 300);
    driver::ModuleProcess process;
    ASSERT_TRUE(process.Start("/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent))));
    HWND preview = nullptr;
    for (DWORD start = GetTickCount(); preview == nullptr && GetTickCount() - start < 15000;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        preview = GetWindow(parent, GW_CHILD);
    }
    ASSERT_NE(preview, nullptr);

    int unanswered = 0;
    for (int round = 0; round < 10000 && unanswered == 0; ++round) {
        DWORD_PTR reply = 0;
        for (UINT message : {WM_SPIRAL_SUSPEND, WM_SPIRAL_RESUME}) {
            if (!SendMessageTimeoutA(preview, message, 0, 0, SMTO_NORMAL, 5000, &reply)) ++unanswered;
        }
    }
    EXPECT_EQ(unanswered, 0) << "the preview stopped answering";
    // Fully resumed, it draws again.
    EXPECT_GT(driver::BusiestThreadCpuGrowth(process.Id(), 1000), 150);
    DestroyWindow(parent);
    EXPECT_TRUE(process.WaitForExit(10000));
    EXPECT_EQ(process.ExitCode(), 0u);
    driver::ClearSection();
}

}  // namespace
