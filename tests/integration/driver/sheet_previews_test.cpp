// The Options sheet's live previews: one preview process per page, running
// the module itself in preview mode inside the page's monitor, frozen and
// released as pages change and as the "Disable active configuration" box is
// switched, and ended when the sheet closes.
//
// A preview's suspend count is read with a suspend followed by a resume,
// which leaves it as it was: the suspend's reply is the count before it.
// Whether a preview draws is seen from the processor time of its draw
// worker: under Wine a preview's pixels cannot be relied on to reach the
// display.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effect/control_messages.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

using driver::SheetSession;

constexpr int kOptions = 0;
constexpr int kAbout = 1;

int32_t ReadCount(HWND preview) {
    auto before = static_cast<int32_t>(SendMessageA(preview, WM_SPIRAL_SUSPEND, 0, 0));
    SendMessageA(preview, WM_SPIRAL_RESUME, 0, 0);
    return before;
}

std::string ImagePath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return std::string();
    char path[1024] = "";
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process, 0, path, &size)) size = 0;
    CloseHandle(process);
    return std::string(path, size);
}

// Processor time the busiest thread of a process (a preview's draw worker)
// uses in half a second of the driver's time, in milliseconds.
double DrawingOverHalfASecond(DWORD processId) {
    return driver::BusiestThreadCpuGrowth(processId, 500);
}

class SheetPreviews : public ::testing::Test {
protected:
    void SetUp() override { driver::ClearSection(); }
    void TearDown() override {
        if (sheet_.Process().Running()) {
            EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
        }
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
    }

    SheetSession sheet_;
};

TEST_F(SheetPreviews, EachPageRunsItsOwnPreviewInItsScreen) {
    ASSERT_TRUE(sheet_.Open("/c"));
    HWND options = sheet_.Preview(kOptions);
    ASSERT_NE(options, nullptr);
    char className[64] = "";
    GetClassNameA(options, className, sizeof className);
    EXPECT_STREQ(className, "GyrelPrev");
    EXPECT_EQ(GetParent(options), sheet_.Screen(kOptions));
    EXPECT_NE(driver::WindowProcess(options), sheet_.Process().Id());
    EXPECT_EQ(ImagePath(driver::WindowProcess(options)), driver::ModulePath());
    // The About page's preview starts when About is first shown.
    EXPECT_EQ(driver::ProcessesNamed("Gyrel.scr").size(), 2u);

    sheet_.SelectPage(kAbout);
    HWND about = sheet_.Preview(kAbout);
    ASSERT_NE(about, nullptr);
    EXPECT_NE(driver::WindowProcess(about), driver::WindowProcess(options));
    EXPECT_NE(driver::WindowProcess(about), sheet_.Process().Id());
    EXPECT_EQ(driver::ProcessesNamed("Gyrel.scr").size(), 3u);
    sheet_.SelectPage(kOptions);
    sheet_.SelectPage(kAbout);
    EXPECT_EQ(sheet_.Preview(kAbout), about);
    EXPECT_EQ(driver::ProcessesNamed("Gyrel.scr").size(), 3u);
}

TEST_F(SheetPreviews, ClosingTheSheetEndsEveryPreview) {
    enum Close { Ok, Cancel, CloseBox };
    for (Close close : {Ok, Cancel, CloseBox}) {
        SCOPED_TRACE(close == Ok ? "OK" : close == Cancel ? "Cancel" : "close box");
        for (bool aboutShown : {false, true}) {
            SheetSession sheet;
            ASSERT_TRUE(sheet.Open("/c"));
            if (aboutShown) sheet.SelectPage(kAbout);
            std::vector<HANDLE> previews;
            for (int page : {kOptions, kAbout}) {
                if (sheet.Page(page) == nullptr) continue;
                HWND preview = sheet.Preview(page);
                ASSERT_NE(preview, nullptr);
                previews.push_back(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                               FALSE, driver::WindowProcess(preview)));
            }
            ASSERT_EQ(previews.size(), aboutShown ? 2u : 1u);
            ASSERT_TRUE(close == CloseBox ? sheet.CloseWithCloseBox() : sheet.CloseWith(
                                                close == Ok ? driver::kOkButton
                                                            : driver::kCancelButton));
            EXPECT_EQ(sheet.Process().ExitCode(), 0u);
            for (HANDLE preview : previews) {
                EXPECT_EQ(WaitForSingleObject(preview, 10000), WAIT_OBJECT_0);
                DWORD code = STILL_ACTIVE;
                GetExitCodeProcess(preview, &code);
                EXPECT_EQ(code, 0u);
                CloseHandle(preview);
            }
            EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
        }
    }
}

struct CountStep {
    const char* what;
    int select;  // page to select, or -1 to click the box
    int32_t options;
    int32_t about;  // -1 while the About page does not exist
};

void FollowCounts(SheetSession& sheet, const std::vector<CountStep>& steps) {
    for (const CountStep& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.select >= 0) {
            sheet.SelectPage(step.select);
        } else if (step.select == -1) {
            sheet.Click(sheet.Control(kOptions, IDC_DISABLE_ACTIVE));
        }
        HWND options = sheet.Preview(kOptions);
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(ReadCount(options), step.options);
        if (step.about >= 0) {
            HWND about = sheet.Preview(kAbout);
            ASSERT_NE(about, nullptr);
            EXPECT_EQ(ReadCount(about), step.about);
        }
    }
}

// Needs the preview's effect window, which answers the suspend and resume
// messages with the counts of its draw worker.
using SheetPreviewCounts = SheetPreviews;

TEST_F(SheetPreviewCounts, FollowPagesAndTheBoxWhenActive) {
    ASSERT_TRUE(sheet_.Open("/c"));
    FollowCounts(sheet_, {
                             {"opened", -2, 0, -1},
                             {"About shown", kAbout, 2, 0},
                             {"Options shown", kOptions, 0, 2},
                             {"box checked", -1, 1, 2},
                             {"About shown after the box", kAbout, 3, 1},
                             {"Options shown after the box", kOptions, 1, 3},
                             {"box cleared", -1, 0, 3},
                             {"About shown from 3", kAbout, 2, 0},
                         });
}

TEST_F(SheetPreviewCounts, FollowPagesWhenInactive) {
    driver::StoreValue("ActiveConfig", "0");
    ASSERT_TRUE(sheet_.Open("/c"));
    FollowCounts(sheet_, {
                             {"opened", -2, 1, -1},
                             {"About shown", kAbout, 3, 1},
                             {"Options shown", kOptions, 1, 3},
                             {"box cleared", -1, 0, 3},
                             {"About shown from 3", kAbout, 2, 0},
                             {"Options shown", kOptions, 0, 2},
                             {"box checked", -1, 1, 2},
                             {"About shown from 2", kAbout, 3, 1},
                         });
}

TEST_F(SheetPreviews, AModuleUnderALongPathWithBlanksStartsItsPreview) {
    // Over 255 characters in all, with blanks that the preview's command
    // line must quote.
    std::string directory = "C:\\gyrel tests\\long path";
    while (directory.size() < 240) directory += "\\a directory of the long path";
    directory.resize(246);
    if (directory.back() == ' ' || directory.back() == '\\') directory.back() = 'x';
    std::string module = driver::CopyModuleTo(directory, "Gyrel.scr");
    ASSERT_FALSE(module.empty());
    ASSERT_GT(module.size(), 255u);

    ASSERT_TRUE(sheet_.Open("/c", module));
    HWND preview = sheet_.Preview(kOptions);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(ImagePath(driver::WindowProcess(preview)), module);
    ASSERT_TRUE(sheet_.CloseWith(driver::kCancelButton));
}

TEST_F(SheetPreviewCounts, OnlyTheShownPagesPreviewDrawsAndOnlyWhileActive) {
    // Unbudgeted, so that a drawing preview shows unmistakably.
    driver::StoreValue("StepsPerSecond", "0");
    ASSERT_TRUE(sheet_.Open("/c"));
    DWORD options = driver::WindowProcess(sheet_.Preview(kOptions));
    EXPECT_GT(DrawingOverHalfASecond(options), 100);
    sheet_.SelectPage(kAbout);
    DWORD about = driver::WindowProcess(sheet_.Preview(kAbout));
    EXPECT_LT(DrawingOverHalfASecond(options), 50);
    EXPECT_GT(DrawingOverHalfASecond(about), 100);
    sheet_.SelectPage(kOptions);
    sheet_.Click(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE));
    EXPECT_LT(DrawingOverHalfASecond(options), 50);
    EXPECT_LT(DrawingOverHalfASecond(about), 50);
    sheet_.Click(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE));
    EXPECT_GT(DrawingOverHalfASecond(options), 100);
}

}  // namespace
