// How long the sheet waits on a preview that has stopped answering: one click
// costs it about half a second at most, the sheet stays usable, and the
// preview is still ended once it has not answered for the reply limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "config/preview_link.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

constexpr int kOptions = 0;

class SheetWaits : public ::testing::Test {
protected:
    void SetUp() override { driver::ClearSection(); }
    void TearDown() override {
        if (frozen_ != 0) driver::FreezeProcessThreads(frozen_, false);
        if (preview_ != nullptr) CloseHandle(preview_);
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000)) << "a process was left";
    }
    DWORD frozen_ = 0;
    HANDLE preview_ = nullptr;
};

TEST_F(SheetWaits, DefaultOnAFrozenPreviewReturnsWithinASecond) {
    driver::SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c"));
    const DWORD previewId = driver::WindowProcess(sheet.Preview(kOptions));
    preview_ = OpenProcess(SYNCHRONIZE, FALSE, previewId);
    ASSERT_NE(preview_, nullptr);
    ASSERT_GT(driver::FreezeProcessThreads(previewId, true), 0);
    frozen_ = previewId;

    // "Default" sends the preview twelve changes; a typed value one more each.
    const DWORD clicked = GetTickCount();
    sheet.Click(sheet.Control(kOptions, IDC_DEFAULT));
    const DWORD defaultMs = GetTickCount() - clicked;
    sheet.TypeInto(sheet.Control(kOptions, IDC_FIRST_EDIT + 3), "17");
    const DWORD typedMs = GetTickCount() - clicked - defaultMs;
    const bool ended = WaitForSingleObject(preview_, kPreviewReplyLimitMs * 2) == WAIT_OBJECT_0;
    const DWORD endedMs = GetTickCount() - clicked;
    std::printf("frozen preview: \"Default\" handled in %lu ms, two typed digits in %lu ms, "
                "preview ended %lu ms after the click\n",
                defaultMs, typedMs, endedMs);
    EXPECT_LT(defaultMs, 1000u);
    EXPECT_LT(typedMs, 500u);
    EXPECT_TRUE(ended) << "the frozen preview runs on";
    EXPECT_GE(endedMs, kPreviewReplyLimitMs - kPreviewPromptMs) << "ended before its limit";

    EXPECT_TRUE(sheet.CloseWith(driver::kOkButton));
    EXPECT_EQ(sheet.Process().ExitCode(), 0u);
    EXPECT_EQ(driver::StoredValue("MaxBkColour"), "225");
    EXPECT_EQ(driver::StoredValue("Gradient"), "17");
}

// Closing beside a frozen preview: the sheet vanishes and gives the panel
// back at once; the module waits, out of sight, until the preview is ended.
TEST_F(SheetWaits, ClosingBesideAFrozenPreviewFreesThePanelAtOnce) {
    HWND panel = driver::CreateDriverWindow("Display Properties", 400, 300);
    driver::SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c:" + std::to_string(reinterpret_cast<UINT_PTR>(panel))));
    const DWORD previewId = driver::WindowProcess(sheet.Preview(kOptions));
    ASSERT_GT(driver::FreezeProcessThreads(previewId, true), 0);
    frozen_ = previewId;

    const DWORD clicked = GetTickCount();
    sheet.Click(sheet.SheetButton(driver::kCancelButton));
    DWORD freedMs = 0;
    while (freedMs == 0 && GetTickCount() - clicked < 10000) {
        driver::PumpMessagesFor(5);
        if (IsWindowEnabled(panel) && !IsWindowVisible(sheet.Sheet())) {
            freedMs = GetTickCount() - clicked;
        }
    }
    EXPECT_TRUE(sheet.Process().WaitForExit(10000));
    const DWORD endedMs = GetTickCount() - clicked;
    std::printf("closing beside a frozen preview: panel free after %lu ms, module ended after %lu ms\n",
                freedMs, endedMs);
    EXPECT_GT(freedMs, 0u);
    EXPECT_LT(freedMs, 300u);
    EXPECT_LT(endedMs, kPreviewPromptMs + 1000);
    EXPECT_EQ(sheet.Process().ExitCode(), 0u);
    DestroyWindow(panel);
}

}  // namespace
