// The settings against the real CONTROL.INI of the Wine prefix, through the
// module's own settings code and the platform's profile calls.
#include <gtest/gtest.h>
#include <windows.h>

#include "effect/profile.h"
#include "effect/settings.h"
#include "tests/integration/driver/driver_util.h"

namespace {

constexpr char kSection[] = "Screen Saver.Gyrel";
constexpr char kIni[] = "CONTROL.INI";

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        SetProfileSection(kSection);
        WritePrivateProfileStringA(kSection, nullptr, nullptr, kIni);  // drop the section
        g_spiralSettings = SpiralSettings{};
    }
    void TearDown() override { WritePrivateProfileStringA(kSection, nullptr, nullptr, kIni); }

    static std::string Stored(const char* key) {
        char text[64];
        GetPrivateProfileStringA(kSection, key, "<missing>", text, sizeof text, kIni);
        return text;
    }
};

TEST_F(SettingsFile, MissingSectionGivesDefaults) {
    LoadSpiralSettings();
    EXPECT_EQ(DialogValueOf(ROW_MAX_BK_COLOUR), 225);
    EXPECT_EQ(DialogValueOf(ROW_COL_CHANGE_PER), 5);
    EXPECT_EQ(DialogValueOf(ROW_DELTA_THETA), 94);
    EXPECT_EQ(g_spiralSettings.Gradient, 8);
    EXPECT_EQ(g_spiralSettings.Randomness, 0);
    EXPECT_EQ(g_spiralSettings.Resolution, 10);
    EXPECT_EQ(g_spiralSettings.ActiveConfig, 1);
}

TEST_F(SettingsFile, SaveWritesAllSevenKeysEvenWhenUnchanged) {
    WritePrivateProfileStringA(kSection, "DeltaTheta", "95", kIni);
    LoadSpiralSettings();
    SaveSpiralSettings();
    EXPECT_EQ(Stored("MaxBkColour"), "225");
    EXPECT_EQ(Stored("ColChangePer"), "5");
    EXPECT_EQ(Stored("DeltaTheta"), "95");
    EXPECT_EQ(Stored("Gradient"), "8");
    EXPECT_EQ(Stored("Randomness"), "0");
    EXPECT_EQ(Stored("Resolution"), "10");
    EXPECT_EQ(Stored("ActiveConfig"), "1");

    // The real file in the Windows directory holds the section.
    std::string file = driver::ReadWholeFile(driver::ControlIniPath());
    EXPECT_NE(file.find("[Screen Saver.Gyrel]"), std::string::npos) << file;
    EXPECT_NE(file.find("DeltaTheta=95"), std::string::npos) << file;
}

TEST_F(SettingsFile, OutOfRangeAndExtremeValuesAreUsedWithoutOverflow) {
    WritePrivateProfileStringA(kSection, "Resolution", "80", kIni);
    WritePrivateProfileStringA(kSection, "ColChangePer", "0", kIni);
    WritePrivateProfileStringA(kSection, "MaxBkColour", "2147483647", kIni);
    WritePrivateProfileStringA(kSection, "Gradient", "-2147483648", kIni);
    LoadSpiralSettings();
    EXPECT_EQ(g_spiralSettings.Resolution, 80);
    EXPECT_EQ(g_spiralSettings.ColChangePer, 0);
    EXPECT_EQ(g_spiralSettings.MaxBkColour, INT32_MAX);  // saturated, not wrapped
    EXPECT_EQ(g_spiralSettings.Gradient, INT32_MIN);

    SaveSpiralSettings();
    EXPECT_EQ(Stored("Resolution"), "80");
    EXPECT_EQ(Stored("ColChangePer"), "0");
    EXPECT_EQ(Stored("MaxBkColour"), "16777215");
    EXPECT_EQ(Stored("Gradient"), "-2147483648");
}

}  // namespace
