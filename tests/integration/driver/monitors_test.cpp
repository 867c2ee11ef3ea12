// The full-screen saver on a desktop of two monitors (the test session's
// Xephyr heads: 800x600 primary, and 640x480 to its right): a window and a
// spiral on each, and input on either ends it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/screen_picture.h"

namespace {

// The session's two heads, as Wine reports them.
const std::vector<RECT> kMonitors = {{0, 0, 800, 600}, {800, 0, 1440, 480}};

RECT MiddleOf(const RECT& r) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    return RECT{r.left + w / 4, r.top + h / 3, r.left + w * 3 / 4, r.top + h * 2 / 3};
}

class TwoMonitors : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the session must offer two monitors";
        monitors_ = kMonitors;
    }
    void TearDown() override {
        saver_.Kill();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty());
    }
    // Starts the saver and finds its window on each monitor, in monitor order.
    bool Start() {
        if (!saver_.Start("/s")) return false;
        windows_.assign(monitors_.size(), nullptr);
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
            for (size_t i = 0; i < monitors_.size(); ++i) {
                windows_[i] = driver::FirstProcessWindow(saver_.Id(), [&](HWND window) {
                    char name[32] = "";
                    GetClassNameA(window, name, sizeof name);
                    RECT r{};
                    GetWindowRect(window, &r);
                    return lstrcmpA(name, "GyrelClass") == 0 && IsWindowVisible(window) &&
                           EqualRect(&r, &monitors_[i]);
                });
            }
            if (windows_[0] != nullptr && windows_[1] != nullptr) return true;
            driver::PumpMessagesFor(50);
        }
        return false;
    }
    bool EndsWithZero() { return saver_.WaitForExit(10000) && saver_.ExitCode() == 0; }

    std::vector<RECT> monitors_;
    std::vector<HWND> windows_;
    driver::ModuleProcess saver_;
};

TEST_F(TwoMonitors, EachMonitorHasItsOwnTurningSpiral) {
    // Stripes over both monitors, for the spirals to turn.
    driver::ScreenPicture stripes(driver::StripesAt, RECT{0, 0, 1440, 600});
    for (const RECT& monitor : monitors_) ASSERT_TRUE(stripes.Shown(MiddleOf(monitor)));
    ASSERT_TRUE(Start()) << "no saver window covering each monitor";
    std::vector<std::vector<uint32_t>> before;
    for (const RECT& monitor : monitors_) before.push_back(driver::CaptureScreen(MiddleOf(monitor)));
    driver::PumpMessagesFor(1500);
    for (size_t i = 0; i < monitors_.size(); ++i) {
        std::vector<uint32_t> after = driver::CaptureScreen(MiddleOf(monitors_[i]));
        EXPECT_GT(driver::CountDifferences(before[i], after), after.size() / 100) << "monitor " << i;
    }
    // Activation moving from one of its windows to the other ends nothing.
    PostMessageA(windows_[0], WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(windows_[1]));
    PostMessageA(windows_[1], WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(windows_[0]));
    EXPECT_FALSE(saver_.WaitForExit(1000));
}

// A blank screen on both monitors, and a wallpaper whose decoder takes far
// longer than the saver waits: it is waited for once, not once a monitor, and
// the decoder still at work when the saver goes on does no harm, neither
// while it works nor when it finishes, late, with the saver still running.
TEST_F(TwoMonitors, ASlowWallpaperIsWaitedForOnceForBothMonitors) {
    driver::ScreenPicture blank([](int, int) { return 0x336699u; }, RECT{0, 0, 1440, 600});
    for (const RECT& monitor : monitors_) ASSERT_TRUE(blank.Shown(MiddleOf(monitor)));
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    const std::string wallpaper = std::string(directory) + "slow-wallpaper.jpg";
    HANDLE file = CreateFileA(wallpaper.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "\xFF\xD8\xFF", 3, &written, nullptr);
    CloseHandle(file);
    driver::SetDesktopText("Wallpaper", wallpaper.c_str());
    {
        driver::SystemFileSwap codecs(driver::BuildFile("doubles/slow-codecs/WINDOWSCODECS.DLL"),
                                      "windowscodecs.dll");
        ASSERT_TRUE(codecs.Installed());
        driver::SetModuleDllOverride("windowscodecs", "native");
        const DWORD start = GetTickCount();
        ASSERT_TRUE(Start());
        EXPECT_LT(GetTickCount() - start, 2600u) << "both windows waited for the wallpaper apiece";
        // The decoder gives up 4 s after it was asked: past that, the saver
        // must still be turning.
        const DWORD sinceStart = GetTickCount() - start;
        const DWORD untilDecoderDone = sinceStart < 5500 ? 5500 - sinceStart : 0;
        EXPECT_FALSE(saver_.WaitForExit(untilDecoderDone)) << "the late decoder ended the saver";
        PostMessageA(windows_[1], WM_KEYDOWN, 0, 0);
        EXPECT_TRUE(EndsWithZero());
        driver::ClearModuleDllOverrides();
    }
    driver::DeleteDesktopValue("Wallpaper");
    DeleteFileA(wallpaper.c_str());
}

TEST_F(TwoMonitors, AKeyOrAClickOnEitherEndsItWithZero) {
    const struct {
        size_t monitor;
        UINT message;
    } inputs[] = {{0, WM_KEYDOWN}, {1, WM_KEYDOWN}, {0, WM_LBUTTONDOWN}, {1, WM_LBUTTONDOWN}};
    for (const auto& input : inputs) {
        SCOPED_TRACE(testing::Message() << "monitor " << input.monitor << ", message " << input.message);
        ASSERT_TRUE(Start());
        PostMessageA(windows_[input.monitor], input.message, 0, 0);
        EXPECT_TRUE(EndsWithZero());
        for (HWND window : windows_) EXPECT_FALSE(IsWindow(window));
    }
}

}  // namespace
