// The Options sheet of the real module, with the driver as its user: what the
// fields show, how typed and pasted text is taken, and what reaches
// CONTROL.INI on Apply, OK and Cancel.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

using driver::SheetSession;
using driver::StoredValue;
using driver::StoreValue;

constexpr int kOptions = 0;
constexpr int kAbout = 1;

const char* const kKeys[] = {"MaxBkColour", "ColChangePer", "DeltaTheta",   "Gradient",
                             "Randomness",  "Resolution",   "ActiveConfig"};

class OptionsSheet : public ::testing::Test {
protected:
    void SetUp() override { driver::ClearSection(); }
    void TearDown() override {
        if (sheet_.Process().Running()) {
            EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
        }
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000))
            << "a module process was left";
    }

    HWND Field(int row) { return sheet_.Control(kOptions, IDC_FIRST_EDIT + row); }
    std::string FieldText(int row) { return driver::WindowText(Field(row)); }
    std::vector<std::string> AllFields() {
        std::vector<std::string> texts;
        for (int row = 0; row < 6; ++row) texts.push_back(FieldText(row));
        return texts;
    }
    bool BoxChecked() {
        return SendMessageA(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
    }
    bool ApplyEnabled() { return IsWindowEnabled(sheet_.SheetButton(driver::kApplyButton)); }
    // The selection of an edit field as (start, end).
    static std::pair<int, int> Selection(HWND edit) {
        DWORD both = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
        return {LOWORD(both), HIWORD(both)};
    }

    SheetSession sheet_;
};

using Texts = std::vector<std::string>;

TEST_F(OptionsSheet, OpensWithTitleAndBothPages) {
    for (const char* arguments : {"/c", ""}) {
        SCOPED_TRACE(std::string("arguments \"") + arguments + "\"");
        SheetSession sheet;
        ASSERT_TRUE(sheet.Open(arguments));
        char title[64] = "";
        GetWindowTextA(sheet.Sheet(), title, sizeof title);
        EXPECT_STREQ(title, "Options for Gyrel");
        HWND tabs = FindWindowExA(sheet.Sheet(), nullptr, WC_TABCONTROLA, nullptr);
        EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(driver::WindowText(sheet.Page(kOptions)), "Options");
        // The About page exists only once it has been shown.
        EXPECT_EQ(sheet.Page(kAbout), nullptr);
        sheet.SelectPage(kAbout);
        ASSERT_NE(sheet.Page(kAbout), nullptr);
        EXPECT_EQ(driver::WindowText(sheet.Page(kAbout)), "About");
        EXPECT_EQ(driver::WindowText(sheet.Control(kAbout, IDC_ABOUT_TITLE)),
                  "\"Gyrel\" Screen Saver");
        EXPECT_TRUE(sheet.CloseWith(driver::kCancelButton));
        EXPECT_EQ(sheet.Process().ExitCode(), 0u);
    }
}

TEST_F(OptionsSheet, IsModalToTheDisplayPanelWindowItIsGiven) {
    HWND panel = driver::CreateDriverWindow("Display Properties", 400, 300);
    const std::string handle = std::to_string(reinterpret_cast<UINT_PTR>(panel));
    const struct {
        std::string arguments;
        bool modalToPanel;
    } cases[] = {{"/c:" + handle, true}, {"-C:" + handle + " x", true}, {"/c", false},
                 {"/c " + handle, false}, {"/c:", false}, {"/c:12345", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        SheetSession sheet;
        ASSERT_TRUE(sheet.Open(c.arguments));
        HWND owner = GetWindow(sheet.Sheet(), GW_OWNER);
        EXPECT_EQ(owner == panel, c.modalToPanel);
        EXPECT_NE(owner, nullptr) << "the sheet always has an owner";
        EXPECT_EQ(IsWindowEnabled(panel) == FALSE, c.modalToPanel);
        ASSERT_TRUE(sheet.CloseWith(driver::kCancelButton));
        EXPECT_EQ(sheet.Process().ExitCode(), 0u);
        driver::PumpMessagesFor(50);
        EXPECT_TRUE(IsWindowEnabled(panel));
    }
    DestroyWindow(panel);
}

TEST_F(OptionsSheet, FieldsShowStoredValuesOrDefaults) {
    {
        ASSERT_TRUE(sheet_.Open("/c"));
        EXPECT_EQ(AllFields(), (Texts{"225", "5", "94", "8", "0", "10"}));
        EXPECT_FALSE(BoxChecked());
        EXPECT_TRUE(ApplyEnabled());
        ASSERT_TRUE(sheet_.CloseWith(driver::kCancelButton));
    }
    StoreValue("MaxBkColour", "100");
    StoreValue("ColChangePer", "7");
    StoreValue("DeltaTheta", "95");
    StoreValue("Gradient", "3");
    StoreValue("Randomness", "2");
    StoreValue("Resolution", "20");
    StoreValue("ActiveConfig", "0");
    SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c"));
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(driver::WindowText(sheet.Control(kOptions, IDC_FIRST_EDIT + row)),
                  (Texts{"100", "7", "95", "3", "2", "20"})[row]);
    }
    EXPECT_EQ(SendMessageA(sheet.Control(kOptions, IDC_DISABLE_ACTIVE), BM_GETCHECK, 0, 0),
              BST_CHECKED);
    // Each up-down control's range is its row's.
    const std::pair<int, int> ranges[] = {{0, 255}, {1, 50}, {0, 255}, {0, 20}, {0, 5}, {0, 50}};
    for (int row = 0; row < 6; ++row) {
        DWORD range = static_cast<DWORD>(
            SendMessageA(sheet.Control(kOptions, IDC_FIRST_UPDOWN + row), UDM_GETRANGE, 0, 0));
        EXPECT_EQ(static_cast<int>(HIWORD(range)), ranges[row].first) << "row " << row;
        EXPECT_EQ(static_cast<int>(LOWORD(range)), ranges[row].second) << "row " << row;
    }
    EXPECT_TRUE(sheet.CloseWith(driver::kCancelButton));
}

TEST_F(OptionsSheet, StoredValuesOutOfRangeShowAndApplyTheNearestBound) {
    StoreValue("ColChangePer", "0");
    StoreValue("MaxBkColour", "300");
    StoreValue("Resolution", "65541");  // would be 5 if cut to 16 bits
    StoreValue("Gradient", "-2147483648");
    ASSERT_TRUE(sheet_.Open("/c"));
    EXPECT_EQ(AllFields(), (Texts{"255", "1", "94", "0", "0", "50"}));
    ASSERT_TRUE(sheet_.CloseWith(driver::kOkButton));
    EXPECT_EQ(StoredValue("ColChangePer"), "1");
    EXPECT_EQ(StoredValue("MaxBkColour"), "255");
    EXPECT_EQ(StoredValue("Resolution"), "50");
    EXPECT_EQ(StoredValue("Gradient"), "0");
}

TEST_F(OptionsSheet, TypedAndPastedTextIsClampedOrIgnored) {
    StoreValue("Randomness", "3");
    StoreValue("Resolution", "20");
    StoreValue("DeltaTheta", "100");
    ASSERT_TRUE(sheet_.Open("/c"));

    // 3, then 30, then 300: replaced by the maximum, wholly selected.
    sheet_.TypeInto(Field(0), "300");
    EXPECT_EQ(FieldText(0), "255");
    EXPECT_EQ(Selection(Field(0)), std::make_pair(0, 3));

    ASSERT_TRUE(sheet_.PasteInto(Field(1), "-3"));
    EXPECT_EQ(FieldText(1), "1");
    EXPECT_EQ(Selection(Field(1)), std::make_pair(0, 1));

    // A number followed by letters is taken and the text left as typed.
    sheet_.TypeInto(Field(3), "12ab");
    EXPECT_EQ(FieldText(3), "12ab");

    // Texts that start with no number change nothing.
    sheet_.TypeInto(Field(4), "abc");
    EXPECT_EQ(FieldText(4), "abc");
    sheet_.TypeInto(Field(5), "");
    EXPECT_EQ(FieldText(5), "");
    sheet_.TypeInto(Field(2), "-");
    EXPECT_EQ(FieldText(2), "-");
    sheet_.TypeInto(Field(2), "  +");
    EXPECT_EQ(FieldText(2), "  +");

    ASSERT_TRUE(ApplyEnabled());
    sheet_.Click(sheet_.SheetButton(driver::kApplyButton));
    EXPECT_EQ(StoredValue("MaxBkColour"), "255");
    EXPECT_EQ(StoredValue("ColChangePer"), "1");
    EXPECT_EQ(StoredValue("Gradient"), "12");
    EXPECT_EQ(StoredValue("Randomness"), "3");
    EXPECT_EQ(StoredValue("Resolution"), "20");
    EXPECT_EQ(StoredValue("DeltaTheta"), "100");
    EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
}

TEST_F(OptionsSheet, ApplyWritesAllSevenKeysAndKeepsTheSheetOpen) {
    ASSERT_TRUE(sheet_.Open("/c"));
    sheet_.Click(sheet_.SheetButton(driver::kApplyButton));
    EXPECT_TRUE(IsWindow(sheet_.Sheet()));
    EXPECT_TRUE(sheet_.Process().Running());
    const char* expected[] = {"225", "5", "94", "8", "0", "10", "1"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(StoredValue(kKeys[i]), expected[i]) << kKeys[i];
    EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
}

TEST_F(OptionsSheet, CancelAndTheCloseBoxLeaveControlIniByteForByte) {
    StoreValue("MaxBkColour", "17");
    StoreValue("Gradient", "4");
    const std::string before = driver::ReadWholeFile(driver::ControlIniPath());
    ASSERT_FALSE(before.empty());
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel");
        SheetSession sheet;
        ASSERT_TRUE(sheet.Open("/c"));
        sheet.TypeInto(sheet.Control(kOptions, IDC_FIRST_EDIT + 0), "99");
        sheet.Click(sheet.Control(kOptions, IDC_DEFAULT));
        sheet.Click(sheet.Control(kOptions, IDC_DISABLE_ACTIVE));
        sheet.SelectPage(kAbout);
        ASSERT_TRUE(closeBox ? sheet.CloseWithCloseBox() : sheet.CloseWith(driver::kCancelButton));
        EXPECT_EQ(sheet.Process().ExitCode(), 0u);
        EXPECT_EQ(driver::ReadWholeFile(driver::ControlIniPath()), before);
    }
}

TEST_F(OptionsSheet, ApplyThenCancelKeepsTheAppliedValues) {
    ASSERT_TRUE(sheet_.Open("/c"));
    sheet_.TypeInto(Field(0), "50");
    sheet_.Click(sheet_.SheetButton(driver::kApplyButton));
    sheet_.TypeInto(Field(0), "60");
    sheet_.TypeInto(Field(3), "2");
    ASSERT_TRUE(sheet_.CloseWith(driver::kCancelButton));
    EXPECT_EQ(StoredValue("MaxBkColour"), "50");
    EXPECT_EQ(StoredValue("Gradient"), "8");
}

TEST_F(OptionsSheet, DefaultRestoresTheSixValuesAndLeavesTheBox) {
    StoreValue("MaxBkColour", "1");
    StoreValue("ColChangePer", "2");
    StoreValue("DeltaTheta", "3");
    StoreValue("Gradient", "4");
    StoreValue("Randomness", "5");
    StoreValue("Resolution", "6");
    StoreValue("ActiveConfig", "0");
    ASSERT_TRUE(sheet_.Open("/c"));
    ASSERT_TRUE(BoxChecked());
    sheet_.Click(sheet_.Control(kOptions, IDC_DEFAULT));
    EXPECT_EQ(AllFields(), (Texts{"225", "5", "94", "8", "0", "10"}));
    EXPECT_TRUE(BoxChecked());
    EXPECT_TRUE(ApplyEnabled());
    ASSERT_TRUE(sheet_.CloseWith(driver::kOkButton));
    const char* expected[] = {"225", "5", "94", "8", "0", "10", "0"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(StoredValue(kKeys[i]), expected[i]) << kKeys[i];
}

TEST_F(OptionsSheet, TheBoxSwitchesActiveConfig) {
    ASSERT_TRUE(sheet_.Open("/c"));
    sheet_.Click(sheet_.Control(kOptions, IDC_DISABLE_ACTIVE));
    EXPECT_TRUE(BoxChecked());
    ASSERT_TRUE(sheet_.CloseWith(driver::kOkButton));
    EXPECT_EQ(StoredValue("ActiveConfig"), "0");

    SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c"));
    HWND box = sheet.Control(kOptions, IDC_DISABLE_ACTIVE);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    sheet.Click(box);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ASSERT_TRUE(sheet.CloseWith(driver::kOkButton));
    EXPECT_EQ(StoredValue("ActiveConfig"), "1");

    // Any non-zero value counts as active.
    StoreValue("ActiveConfig", "7");
    SheetSession third;
    ASSERT_TRUE(third.Open("/c"));
    EXPECT_EQ(SendMessageA(third.Control(kOptions, IDC_DISABLE_ACTIVE), BM_GETCHECK, 0, 0),
              BST_UNCHECKED);
    EXPECT_TRUE(third.CloseWith(driver::kCancelButton));
}

}  // namespace
