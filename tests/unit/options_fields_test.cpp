// What the Options page makes of a field's text, and the preview's command
// line.
#include <gtest/gtest.h>

#include <string>

#include "effect/field_value.h"
#include "config/preview_command.h"

namespace {

TEST(FieldValue, NumbersInRangeApplyAndOthersTakeTheNearestBound) {
    struct Case {
        const char* text;
        FieldAction action;
        int32_t value;
    };
    const Case cases[] = {
        {"3", FieldAction::Apply, 3},           {"255", FieldAction::Apply, 255},
        {"300", FieldAction::Correct, 255},     {"-3", FieldAction::Correct, 1},
        {"0", FieldAction::Correct, 1},         {"12ab", FieldAction::Apply, 12},
        {"  7", FieldAction::Apply, 7},         {"+9", FieldAction::Apply, 9},
        {"123456789", FieldAction::Correct, 255},
        {"99999999999999", FieldAction::Correct, 255},  // saturates, no overflow
        {"-99999999999999", FieldAction::Correct, 1},
    };
    for (const Case& c : cases) {
        FieldDecision decision = DecideFieldValue(c.text, 1, 255);
        EXPECT_EQ(decision.action, c.action) << '"' << c.text << '"';
        EXPECT_EQ(decision.value, c.value) << '"' << c.text << '"';
    }
}

TEST(FieldValue, TextWithoutANumberChangesNothing) {
    for (const char* text : {"", "abc", "-", "+", "   ", " - 3", "x12", "\t"}) {
        EXPECT_EQ(DecideFieldValue(text, 0, 20).action, FieldAction::Ignore) << '"' << text << '"';
    }
}

TEST(PreviewCommand, PathIsQuotedOnlyWithBlanksAndNeverCut) {
    EXPECT_EQ(PreviewCommandLine("C:\\WINDOWS\\GYREL.SCR", 1234), "C:\\WINDOWS\\GYREL.SCR /p 1234");
    EXPECT_EQ(PreviewCommandLine("C:\\Program Files\\Gyrel.scr", 66),
              "\"C:\\Program Files\\Gyrel.scr\" /p 66");
    EXPECT_EQ(PreviewCommandLine("C:\\tab\there\\Gyrel.scr", 5), "\"C:\\tab\there\\Gyrel.scr\" /p 5");
    EXPECT_EQ(PreviewCommandLine("C:\\x.scr", -2), "C:\\x.scr /p -2");

    std::string longPath = "C:\\" + std::string(300, 'd') + "\\Gyrel.scr";
    EXPECT_EQ(PreviewCommandLine(longPath, 2147483647), longPath + " /p 2147483647");
}

}  // namespace
