// The Options sheet when its preview processes cannot be created.
//
// The module is copied to a directory of its own and started suspended; the
// copy is then moved away before the module runs a single instruction. The
// module still runs (its image is loaded), but the file name it reports for
// itself names no file any more, so starting a preview copy of itself fails
// exactly as it would on a system where the program cannot be started.
//
// The empty screen windows also let the driver put a stand-in preview where
// the sheet looks for one and watch what the pages send it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "effect/control_messages.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/fake_preview.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

using driver::FakePreview;
using driver::SheetSession;

constexpr int kOptions = 0;
constexpr int kAbout = 1;
constexpr char kDirectory[] = "C:\\gyrel-tests\\vanishing";

// Time in which the sheet opens or changes pages when nothing waits for a
// preview; far below the time a preview start is allowed.
constexpr DWORD kPromptMs = 8000;

using Parameters = std::vector<std::pair<int, int>>;

class SheetWithoutPreview : public ::testing::Test {
protected:
    void SetUp() override {
        driver::ClearSection();
        module_ = driver::CopyModuleTo(kDirectory, "Gyrel.scr");
        ASSERT_FALSE(module_.empty());
        moved_ = module_ + ".moved";
        DeleteFileA(moved_.c_str());
    }
    void TearDown() override {
        if (sheet_.Process().Running()) {
            EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
        }
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
    }

    // Opens the sheet of the copy, moved away before it runs; false when the
    // sheet does not open promptly.
    bool OpenWithoutPreviews(const std::string& arguments = "/c") {
        DWORD start = GetTickCount();
        bool open = sheet_.Open(arguments, module_, [this] {
            MoveFileExA(module_.c_str(), moved_.c_str(), MOVEFILE_REPLACE_EXISTING);
        });
        openingMs_ = GetTickCount() - start;
        return open;
    }

    HWND Monitor(int page) { return GetWindow(sheet_.Page(page), GW_CHILD); }
    HWND Screen(int page) { return sheet_.Screen(page); }
    HWND Field(int row) { return sheet_.Control(kOptions, IDC_FIRST_EDIT + row); }
    std::string FieldText(int row) { return driver::WindowText(Field(row)); }
    bool BoxChecked() {
        return SendMessageA(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
    }
    HWND CurrentPage() {
        return reinterpret_cast<HWND>(
            SendMessageA(sheet_.Sheet(), PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    // Selects a page and returns how long that took.
    DWORD TimedSelect(int page) {
        DWORD start = GetTickCount();
        sheet_.SelectPage(page);
        return GetTickCount() - start;
    }

    // Counts of (suspends, resumes) received since the last Forget.
    static std::pair<int, int> Sends(const FakePreview& preview) {
        std::pair<int, int> sends{0, 0};
        for (const driver::PreviewMessage& m : preview.Received()) {
            if (m.message == WM_SPIRAL_SUSPEND) ++sends.first;
            if (m.message == WM_SPIRAL_RESUME) ++sends.second;
        }
        return sends;
    }

    std::string module_;
    std::string moved_;
    DWORD openingMs_ = 0;
    SheetSession sheet_;
};

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST_F(SheetWithoutPreview, PagesDefaultAndTheBoxWorkAndNothingWaits) {
    // The module's own way of starting its preview fails for the moved copy.
    ASSERT_TRUE(OpenWithoutPreviews());
    std::string commandLine = "\"" + module_ + "\" /p 1";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_FALSE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process));

    EXPECT_LT(openingMs_, kPromptMs);
    EXPECT_EQ(driver::ProcessesNamed("Gyrel.scr").size(), 1u);

    // The monitor is the page's first child, centred and four system dialog
    // units below the top; the screen window lies over the picture's screen
    // and holds no preview.
    HWND page = sheet_.Page(kOptions);
    HWND monitor = Monitor(kOptions);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(GetDlgCtrlID(monitor), IDC_MONITOR);
    RECT pageClient{}, monitorRect{};
    GetClientRect(page, &pageClient);
    GetWindowRect(monitor, &monitorRect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&monitorRect), 2);
    EXPECT_EQ(monitorRect.left, (pageClient.right - 184) / 2);
    EXPECT_EQ(monitorRect.top, HIWORD(GetDialogBaseUnits()) * 4 / 8);
    EXPECT_EQ(monitorRect.right - monitorRect.left, 184);
    EXPECT_EQ(monitorRect.bottom - monitorRect.top, 170);
    HWND screen = Screen(kOptions);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDlgCtrlID(screen), IDC_SCREEN);
    char className[64] = "";
    GetClassNameA(screen, className, sizeof className);
    EXPECT_STREQ(className, "GyrelPrevScrWindow");
    RECT screenRect{};
    GetWindowRect(screen, &screenRect);
    MapWindowPoints(nullptr, monitor, reinterpret_cast<POINT*>(&screenRect), 2);
    EXPECT_EQ(screenRect.left, 16);
    EXPECT_EQ(screenRect.top, 17);
    EXPECT_EQ(screenRect.right, 168);
    EXPECT_EQ(screenRect.bottom, 129);
    EXPECT_EQ(GetWindow(screen, GW_CHILD), nullptr);

    // On the display: the desktop colour in the screen, the light-grey
    // casing, and around the stand the page's own background.
    driver::PumpMessagesFor(500);
    RECT onScreen{};
    GetWindowRect(monitor, &onScreen);
    const COLORREF background = ScreenPixel(onScreen.left - 4, onScreen.top + 160);
    EXPECT_EQ(ScreenPixel(onScreen.left + 92, onScreen.top + 73), GetSysColor(COLOR_BACKGROUND));
    EXPECT_EQ(ScreenPixel(onScreen.left + 6, onScreen.top + 6), RGB(192, 192, 192));
    EXPECT_EQ(ScreenPixel(onScreen.left + 10, onScreen.top + 160), background);
    EXPECT_EQ(ScreenPixel(onScreen.left + 175, onScreen.top + 169), background);
    EXPECT_NE(background, RGB(0, 0, 0));

    // Pages change at once; the About page has its own monitor, also empty.
    EXPECT_LT(TimedSelect(kAbout), kPromptMs);
    EXPECT_EQ(CurrentPage(), sheet_.Page(kAbout));
    ASSERT_NE(Screen(kAbout), nullptr);
    EXPECT_EQ(GetWindow(Screen(kAbout), GW_CHILD), nullptr);
    EXPECT_LT(TimedSelect(kOptions), kPromptMs);
    EXPECT_EQ(CurrentPage(), sheet_.Page(kOptions));

    sheet_.TypeInto(Field(0), "7");
    sheet_.Click(sheet_.Control(kOptions, IDC_DEFAULT));
    EXPECT_EQ(FieldText(0), "225");
    sheet_.Click(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE));
    EXPECT_TRUE(BoxChecked());
    ASSERT_TRUE(sheet_.CloseWith(driver::kOkButton));
    EXPECT_EQ(sheet_.Process().ExitCode(), 0u);
    EXPECT_EQ(driver::StoredValue("MaxBkColour"), "225");
    EXPECT_EQ(driver::StoredValue("ActiveConfig"), "0");
}

TEST_F(SheetWithoutPreview, OnlyTheOptionsPreviewReceivesAppliedValues) {
    driver::StoreValue("MaxBkColour", "1");
    driver::StoreValue("ColChangePer", "2");
    driver::StoreValue("DeltaTheta", "3");
    driver::StoreValue("Gradient", "4");
    driver::StoreValue("Randomness", "5");
    driver::StoreValue("Resolution", "6");
    ASSERT_TRUE(OpenWithoutPreviews());
    sheet_.SelectPage(kAbout);
    sheet_.SelectPage(kOptions);
    FakePreview options(Screen(kOptions), 0);
    FakePreview about(Screen(kAbout), 2);
    ASSERT_EQ(GetWindow(Screen(kOptions), GW_CHILD), options.Window());

    sheet_.TypeInto(Field(0), "300");
    EXPECT_EQ(options.Parameters(), (Parameters{{0, 3}, {0, 30}, {0, 255}}));
    options.Forget();
    ASSERT_TRUE(sheet_.PasteInto(Field(1), "-3"));
    EXPECT_EQ(options.Parameters(), (Parameters{{1, 1}}));
    options.Forget();
    sheet_.TypeInto(Field(3), "12ab");
    EXPECT_EQ(options.Parameters(), (Parameters{{3, 1}, {3, 12}, {3, 12}, {3, 12}}));
    options.Forget();
    sheet_.TypeInto(Field(4), "abc");
    sheet_.TypeInto(Field(5), "");
    sheet_.TypeInto(Field(2), " -");
    EXPECT_EQ(options.Parameters(), Parameters{});

    // Default applies each row, then shows it, which applies it again.
    sheet_.Click(sheet_.Control(kOptions, IDC_DEFAULT));
    EXPECT_EQ(options.Parameters(), (Parameters{{0, 225}, {1, 5}, {2, 94}, {3, 8}, {4, 0}, {5, 10},
                                                {0, 225}, {1, 5}, {2, 94}, {3, 8}, {4, 0}, {5, 10}}));
    // Values reach the preview only; they are not stored.
    EXPECT_EQ(driver::StoredValue("MaxBkColour"), "1");
    EXPECT_TRUE(about.Parameters().empty());
}

TEST_F(SheetWithoutPreview, PageChangesAndTheBoxDriveThePreviewCounts) {
    ASSERT_TRUE(OpenWithoutPreviews());
    sheet_.SelectPage(kAbout);
    sheet_.SelectPage(kOptions);
    // Stand-ins at the counts the pages' previews have now: Options shown
    // with ActiveConfig 1 (drawing, 0), About hidden (2).
    FakePreview options(Screen(kOptions), 0);
    FakePreview about(Screen(kAbout), 2);

    struct Step {
        const char* what;
        int select;       // page to select, or -1 to click the box
        int32_t options;  // expected counts afterwards
        int32_t about;
        std::pair<int, int> optionsSends;  // (suspends, resumes)
        std::pair<int, int> aboutSends;
    };
    const Step steps[] = {
        {"About shown", kAbout, 2, 0, {2, 0}, {0, 2}},
        {"Options shown", kOptions, 0, 2, {0, 2}, {2, 0}},
        {"box checked", -1, 1, 2, {1, 0}, {0, 0}},
        {"About shown, ActiveConfig 0", kAbout, 3, 1, {2, 0}, {0, 1}},
        {"Options shown, ActiveConfig 0", kOptions, 1, 3, {0, 2}, {2, 0}},
        {"box cleared", -1, 0, 3, {0, 1}, {0, 0}},
        {"About shown from 3", kAbout, 2, 0, {2, 0}, {0, 3}},
        {"Options shown again", kOptions, 0, 2, {0, 2}, {2, 0}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        options.Forget();
        about.Forget();
        if (step.select >= 0) {
            sheet_.SelectPage(step.select);
        } else {
            sheet_.Click(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE));
        }
        EXPECT_EQ(options.Count(), step.options);
        EXPECT_EQ(about.Count(), step.about);
        EXPECT_EQ(Sends(options), step.optionsSends);
        EXPECT_EQ(Sends(about), step.aboutSends);
    }
}

TEST_F(SheetWithoutPreview, APreviewThatNeverCountsDoesNotHoldTheSheet) {
    ASSERT_TRUE(OpenWithoutPreviews());
    FakePreview options(Screen(kOptions), 0);
    options.AnswerSuspendWithZero();
    EXPECT_LT(TimedSelect(kAbout), kPromptMs);
    EXPECT_EQ(CurrentPage(), sheet_.Page(kAbout));
    EXPECT_GT(Sends(options).first, 1);
    EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
}

// A preview that answers late: "Default" waits about half a second for its
// first change and no longer, every change still reaches it in order, and
// once it has caught up the sheet waits for it again.
TEST_F(SheetWithoutPreview, ALatePreviewCostsAClickHalfASecondAndLosesNothing) {
    ASSERT_TRUE(OpenWithoutPreviews());
    FakePreview options(Screen(kOptions), 0);
    HWND defaultButton = sheet_.Control(kOptions, IDC_DEFAULT);
    // The fields show the defaults already, so showing them again applies
    // nothing more.
    const Parameters defaults = {{0, 225}, {1, 5}, {2, 94}, {3, 8}, {4, 0}, {5, 10}};
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        options.Forget();
        // The stand-in answers on this thread, so it is late while this
        // thread sleeps; another thread clicks meanwhile.
        DWORD clickMs = 0;
        std::thread click([&] {
            const DWORD start = GetTickCount();
            sheet_.Click(defaultButton);
            clickMs = GetTickCount() - start;
        });
        Sleep(1500);
        click.join();
        for (DWORD start = GetTickCount();
             options.Parameters().size() < defaults.size() && GetTickCount() - start < 5000;) {
            driver::PumpMessagesFor(10);
        }
        EXPECT_GE(clickMs, 400u) << "the sheet did not wait for the preview";
        EXPECT_LT(clickMs, 1000u);
        EXPECT_EQ(options.Parameters(), defaults);
    }
    EXPECT_TRUE(sheet_.CloseWith(driver::kOkButton));
}

}  // namespace
