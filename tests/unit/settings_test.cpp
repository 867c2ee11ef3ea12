#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "effect/profile_text.h"
#include "effect/random.h"
#include "effect/settings.h"
#include "tests/unit/memory_profile.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestProfile() = MemoryProfile{};
        g_spiralSettings = SpiralSettings{};
    }
};

const std::vector<std::string> kKeyOrder = {"MaxBkColour", "Gradient",   "Resolution",
                                            "DeltaTheta",  "ColChangePer", "Randomness",
                                            "ActiveConfig", "StepsPerSecond"};

TEST_F(SettingsTest, AngleIsTwentiethsOfADegreeAsAFloat) {
    // 94 twentieths are 4.7 degrees, with the ten-digit pi, as a 32-bit float.
    float expected = static_cast<float>(4.7L * 3.141592654L / 180.0L);
    EXPECT_EQ(AngleFromDialog(94), expected);
    EXPECT_EQ(AngleFromDialog(0), 0.0f);
    EXPECT_EQ(DialogFromAngle(AngleFromDialog(95)), 95);
}

TEST_F(SettingsTest, EveryDialogValueSurvivesTheRoundTrip) {
    for (int row = 0; row < kSettingsRows; ++row) {
        for (int32_t v = 0; v <= 255; ++v) {
            ApplyDialogValue(row, v);
            ASSERT_EQ(DialogValueOf(row), v) << "row " << row;
        }
    }
}

TEST_F(SettingsTest, InternalUnitsFollowTheTable) {
    ApplyDialogValue(ROW_MAX_BK_COLOUR, 300);
    EXPECT_EQ(g_spiralSettings.MaxBkColour, 38400);
    ApplyDialogValue(ROW_COL_CHANGE_PER, 5);
    EXPECT_EQ(g_spiralSettings.ColChangePer, 5000);
    ApplyDialogValue(ROW_COL_CHANGE_PER, 0);
    EXPECT_EQ(g_spiralSettings.ColChangePer, 0);
    ApplyDialogValue(ROW_RESOLUTION, 80);
    EXPECT_EQ(g_spiralSettings.Resolution, 80);
    ApplyDialogValue(ROW_GRADIENT, -3);
    EXPECT_EQ(g_spiralSettings.Gradient, -3);
    ApplyDialogValue(7, 99);  // not a row: nothing changes
    EXPECT_EQ(DialogValueOf(7), 0);
    EXPECT_EQ(g_spiralSettings.Randomness, 0);
}

TEST_F(SettingsTest, ExtremeValuesSaturate) {
    ApplyDialogValue(ROW_MAX_BK_COLOUR, INT32_MAX);
    EXPECT_EQ(g_spiralSettings.MaxBkColour, INT32_MAX);
    EXPECT_EQ(DialogValueOf(ROW_MAX_BK_COLOUR), INT32_MAX >> 7);
    ApplyDialogValue(ROW_MAX_BK_COLOUR, INT32_MIN);
    EXPECT_EQ(g_spiralSettings.MaxBkColour, INT32_MIN);
    ApplyDialogValue(ROW_COL_CHANGE_PER, INT32_MAX);
    EXPECT_EQ(g_spiralSettings.ColChangePer, INT32_MAX);
    ApplyDialogValue(ROW_COL_CHANGE_PER, INT32_MIN);
    EXPECT_EQ(g_spiralSettings.ColChangePer, INT32_MIN);
    EXPECT_EQ(DialogValueOf(ROW_COL_CHANGE_PER), INT32_MIN / 1000);

    ApplyDialogValue(ROW_DELTA_THETA, INT32_MAX);
    EXPECT_GT(DialogValueOf(ROW_DELTA_THETA), 2147000000);
    ApplyDialogValue(ROW_DELTA_THETA, INT32_MIN);
    EXPECT_LT(DialogValueOf(ROW_DELTA_THETA), -2147000000);
    EXPECT_EQ(DialogFromAngle(1e30f), INT32_MAX);
    EXPECT_EQ(DialogFromAngle(-1e30f), INT32_MIN);
}

TEST_F(SettingsTest, MissingSectionGivesDefaultsReadInKeyOrder) {
    LoadSpiralSettings();
    EXPECT_EQ(TestProfile().file.reads, kKeyOrder);
    for (int row = 0; row < kSettingsRows; ++row) {
        EXPECT_EQ(DialogValueOf(row), kSettingDefinitions[row].defaultValue) << kSettingDefinitions[row].key;
    }
    EXPECT_EQ(g_spiralSettings.ActiveConfig, kActiveConfigDefault);
    EXPECT_EQ(g_spiralSettings.StepsPerSecond, kStepsPerSecondDefinition.defaultValue);
}

// Every default lies in its range, and every range fits the Options page's
// up-down controls, which take 16-bit ranges.
TEST_F(SettingsTest, EachDefaultLiesInItsRange) {
    std::vector<SettingDefinition> all(kSettingDefinitions, kSettingDefinitions + kSettingsRows);
    all.push_back(kStepsPerSecondDefinition);
    for (const SettingDefinition& d : all) {
        EXPECT_LE(d.minimum, d.defaultValue) << d.key;
        EXPECT_LE(d.defaultValue, d.maximum) << d.key;
    }
    for (int row = 0; row < kSettingsRows; ++row) EXPECT_LE(kSettingDefinitions[row].maximum, 32767);
}

// The budget, set by hand, is taken within its range.
TEST_F(SettingsTest, TheStepBudgetIsKeptInItsRange) {
    const struct {
        const char* text;
        int32_t budget;
    } cases[] = {{"-30", 0}, {"0", 0}, {"500", 500}, {"1000000", 1000000}, {"2147483647", 1000000}};
    for (const auto& c : cases) {
        TestProfile().file.values = {{"StepsPerSecond", c.text}};
        LoadSpiralSettings();
        EXPECT_EQ(g_spiralSettings.StepsPerSecond, c.budget) << c.text;
    }
}

TEST_F(SettingsTest, FileValuesAreUsedUnchecked) {
    TestProfile().file.values = {{"Resolution", "80"},          {"ColChangePer", "0"},
                            {"MaxBkColour", "2147483647"}, {"Gradient", "-2147483648"},
                            {"Randomness", "-4"},          {"ActiveConfig", "7"}};
    LoadSpiralSettings();
    EXPECT_EQ(g_spiralSettings.Resolution, 80);
    EXPECT_EQ(g_spiralSettings.ColChangePer, 0);
    EXPECT_EQ(g_spiralSettings.MaxBkColour, INT32_MAX);
    EXPECT_EQ(g_spiralSettings.Gradient, INT32_MIN);
    EXPECT_EQ(g_spiralSettings.Randomness, -4);
    EXPECT_EQ(g_spiralSettings.ActiveConfig, 7);
}

TEST_F(SettingsTest, SaveWritesAllSevenKeysInOrder) {
    TestProfile().file.values = {{"DeltaTheta", "95"}};
    LoadSpiralSettings();
    SaveSpiralSettings();
    // The keys as read, less the budget, which a save never writes; the
    // values as loaded.
    std::vector<std::pair<std::string, std::string>> expected;
    for (const std::string& key : kKeyOrder) {
        if (key == kStepsPerSecondDefinition.key) continue;
        std::string value = key == kActiveConfigKey ? std::to_string(kActiveConfigDefault) : "95";
        for (int row = 0; row < kSettingsRows; ++row) {
            if (key == kSettingDefinitions[row].key && row != ROW_DELTA_THETA) {
                value = std::to_string(kSettingDefinitions[row].defaultValue);
            }
        }
        expected.emplace_back(key, value);
    }
    EXPECT_EQ(TestProfile().file.writes, expected);
}

TEST_F(SettingsTest, SaveWritesTheExtremesAsDecimalText) {
    g_spiralSettings.MaxBkColour = INT32_MIN;
    g_spiralSettings.Gradient = INT32_MIN;
    g_spiralSettings.ColChangePer = INT32_MAX;
    SaveSpiralSettings();
    EXPECT_EQ(TestProfile().file.values["MaxBkColour"], "-16777216");
    EXPECT_EQ(TestProfile().file.values["Gradient"], "-2147483648");
    EXPECT_EQ(TestProfile().file.values["ColChangePer"], "2147483");
}

TEST(ProfileIntFromText, ReadsAsGetPrivateProfileIntDoes) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {{"17", 17},  {" -5", -5},  {"+7", 7},      {"12ab", 12},  {"0x10", 0},
                 {"abc", 0},  {"-", 0},     {"", 99},       {" \t ", 99}, {nullptr, 99},
                 {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileIntFromText(c.text, 99), c.value) << (c.text ? c.text : "(null)");
    }
}

TEST_F(SettingsTest, ASectionInTheRegistryIsReadInsteadOfTheFile) {
    MemoryProfile& profile = TestProfile();
    profile.file.values = {{"Gradient", "3"}, {"Resolution", "20"}, {"StepsPerSecond", "500"}};
    profile.registryKey = true;
    profile.registry.values = {{"Gradient", "17"}, {"Randomness", "x"}};
    LoadSpiralSettings();
    EXPECT_EQ(profile.registry.reads, kKeyOrder);
    EXPECT_EQ(g_spiralSettings.Gradient, 17);
    EXPECT_EQ(g_spiralSettings.Randomness, 0);
    EXPECT_EQ(g_spiralSettings.Resolution, 10) << "a value the registry lacks is the default";
    // The budget is never saved by the sheet: one set by hand in the file
    // still counts, unless the registry has its own.
    EXPECT_EQ(g_spiralSettings.StepsPerSecond, 500);
    profile.registry.values["StepsPerSecond"] = "800";
    LoadSpiralSettings();
    EXPECT_EQ(g_spiralSettings.StepsPerSecond, 800);
}

TEST_F(SettingsTest, SaveKeepsTheSettingsWhereALaterLoadFindsThem) {
    const struct {
        const char* name;
        bool fileWritable, registryKey, registryWritable;
        bool saved, inFile, inRegistry;
    } cases[] = {
        {"file", true, false, true, true, true, false},
        {"file refused", false, false, true, true, false, true},
        {"registry already holds it", true, true, true, true, true, true},
        {"nowhere", false, false, false, false, false, false},
        {"registry refused while it holds the section", true, true, false, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestProfile() = MemoryProfile{};
        MemoryProfile& profile = TestProfile();
        profile.file.writable = c.fileWritable;
        profile.registryKey = c.registryKey;
        profile.registry.writable = c.registryWritable;
        g_spiralSettings = SpiralSettings{};
        ApplyDialogValue(ROW_GRADIENT, 17);
        EXPECT_EQ(SaveSpiralSettings(), c.saved);
        EXPECT_EQ(profile.file.writes.size(), c.inFile ? 7u : 0u);
        EXPECT_EQ(profile.registry.writes.size(), c.inRegistry ? 7u : 0u);
        EXPECT_EQ(profile.registry.values["Gradient"], c.inRegistry ? "17" : "");
        if (!c.saved) continue;
        g_spiralSettings = SpiralSettings{};
        LoadSpiralSettings();
        EXPECT_EQ(g_spiralSettings.Gradient, 17);
    }
}

TEST_F(SettingsTest, LoadSeedsTheGeneratorWithTheTime) {
    std::time_t before = std::time(nullptr);
    LoadSpiralSettings();
    int32_t drawn = RandomNext();
    std::time_t after = std::time(nullptr);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::minstd_rand reference(static_cast<uint32_t>(t));
        if (static_cast<int32_t>(reference()) == drawn) matched = true;
    }
    EXPECT_TRUE(matched);
}

}  // namespace
