// The test driver's entry. It refuses to run outside the Wine test session
// (tools/wine_session.py), which gives it a private prefix and X server:
// without them the tests would fail confusingly or touch the user's own
// Wine prefix, so it fails loudly instead.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    char marker[8];
    if (GetEnvironmentVariableA("GYREL_TEST_SESSION", marker, sizeof marker) == 0) {
        std::fprintf(stderr,
                     "gyrel-driver: not inside the Wine test session; run the tests with "
                     "tools/check.sh (or tools/wine_session.py -- ctest ...)\n");
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
