// The password-change mode (/a) of the real module against doubles of the
// platform's MPR.DLL. Wine's own MPR.DLL exports the entry, so each case is
// set up through Wine's per-program DLL overrides for Gyrel.scr:
//   - the double: our MPR.DLL replaces the system directory's file and the
//     override "native" makes Wine load it instead of its built-in one;
//   - a library that cannot be loaded: the override "" disables MPR.DLL;
//   - a library without the entry: a second double, without
//     PwdChangePasswordA, in the system directory, loaded as "native".
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/integration/driver/driver_util.h"

namespace {

constexpr DWORD kFailure = 0xFFFFFFFF;

class ChangePassword : public ::testing::Test {
protected:
    void SetUp() override {
        driver::ResetDoubles();
        owner_ = driver::CreateDriverWindow("owner", 300, 200, WS_POPUP | WS_VISIBLE);
        SetForegroundWindow(owner_);
    }
    void TearDown() override {
        driver::ClearModuleDllOverrides();
        DestroyWindow(owner_);
        driver::ResetDoubles();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty()) << "a module process was left running";
    }

    std::string OwnerArgument() const {
        return "/a " + std::to_string(reinterpret_cast<UINT_PTR>(owner_));
    }

    // Runs /a, expects an "Error" box owned by `owner` with `text`, dismisses
    // it and returns the exit code.
    DWORD RunExpectingError(const std::string& arguments, HWND owner, const char* text) {
        driver::ModuleProcess process;
        if (!process.Start(arguments)) return 0xBAD;
        HWND box = driver::FindProcessWindow(process.Id(), "#32770");
        EXPECT_NE(box, nullptr);
        if (box != nullptr) {
            char title[64] = "";
            GetWindowTextA(box, title, sizeof title);
            EXPECT_STREQ(title, "Error");
            EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
            EXPECT_NE(driver::StaticTexts(box).find(text), std::string::npos)
                << driver::StaticTexts(box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        if (!process.WaitForExit(10000)) return STILL_ACTIVE;
        return process.ExitCode();
    }

    HWND owner_ = nullptr;
};

TEST_F(ChangePassword, CallsThePlatformEntryWithTheGivenWindow) {
    driver::SystemFileSwap mpr(driver::BuildFile("doubles/mpr/MPR.DLL"), "mpr.dll");
    ASSERT_TRUE(mpr.Installed());
    driver::SetModuleDllOverride("mpr", "native");

    EXPECT_EQ(driver::RunModule(OwnerArgument()), 0u);
    EXPECT_EQ(driver::DoubleNumber("ChangeCalls"), 1u);
    EXPECT_EQ(driver::DoubleText("ChangeProvider"), "SCRSAVE");
    EXPECT_EQ(driver::DoubleNumber("ChangeWindow"),
              static_cast<DWORD>(reinterpret_cast<UINT_PTR>(owner_)));
    EXPECT_EQ(driver::DoubleNumber("ChangeReserved", 99), 0u);

    // A user who cancels the change still ends the mode with 0.
    driver::SetDoubleNumber("ChangeResult", ERROR_CANCELLED);
    EXPECT_EQ(driver::RunModule(OwnerArgument()), 0u);
    EXPECT_EQ(driver::DoubleNumber("ChangeCalls"), 2u);
}

TEST_F(ChangePassword, WithoutAWindowTheForegroundWindowOwnsTheDialog) {
    driver::SystemFileSwap mpr(driver::BuildFile("doubles/mpr/MPR.DLL"), "mpr.dll");
    driver::SetModuleDllOverride("mpr", "native");
    HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, nullptr);
    EXPECT_EQ(driver::RunModule("/a"), 0u);
    EXPECT_EQ(driver::DoubleNumber("ChangeWindow"),
              static_cast<DWORD>(reinterpret_cast<UINT_PTR>(foreground)));
}

TEST_F(ChangePassword, ALibraryThatCannotBeLoadedIsReported) {
    driver::SetModuleDllOverride("mpr", "");
    EXPECT_EQ(RunExpectingError(OwnerArgument(), owner_, "Couldn't load MPR.DLL"), kFailure);
}

TEST_F(ChangePassword, ALibraryWithoutTheEntryIsReported) {
    driver::SystemFileSwap mpr(driver::BuildFile("doubles/mpr-noentry/MPR.DLL"), "mpr.dll");
    ASSERT_TRUE(mpr.Installed());
    driver::SetModuleDllOverride("mpr", "native");
    EXPECT_EQ(RunExpectingError("/a", GetForegroundWindow(), "Couldn't get PwdChangePassword"),
              kFailure);
    EXPECT_EQ(driver::DoubleNumber("ChangeCalls"), 0u);
}

}  // namespace
