// The full-screen saver's dismissal rules, grace period and password check,
// on the real module (posted messages play the platform's input) and on the
// rules themselves linked into the driver (registry values and the system
// directory's PASSWORD.CPL, a double of ours).
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "framework/host.h"
#include "framework/password.h"
#include "tests/integration/driver/driver_util.h"

namespace {

using driver::DoubleNumber;
using driver::DoubleText;

// A saver process under test, with its window.
struct RunningSaver {
    driver::ModuleProcess process;
    HWND window = nullptr;

    bool Start(const std::string& arguments = "/s") {
        if (!process.Start(arguments)) return false;
        process.WaitForIdle(10000);
        window = driver::FindProcessWindow(process.Id(), "GyrelClass");
        return window != nullptr;
    }
    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window, message, wParam, lParam);
    }
    // True when the saver is still running after the given time.
    bool Survives(DWORD milliseconds) { return !process.WaitForExit(milliseconds); }
    bool EndsWithZero() { return process.WaitForExit(10000) && process.ExitCode() == 0; }
};

LPARAM ClientPoint(POINT p) { return MAKELPARAM(p.x, p.y); }

class Dismissal : public ::testing::Test {
protected:
    void SetUp() override {
        driver::ResetDoubles();
        driver::DeleteDesktopValue("ScreenSaveTimeout");
        driver::DeleteDesktopValue("ScreenSaveUsePassword");
    }
    void TearDown() override {
        driver::DeleteDesktopValue("ScreenSaveTimeout");
        driver::DeleteDesktopValue("ScreenSaveUsePassword");
        driver::ResetDoubles();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty()) << "a module process was left running";
    }

    static void RequirePassword(const char* timeout) {
        driver::SetDesktopText("ScreenSaveTimeout", timeout);
        DWORD one = 1;
        driver::SetDesktopValue("ScreenSaveUsePassword", REG_DWORD, &one, sizeof one);
    }

    driver::SystemFileSwap passwordCpl_{driver::BuildFile("doubles/system/PASSWORD.CPL"),
                                        "PASSWORD.CPL"};
};

TEST_F(Dismissal, InputThatDoesNotEndTheSaver) {
    POINT baseline{};
    GetCursorPos(&baseline);
    RunningSaver saver;
    ASSERT_TRUE(saver.Start());
    // The saver's window starts at the screen's origin: client = screen.
    saver.Post(WM_KEYUP, 'A', 0xC0000001);
    saver.Post(WM_CHAR, 'a', 1);
    saver.Post(WM_SYSKEYUP, VK_MENU, 0xC0000001);
    saver.Post(WM_LBUTTONUP, 0, ClientPoint(baseline));
    saver.Post(WM_RBUTTONUP, 0, ClientPoint(baseline));
    saver.Post(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), ClientPoint(baseline));
    saver.Post(WM_MOUSEMOVE, 0, ClientPoint(baseline));
    saver.Post(WM_ACTIVATE, WA_ACTIVE, 0);
    saver.Post(WM_ACTIVATE, WA_CLICKACTIVE, 0);
    saver.Post(WM_ACTIVATEAPP, TRUE, 0);
    saver.Post(WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    saver.Post(WM_SYSCOMMAND, SC_SCREENSAVE | 0xF, 0);
    EXPECT_TRUE(saver.Survives(1500));

    POINT away{baseline.x + 1, baseline.y};
    saver.Post(WM_MOUSEMOVE, 0, ClientPoint(away));
    EXPECT_TRUE(saver.EndsWithZero());
}

TEST_F(Dismissal, EachDismissalEventEndsTheSaver) {
    struct Event {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    const Event events[] = {
        {"key down", WM_KEYDOWN, 'A'},           {"system key down", WM_SYSKEYDOWN, VK_MENU},
        {"left button", WM_LBUTTONDOWN, 0},      {"right button", WM_RBUTTONDOWN, 0},
        {"middle button", WM_MBUTTONDOWN, 0},    {"deactivation", WM_ACTIVATE, WA_INACTIVE},
        {"other application", WM_ACTIVATEAPP, 0}, {"close command", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Event& event : events) {
        RunningSaver saver;
        ASSERT_TRUE(saver.Start()) << event.name;
        saver.Post(event.message, event.wParam, 0);
        EXPECT_TRUE(saver.EndsWithZero()) << event.name;
    }
}

TEST_F(Dismissal, NoCheckDuringTheGracePeriod) {
    for (const char* timeout : {"60", "-5"}) {
        driver::ResetDoubles();
        RequirePassword(timeout);
        RunningSaver saver;
        ASSERT_TRUE(saver.Start());
        Sleep(2200);  // a negative period moves away from zero as it ticks
        saver.Post(WM_KEYDOWN, 'A', 0);
        EXPECT_TRUE(saver.EndsWithZero()) << timeout;
        EXPECT_EQ(DoubleNumber("VerifyCalls"), 0u) << timeout;
    }
}

TEST_F(Dismissal, RefusedPasswordKeepsTheSaverAndAsksAgain) {
    RequirePassword("0");
    RunningSaver saver;
    ASSERT_TRUE(saver.Start());
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.Survives(1500));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 1u);
    EXPECT_EQ(DoubleText("VerifyWindowClass"), "GyrelClass");
    EXPECT_EQ(DoubleText("VerifyCaller"), "system");

    saver.Post(WM_LBUTTONDOWN, 0, 0);
    EXPECT_TRUE(saver.Survives(1500));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 2u);

    driver::SetDoubleNumber("VerifyAnswer", 1);
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.EndsWithZero());
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 3u);
}

TEST_F(Dismissal, DeactivationWhileTheDialogIsUpDoesNotAskAgain) {
    RequirePassword("0");
    driver::SetDoubleNumber("VerifyDeactivate", 1);
    RunningSaver saver;
    ASSERT_TRUE(saver.Start());
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.Survives(2000));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 1u);

    // Losing activation at any other time asks (and is refused again).
    driver::SetDoubleNumber("VerifyDeactivate", 0);
    saver.Post(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(saver.Survives(1500));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 2u);
    saver.process.Kill();
}

TEST_F(Dismissal, ClosesQueuedDuringARefusedCheckDoNotAskAgain) {
    RequirePassword("0");
    driver::SetDoubleNumber("VerifyQueueCloses", 3);
    driver::SetDoubleNumber("VerifyDeactivate", 1);
    RunningSaver saver;
    ASSERT_TRUE(saver.Start());
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.Survives(2500));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 1u) << "one verification at a time";

    driver::SetDoubleNumber("VerifyDeactivate", 0);
    driver::SetDoubleNumber("VerifyAnswer", 1);
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.EndsWithZero());
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 2u);
}

TEST_F(Dismissal, PointerBaselineIsTakenAgainAfterTheCheck) {
    RequirePassword("0");
    driver::SetDoubleNumber("VerifyCursorX", 200);
    driver::SetDoubleNumber("VerifyCursorY", 150);
    RunningSaver saver;
    ASSERT_TRUE(saver.Start());
    saver.Post(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(saver.Survives(1500));
    ASSERT_EQ(DoubleNumber("VerifyCalls"), 1u);

    saver.Post(WM_MOUSEMOVE, 0, MAKELPARAM(200, 150));
    EXPECT_TRUE(saver.Survives(1000));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 1u);

    saver.Post(WM_MOUSEMOVE, 0, MAKELPARAM(201, 150));
    EXPECT_TRUE(saver.Survives(1000));
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 2u);
    saver.process.Kill();
}

TEST_F(Dismissal, APlantedPasswordLibraryBesideTheModuleIsNotUsed) {
    // A copy of the module in a directory of its own, with a PASSWORD.CPL
    // beside it that would let anyone in; it is also the current directory.
    const std::string directory = "C:\\gyrel-planted";
    CreateDirectoryA(directory.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(driver::ModulePath().c_str(), (directory + "\\Gyrel.scr").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(driver::BuildFile("doubles/planted/PASSWORD.CPL").c_str(),
                          (directory + "\\PASSWORD.CPL").c_str(), FALSE));
    RequirePassword("0");

    std::string commandLine = "\"" + directory + "\\Gyrel.scr\" /s";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               directory.c_str(), &startup, &info));
    HWND window = driver::FindProcessWindow(info.dwProcessId, "GyrelClass");
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    driver::PumpMessagesFor(1500);
    EXPECT_EQ(DoubleText("VerifyCaller"), "system");
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    DeleteFileA((directory + "\\Gyrel.scr").c_str());
    DeleteFileA((directory + "\\PASSWORD.CPL").c_str());
    RemoveDirectoryA(directory.c_str());
}

// The rules linked into the driver, against the same registry and double.
class PasswordRules : public Dismissal {
protected:
    void SetUp() override {
        Dismissal::SetUp();
        window_ = driver::CreateDriverWindow("grace", 100, 100, WS_POPUP);
    }
    void TearDown() override {
        KillTimer(window_, TIMER_GRACE);
        DestroyWindow(window_);
        Dismissal::TearDown();
    }
    int32_t GraceFor(const void* data, DWORD size, DWORD type = REG_SZ) {
        driver::SetDesktopValue("ScreenSaveTimeout", type, data, size);
        g_graceSeconds = 12345;
        ReadGracePeriod(window_);
        return g_graceSeconds;
    }
    int32_t GraceForText(const char* text) {
        return GraceFor(text, static_cast<DWORD>(lstrlenA(text) + 1));
    }
    HWND window_ = nullptr;
};

TEST_F(PasswordRules, GracePeriodFromScreenSaveTimeout) {
    g_graceSeconds = 12345;
    ReadGracePeriod(window_);
    EXPECT_EQ(g_graceSeconds, 60) << "missing";
    EXPECT_EQ(GraceForText("abc"), 60);
    EXPECT_EQ(GraceForText(" 120"), 120);
    EXPECT_EQ(GraceForText("12ab"), 12);
    EXPECT_EQ(GraceForText("-5"), -5);
    EXPECT_EQ(GraceForText("0"), 0);
    EXPECT_EQ(GraceForText(""), 60);
    // Ten bytes of digits with no terminator fill the buffer: a number past
    // the 32-bit range saturates instead of overflowing. (Binary data, since
    // the value's type is not looked at and text values gain a terminator.)
    EXPECT_EQ(GraceFor("9999999999", 10, REG_BINARY), INT32_MAX);
    EXPECT_EQ(GraceFor("-999999999", 10, REG_BINARY), -999999999);
    // Longer data cannot be read at all.
    EXPECT_EQ(GraceForText("12345678901"), 60);
}

TEST_F(PasswordRules, GraceTicksTowardZeroAndNeverWrap) {
    g_graceSeconds = 2;
    GraceTick(window_);
    EXPECT_EQ(g_graceSeconds, 1);
    GraceTick(window_);
    GraceTick(window_);
    EXPECT_EQ(g_graceSeconds, 0);
    g_graceSeconds = INT32_MIN;
    GraceTick(window_);
    EXPECT_EQ(g_graceSeconds, INT32_MIN);
}

TEST_F(PasswordRules, ScreenSaveUsePasswordDecidesWhetherToAsk) {
    g_graceSeconds = 0;
    struct Case {
        const char* name;
        std::string bytes;  // empty: value missing
        DWORD type;
        bool asks;
    };
    const Case cases[] = {
        {"missing", "", REG_DWORD, false},
        {"zero", std::string("\0\0\0\0", 4), REG_DWORD, false},
        {"longer than four bytes", std::string("\1\0\0\0\0", 5), REG_BINARY, false},
        {"one in the first byte", std::string("\1\0\0\0", 4), REG_BINARY, true},
        {"a single byte", std::string("\1", 1), REG_BINARY, true},
    };
    for (const Case& c : cases) {
        driver::ResetDoubles();
        driver::SetDoubleNumber("VerifyAnswer", 0);
        if (c.bytes.empty()) {
            driver::DeleteDesktopValue("ScreenSaveUsePassword");
        } else {
            driver::SetDesktopValue("ScreenSaveUsePassword", c.type, c.bytes.data(),
                                    static_cast<DWORD>(c.bytes.size()));
        }
        BOOL mayClose = CheckPassword();
        EXPECT_EQ(mayClose, c.asks ? FALSE : TRUE) << c.name;
        EXPECT_EQ(DoubleNumber("VerifyCalls"), c.asks ? 1u : 0u) << c.name;
        EXPECT_FALSE(g_passwordDialogUp) << c.name;
    }

    // In the grace period nothing is asked even when a password is required.
    driver::ResetDoubles();
    g_graceSeconds = 3;
    EXPECT_TRUE(CheckPassword());
    EXPECT_EQ(DoubleNumber("VerifyCalls"), 0u);
}

}  // namespace
