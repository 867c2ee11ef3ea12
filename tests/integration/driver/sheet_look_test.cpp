// The settings sheet on today's desktops: laid out in physical pixels at
// 100% and 150% scale, and drawn with the visual-styles controls (Common
// Controls 6).
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

using driver::SheetSession;

constexpr int kMonitorWidth = 184;
constexpr int kMonitorHeight = 170;

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class SheetLook : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000))
            << "a module process was left";
    }
};

TEST_F(SheetLook, TheMonitorSitsCentredFourUnitsDownAndClearOfTheControlsAtEachScale) {
    // Four eighths of the height in the sheet's process's GetDialogBaseUnits,
    // which under Wine is 16 at 96 dots per inch and 36 at 144.
    const struct {
        DWORD dotsPerInch;
        int top;
    } cases[] = {{96, 8}, {144, 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dotsPerInch);
        driver::DesktopScale scale(c.dotsPerInch);
        SheetSession sheet;
        ASSERT_TRUE(sheet.Open("/c"));
        sheet.SelectPage(1);
        for (int index : {0, 1}) {
            SCOPED_TRACE(index == 0 ? "Options" : "About");
            HWND page = sheet.Page(index);
            HWND monitor = GetWindow(page, GW_CHILD);
            ASSERT_EQ(GetDlgCtrlID(monitor), IDC_MONITOR);
            RECT client{};
            GetClientRect(page, &client);
            const RECT placed = RectInParent(monitor);
            EXPECT_EQ(placed.left, (client.right - kMonitorWidth) / 2);
            EXPECT_EQ(placed.top, c.top);
            EXPECT_EQ(placed.right - placed.left, kMonitorWidth);
            EXPECT_EQ(placed.bottom - placed.top, kMonitorHeight);
            for (HWND other = GetWindow(monitor, GW_HWNDNEXT); other != nullptr;
                 other = GetWindow(other, GW_HWNDNEXT)) {
                RECT rect = RectInParent(other), overlap{};
                EXPECT_FALSE(IntersectRect(&overlap, &placed, &rect))
                    << "control " << GetDlgCtrlID(other) << " at " << rect.left << "," << rect.top;
            }
        }
        EXPECT_TRUE(sheet.CloseWith(driver::kCancelButton));
    }
}

TEST_F(SheetLook, TheSheetRunsOnCommonControlsSix) {
    SheetSession sheet;
    ASSERT_TRUE(sheet.Open("/c"));
    std::string loaded;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, sheet.Process().Id());
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szModule, "comctl32.dll") == 0) loaded = entry.szExePath;
    }
    CloseHandle(snapshot);
    // The side-by-side assembly's folder, e.g. WinSxS\x86_microsoft.windows.
    // common-controls_6595b64144ccf1df_6.0.2600.2982_none_...; Wine's copy
    // there carries the same version resource as the one in system32.
    CharLowerA(&loaded[0]);
    EXPECT_NE(loaded.find("\\winsxs\\"), std::string::npos) << loaded;
    EXPECT_NE(loaded.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
        << loaded;
    EXPECT_TRUE(sheet.CloseWith(driver::kCancelButton));
}

}  // namespace
