// The test driver's entry. It refuses to run outside the Wine test session
// (tools/wine_session.py), which gives it a private prefix and X server:
// without them the tests would fail confusingly or touch the user's own
// Wine prefix, so it fails loudly instead.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

namespace {

// The driver reads the screen and other processes' windows in physical
// pixels, whatever scale the processes it starts run at. Loaded by name: the
// entry is missing before Windows 10.
void ReadPhysicalPixels() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set != nullptr) set(reinterpret_cast<HANDLE>(-3));  // per-monitor aware
}

}  // namespace

int main(int argc, char** argv) {
    char marker[8];
    if (GetEnvironmentVariableA("GYREL_TEST_SESSION", marker, sizeof marker) == 0) {
        std::fprintf(stderr,
                     "gyrel-driver: not inside the Wine test session; run the tests with "
                     "tools/check.sh (or tools/wine_session.py -- ctest ...)\n");
        return 2;
    }
    ReadPhysicalPixels();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
