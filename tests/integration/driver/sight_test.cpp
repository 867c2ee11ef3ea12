// Nobody can see the saver: the display is off, the session is away, the
// preview is hidden. The draw workers then pause and use no processor time,
// and go on when someone can see it again. The platform does not send the
// display's and the session's notices under Wine, so the driver plays the
// system: it delivers them, with the record a display notice points to
// living in the receiving process, as the system delivers it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "effect/control_messages.h"
#include "framework/sight.h"
#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

const GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
const GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
const GUID kPowerSource = {  // the AC or battery setting: not the display
    0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};

constexpr double kDrawingMs = 150;  // worker CPU over a second while it draws
constexpr double kHeldMs = 30;      // ... and while it is held

// A display notice's record: the setting, the length and a DWORD of data.
struct DisplayRecord {
    GUID setting;
    DWORD dataLength;
    DWORD state;
};

TEST(SightDecisions, DisplayNotices) {
    const struct {
        const char* what;
        WPARAM event;
        GUID setting;
        DWORD dataLength;
        DWORD state;
        SightChange expected;
    } cases[] = {
        {"display off", PBT_POWERSETTINGCHANGE, kConsoleDisplayState, 4, 0, SightChange::Unseen},
        {"display on", PBT_POWERSETTINGCHANGE, kConsoleDisplayState, 4, 1, SightChange::Seen},
        {"display dimmed", PBT_POWERSETTINGCHANGE, kConsoleDisplayState, 4, 2, SightChange::Seen},
        {"monitor off", PBT_POWERSETTINGCHANGE, kMonitorPowerOn, 4, 0, SightChange::Unseen},
        {"monitor on", PBT_POWERSETTINGCHANGE, kMonitorPowerOn, 4, 1, SightChange::Seen},
        {"another setting", PBT_POWERSETTINGCHANGE, kPowerSource, 4, 0, SightChange::None},
        {"two bytes of data", PBT_POWERSETTINGCHANGE, kConsoleDisplayState, 2, 0, SightChange::None},
        {"no data", PBT_POWERSETTINGCHANGE, kConsoleDisplayState, 0, 0, SightChange::None},
        {"suspending", PBT_APMSUSPEND, kConsoleDisplayState, 4, 0, SightChange::None},
        {"resumed", PBT_APMRESUMEAUTOMATIC, kConsoleDisplayState, 4, 1, SightChange::None},
        {"power status", PBT_APMPOWERSTATUSCHANGE, kConsoleDisplayState, 4, 0, SightChange::None},
    };
    for (const auto& c : cases) {
        DisplayRecord record{c.setting, c.dataLength, c.state};
        EXPECT_EQ(SightFromPowerBroadcast(c.event, reinterpret_cast<LPARAM>(&record)), c.expected)
            << c.what;
    }
    // No record, or an address nothing can be read at (another program's).
    EXPECT_EQ(SightFromPowerBroadcast(PBT_POWERSETTINGCHANGE, 0), SightChange::None);
    EXPECT_EQ(SightFromPowerBroadcast(PBT_POWERSETTINGCHANGE, 0x10), SightChange::None);
}

TEST(SightDecisions, SessionNotices) {
    const struct {
        WPARAM event;
        SightChange expected;
    } cases[] = {
        {WTS_CONSOLE_DISCONNECT, SightChange::Unseen}, {WTS_REMOTE_DISCONNECT, SightChange::Unseen},
        {WTS_CONSOLE_CONNECT, SightChange::Seen},      {WTS_REMOTE_CONNECT, SightChange::Seen},
        {WTS_SESSION_LOCK, SightChange::None},         {WTS_SESSION_UNLOCK, SightChange::None},
        {WTS_SESSION_LOGOFF, SightChange::None},       {0, SightChange::None},
        {0xFFFF, SightChange::None},
    };
    for (const auto& c : cases) EXPECT_EQ(SightFromSessionChange(c.event), c.expected) << c.event;
}

// What the platform's default procedure answers a power notice: the saver
// answers each with it. Asked of a window that is never shown, since a new
// window on the screen would take the activation and end the saver.
LRESULT DefaultAnswer(WPARAM event) {
    static HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         nullptr, nullptr);
    return DefWindowProcA(window, WM_POWERBROADCAST, event, 0);
}

// A full-screen saver process, with the notices the system would send it.
struct SaverInTheDark {
    driver::ModuleProcess process;
    HWND window = nullptr;

    bool Start() {
        if (!process.Start("/s")) return false;
        process.WaitForIdle(15000);
        window = driver::FindProcessWindow(process.Id(), "GyrelClass");
        return window != nullptr;
    }
    ~SaverInTheDark() {
        if (process.Running()) PostMessageA(window, WM_CLOSE, 0, 0);
        process.WaitForExit(10000);
        process.Kill();
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
            ADD_FAILURE() << "no reply to message " << message;
        }
        return static_cast<LRESULT>(result);
    }
    // A display notice as the system sends it; the reply.
    LRESULT Display(DWORD state, const GUID& setting = kConsoleDisplayState, DWORD length = 4,
                    WPARAM event = PBT_POWERSETTINGCHANGE) {
        const DisplayRecord record{setting, length, state};
        void* there = VirtualAllocEx(process.Handle(), nullptr, sizeof record,
                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        EXPECT_NE(there, nullptr);
        WriteProcessMemory(process.Handle(), there, &record, sizeof record, nullptr);
        const LRESULT reply = Send(WM_POWERBROADCAST, event, reinterpret_cast<LPARAM>(there));
        VirtualFreeEx(process.Handle(), there, 0, MEM_RELEASE);
        return reply;
    }
    double WorkerCpu() { return driver::BusiestThreadCpuGrowth(process.Id(), 1000); }
};

// Unbudgeted, so that a drawing worker shows unmistakably.
class DisplaySleep : public ::testing::Test {
protected:
    void SetUp() override { driver::StoreValue("StepsPerSecond", "0"); }
    void TearDown() override {
        driver::ClearSection();
        EXPECT_TRUE(driver::ProcessesNamed("Gyrel.scr").empty()) << "a module process was left running";
    }
};

TEST_F(DisplaySleep, NobodySeesItWhileTheDisplayIsOffOrTheSessionAway) {
    SaverInTheDark saver;
    ASSERT_TRUE(saver.Start());
    EXPECT_GT(saver.WorkerCpu(), kDrawingMs);
    // Each notice in turn, with whether the worker draws after it.
    enum Notice { DisplayOff, DisplayOn, DisplayDimmed, Away, Back, RemoteAway, RemoteBack };
    const struct {
        Notice notice;
        bool drawing;
    } script[] = {
        {DisplayOff, false}, {DisplayDimmed, true}, {DisplayOff, false}, {DisplayOn, true},
        {Away, false},       {Back, true},          {RemoteAway, false}, {DisplayOff, false},
        {RemoteBack, false}, {DisplayOn, true},
    };
    for (const auto& s : script) {
        switch (s.notice) {
            case DisplayOff: EXPECT_EQ(saver.Display(0), DefaultAnswer(PBT_POWERSETTINGCHANGE)); break;
            case DisplayOn: EXPECT_EQ(saver.Display(1), DefaultAnswer(PBT_POWERSETTINGCHANGE)); break;
            case DisplayDimmed: EXPECT_EQ(saver.Display(2), DefaultAnswer(PBT_POWERSETTINGCHANGE)); break;
            case Away: saver.Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 1); break;
            case Back: saver.Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 1); break;
            case RemoteAway: saver.Send(WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, 1); break;
            case RemoteBack: saver.Send(WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 1); break;
        }
        const double cpu = saver.WorkerCpu();
        if (s.drawing) {
            EXPECT_GT(cpu, kDrawingMs) << "after notice " << &s - script;
        } else {
            EXPECT_LT(cpu, kHeldMs) << "after notice " << &s - script;
        }
    }
}

TEST_F(DisplaySleep, ThePauseAndTheFreezesHoldTheWorkerApart) {
    SaverInTheDark saver;
    ASSERT_TRUE(saver.Start());
    // A resume never wakes a worker the dark holds...
    EXPECT_EQ(saver.Send(WM_SPIRAL_SUSPEND, 0, 0), 0);
    saver.Display(0);
    EXPECT_EQ(saver.Send(WM_SPIRAL_RESUME, 0, 0), 1);
    EXPECT_LT(saver.WorkerCpu(), kHeldMs) << "a resume woke a worker paused in the dark";
    // ... and the light never wakes a frozen one.
    EXPECT_EQ(saver.Send(WM_SPIRAL_SUSPEND, 0, 0), 0);
    saver.Display(1);
    EXPECT_LT(saver.WorkerCpu(), kHeldMs) << "the display woke a suspended worker";
    EXPECT_EQ(saver.Send(WM_SPIRAL_RESUME, 0, 0), 1);
    EXPECT_GT(saver.WorkerCpu(), kDrawingMs);
}

TEST_F(DisplaySleep, OddNoticesChangeNothing) {
    SaverInTheDark saver;
    ASSERT_TRUE(saver.Start());
    const LRESULT setting = DefaultAnswer(PBT_POWERSETTINGCHANGE);
    EXPECT_EQ(saver.Display(0, kPowerSource), setting);
    EXPECT_EQ(saver.Display(0, kConsoleDisplayState, 2), setting);
    EXPECT_EQ(saver.Display(0, kConsoleDisplayState, 4, PBT_APMSUSPEND),
              DefaultAnswer(PBT_APMSUSPEND));
    EXPECT_EQ(saver.Display(0, kConsoleDisplayState, 4, PBT_APMRESUMEAUTOMATIC),
              DefaultAnswer(PBT_APMRESUMEAUTOMATIC));
    EXPECT_EQ(saver.Send(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0), setting);
    EXPECT_EQ(saver.Send(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0x10), setting);
    saver.Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
    EXPECT_GT(saver.WorkerCpu(), kDrawingMs);
}

// In the dark the window thread still runs: input ends the saver with 0 as
// ever, and a close leaves at once.
TEST_F(DisplaySleep, InputStillEndsItInTheDark) {
    POINT cursor{};
    GetCursorPos(&cursor);
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } inputs[] = {
        {"a key", WM_KEYDOWN, 'A', 1},
        {"a click", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cursor.x, cursor.y)},
        {"a move", WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x + 40, cursor.y + 40)},
        {"a close", WM_CLOSE, 0, 0},
    };
    for (const auto& input : inputs) {
        SaverInTheDark saver;
        ASSERT_TRUE(saver.Start()) << input.what;
        saver.Display(0);
        PostMessageA(saver.window, input.message, input.wParam, input.lParam);
        EXPECT_TRUE(saver.process.WaitForExit(5000)) << input.what;
        EXPECT_EQ(saver.process.ExitCode(), 0u) << input.what;
    }
}

}  // namespace
