// Loading and saving the settings through the profile.
#include <cstdio>
#include <ctime>

#include "effect/profile.h"
#include "effect/random.h"
#include "effect/settings.h"

namespace {

// The order in which the keys are read and written.
constexpr int kStoreOrder[kSettingsRows] = {
    ROW_MAX_BK_COLOUR, ROW_GRADIENT,      ROW_RESOLUTION,
    ROW_DELTA_THETA,   ROW_COL_CHANGE_PER, ROW_RANDOMNESS,
};

}  // namespace

void LoadSpiralSettings() {
    for (int row : kStoreOrder) {
        const SettingDefinition& definition = kSettingDefinitions[row];
        ApplyDialogValue(row, ProfileReadInt(definition.key, definition.defaultValue));
    }
    g_spiralSettings.ActiveConfig = ProfileReadInt(kActiveConfigKey, kActiveConfigDefault);
    // A negative budget means none, as 0 does.
    const int32_t budget = ProfileReadInt(kStepsPerSecondKey, kStepsPerSecondDefault);
    g_spiralSettings.StepsPerSecond = budget > 0 ? budget : 0;
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
}

void SaveSpiralSettings() {
    char text[12];  // "-2147483648" and its terminator
    for (int row : kStoreOrder) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(DialogValueOf(row)));
        ProfileWriteString(kSettingDefinitions[row].key, text);
    }
    std::snprintf(text, sizeof text, "%d", static_cast<int>(g_spiralSettings.ActiveConfig));
    ProfileWriteString(kActiveConfigKey, text);
}
