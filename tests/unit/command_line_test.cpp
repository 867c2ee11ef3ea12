#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "framework/command_line.h"
#include "base/int_scan.h"

namespace {

// The windows that "exist" for these tests.
bool TestWindowExists(intptr_t window) {
    static const std::set<intptr_t> windows = {0x1234, 83};
    return windows.count(window) != 0;
}

struct ModeCase {
    const char* line;
    SaverMode mode;
    intptr_t parent;
};

std::ostream& operator<<(std::ostream& out, const ModeCase& c) {
    return out << '"' << c.line << '"';
}

class ParseModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ParseModeTest, GivesModeAndParent) {
    const ModeCase& c = GetParam();
    intptr_t parent = -77;
    SaverMode mode = ParseSaverMode(SplitCommandLine(c.line), TestWindowExists, &parent);
    EXPECT_EQ(static_cast<int>(mode), static_cast<int>(c.mode));
    EXPECT_EQ(parent, c.parent);
}

constexpr auto U = SaverMode::Unrecognised;
constexpr auto S = SaverMode::Saver;
constexpr auto C = SaverMode::Configure;
constexpr auto A = SaverMode::ChangePassword;
constexpr auto P = SaverMode::Preview;

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParseModeTest,
    ::testing::Values(
        ModeCase{"", C, 0},
        // Saving, any case and prefix; a second argument is ignored.
        ModeCase{"/s", S, 0}, ModeCase{"/S", S, 0}, ModeCase{"-s", S, 0},
        ModeCase{"/s extra text", S, 0},
        // Preview: "%i" numbers, white space skipped, the window must exist.
        ModeCase{"/p 4660", P, 0x1234}, ModeCase{"/p 0x1234", P, 0x1234},
        ModeCase{"-P 0X1234", P, 0x1234}, ModeCase{"/p 011064", P, 0x1234},
        ModeCase{"/p  83", P, 83}, ModeCase{"/p 83 trailing", P, 83},
        ModeCase{"/p 12345", U, 12345}, ModeCase{"/p", U, 0}, ModeCase{"/p ", U, 0},
        ModeCase{"/p abc", U, 0}, ModeCase{"/p -83", U, -83},
        ModeCase{"/p 99999999999", U, INT32_MAX}, ModeCase{"/p\t83", U, 0},
        // Change password: alone, with a window, with letters.
        ModeCase{"/a", A, 0}, ModeCase{"-A", A, 0}, ModeCase{"/a 83", A, 83},
        ModeCase{"/a 0x1234", A, 0x1234}, ModeCase{"/a abc", U, 0}, ModeCase{"/a 5", U, 5},
        // Configure, also in the "/c:<window>" form of the display settings,
        // whose window is kept only when it exists.
        ModeCase{"/c", C, 0}, ModeCase{"-C", C, 0}, ModeCase{"/c 83", C, 0},
        ModeCase{"/c:4660", C, 0x1234}, ModeCase{"/C:83 x", C, 83}, ModeCase{"/c:83abc", C, 83},
        ModeCase{"/c:0x1234", C, 0x1234}, ModeCase{"/c:1234", C, 0}, ModeCase{"-C:", C, 0},
        ModeCase{"/c:abc", C, 0}, ModeCase{"/c:-83", C, 0}, ModeCase{"/c:99999999999", C, 0},
        // Everything else.
        ModeCase{"/x", U, 0}, ModeCase{"s", U, 0}, ModeCase{"/s:123", U, 0},
        ModeCase{"/p:123", U, 0}, ModeCase{"/sx", U, 0}, ModeCase{"/", U, 0},
        ModeCase{"//", U, 0}, ModeCase{"c:", U, 0}, ModeCase{"/c;1", U, 0}));

TEST(SplitCommandLine, CutsAtTheFirstSpaceOnly) {
    CommandArguments none = SplitCommandLine("");
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(SplitCommandLine(nullptr).count, 0);

    CommandArguments one = SplitCommandLine("/s");
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.first, "/s");

    CommandArguments two = SplitCommandLine("/p  0x10 more");
    EXPECT_EQ(two.count, 2);
    EXPECT_EQ(two.first, "/p");
    EXPECT_EQ(two.second, " 0x10 more");

    CommandArguments emptySecond = SplitCommandLine("/a ");
    EXPECT_EQ(emptySecond.count, 2);
    EXPECT_EQ(emptySecond.second, "");

    CommandArguments tab = SplitCommandLine("/p\t5");
    EXPECT_EQ(tab.count, 1);
    EXPECT_EQ(tab.first, "/p\t5");
}

TEST(ScanInt32, DecimalFollowsPercentD) {
    int32_t v = -1;
    EXPECT_TRUE(ScanInt32(" 120", ScanBase::Decimal, &v));
    EXPECT_EQ(v, 120);
    EXPECT_TRUE(ScanInt32("12ab", ScanBase::Decimal, &v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(ScanInt32("-5", ScanBase::Decimal, &v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(ScanInt32("+7", ScanBase::Decimal, &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ScanInt32("0x10", ScanBase::Decimal, &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ScanInt32("010", ScanBase::Decimal, &v));
    EXPECT_EQ(v, 10);

    v = 42;
    for (const char* text : {"", "abc", "-", "+", "   ", " - 5"}) {
        EXPECT_FALSE(ScanInt32(text, ScanBase::Decimal, &v)) << text;
    }
    EXPECT_EQ(v, 42);
}

TEST(ScanInt32, SaturatesInsteadOfOverflowing) {
    int32_t v = 0;
    EXPECT_TRUE(ScanInt32("2147483647", ScanBase::Decimal, &v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ScanInt32("-2147483648", ScanBase::Decimal, &v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ScanInt32("2147483648", ScanBase::Decimal, &v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ScanInt32("-2147483649", ScanBase::Decimal, &v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ScanInt32("99999999999999999999999999", ScanBase::Decimal, &v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ScanInt32("-0xFFFFFFFFFFFFFFFFFFFF", ScanBase::Auto, &v));
    EXPECT_EQ(v, INT32_MIN);
}

TEST(ScanInt32, AutoBaseFollowsPercentI) {
    int32_t v = 0;
    EXPECT_TRUE(ScanInt32("0x1F", ScanBase::Auto, &v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(ScanInt32("-0x10", ScanBase::Auto, &v));
    EXPECT_EQ(v, -16);
    EXPECT_TRUE(ScanInt32("017", ScanBase::Auto, &v));
    EXPECT_EQ(v, 15);
    EXPECT_TRUE(ScanInt32("08", ScanBase::Auto, &v));  // octal stops at the 8
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ScanInt32("0x", ScanBase::Auto, &v));  // just the zero
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ScanInt32("  42", ScanBase::Auto, &v));
    EXPECT_EQ(v, 42);
}

}  // namespace
