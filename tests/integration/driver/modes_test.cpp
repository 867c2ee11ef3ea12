// The real module's command line as the desktop gives it: exit codes of each
// mode as another Windows program sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

constexpr DWORD kFailure = 0xFFFFFFFF;  // -1

TEST(Modes, ConfigureShowsTheSheetAndEndsWithZero) {
    for (const char* arguments : {"", "/c", "-C", "/c:1234", "-C:", "/c 55"}) {
        driver::SheetSession sheet;
        ASSERT_TRUE(sheet.Open(arguments)) << '"' << arguments << '"';
        ASSERT_TRUE(sheet.CloseWith(driver::kCancelButton)) << '"' << arguments << '"';
        EXPECT_EQ(sheet.Process().ExitCode(), 0u) << '"' << arguments << '"';
    }
}

TEST(Modes, UnrecognisedCommandLinesEndWithMinusOne) {
    for (const char* arguments :
         {"/x", "s", "/s:123", "/p:123", "/sx", "/p", "/p 12345", "/p 0x7fffff00", "/a abc",
          "/p abc", "/p 99999999999999"}) {
        EXPECT_EQ(driver::RunModule(arguments), kFailure) << '"' << arguments << '"';
    }
}

}  // namespace
