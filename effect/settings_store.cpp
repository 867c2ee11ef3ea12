// Loading and saving the settings through the profile, in CONTROL.INI or
// the registry.
#include <algorithm>
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

// Writes all seven keys, even after one has failed; false when any failed.
bool WriteSettings(ProfilePlace place) {
    bool written = true;
    char text[12];  // "-2147483648" and its terminator
    for (int row : kStoreOrder) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(DialogValueOf(row)));
        written = ProfileWriteString(place, kSettingDefinitions[row].key, text) && written;
    }
    std::snprintf(text, sizeof text, "%d", static_cast<int>(g_spiralSettings.ActiveConfig));
    return ProfileWriteString(place, kActiveConfigKey, text) && written;
}

}  // namespace

void LoadSpiralSettings() {
    // Saves go to the registry only when CONTROL.INI refuses them, and keep
    // going there from then on: once it holds the section, its copy is the
    // newer one.
    const ProfilePlace place =
        ProfileInRegistry() ? ProfilePlace::Registry : ProfilePlace::ControlIni;
    for (int row : kStoreOrder) {
        const SettingDefinition& definition = kSettingDefinitions[row];
        ApplyDialogValue(row, ProfileReadInt(place, definition.key, definition.defaultValue));
    }
    g_spiralSettings.ActiveConfig = ProfileReadInt(place, kActiveConfigKey, kActiveConfigDefault);
    // The budget is set by hand and never saved, so it may still be in
    // CONTROL.INI after the section has moved; the registry's own wins.
    const SettingDefinition& pace = kStepsPerSecondDefinition;
    int32_t budget = ProfileReadInt(ProfilePlace::ControlIni, pace.key, pace.defaultValue);
    if (place == ProfilePlace::Registry) budget = ProfileReadInt(ProfilePlace::Registry, pace.key, budget);
    // A negative budget means none, as 0 does; one past the range, its top.
    g_spiralSettings.StepsPerSecond = std::clamp(budget, pace.minimum, pace.maximum);
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
}

bool SaveSpiralSettings() {
    bool saved = WriteSettings(ProfilePlace::ControlIni);
    // A registry copy that missed this save would be read in its place.
    if (!saved || ProfileInRegistry()) saved = WriteSettings(ProfilePlace::Registry);
    return saved;
}
