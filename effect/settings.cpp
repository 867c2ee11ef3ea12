#include "effect/settings.h"

#include <cmath>

#include "base/saturate.h"

const SettingDefinition kSettingDefinitions[kSettingsRows] = {
    {"MaxBkColour", 225, 0, 255},
    {"ColChangePer", 5, 1, 50},
    {"DeltaTheta", 94, 0, 255},
    {"Gradient", 8, 0, 20},
    {"Randomness", 0, 0, 5},
    {"Resolution", 10, 0, 50},
};

SpiralSettings g_spiralSettings;

namespace {

// A row of the dialog's view with the definition's range; the definitions
// above are made first, as they come first in this file.
SettingsRow DialogRow(int row) {
    return SettingsRow{kSettingDefinitions[row].maximum, kSettingDefinitions[row].minimum, 0};
}

}  // namespace

SettingsRow SettingsTable[kSettingsRows] = {
    DialogRow(0), DialogRow(1), DialogRow(2), DialogRow(3), DialogRow(4), DialogRow(5),
};

namespace {

constexpr double kPi = 3.141592654;  // the ten-digit value, in both directions
constexpr int kIntensityShift = 7;
constexpr int32_t kStepsPerPeriodUnit = 1000;


}  // namespace

float AngleFromDialog(int32_t dialogValue) {
    long double angle = static_cast<long double>(dialogValue) * 0.05L;
    angle = angle * static_cast<long double>(1.0 / 180.0);
    angle = angle * static_cast<long double>(kPi);
    return static_cast<float>(angle);
}

int32_t DialogFromAngle(float angle) {
    long double value = static_cast<long double>(angle) * 180.0L;
    value = value * 20.0L;
    value = value * static_cast<long double>(1.0 / kPi);
    if (value >= 2147483647.0L) return INT32_MAX;
    if (value <= -2147483648.0L) return INT32_MIN;
    return static_cast<int32_t>(std::lround(value));
}

void ApplyDialogValue(int row, int32_t dialogValue) {
    ApplyDialogValue(&g_spiralSettings, row, dialogValue);
}

void ApplyDialogValue(SpiralSettings* settings, int row, int32_t dialogValue) {
    SpiralSettings& s = *settings;
    switch (row) {
        case ROW_MAX_BK_COLOUR:
            s.MaxBkColour = ClampToInt32(int64_t{dialogValue} * (int64_t{1} << kIntensityShift));
            break;
        case ROW_COL_CHANGE_PER:
            s.ColChangePer = ClampToInt32(int64_t{dialogValue} * kStepsPerPeriodUnit);
            break;
        case ROW_DELTA_THETA:
            s.DeltaTheta = AngleFromDialog(dialogValue);
            break;
        case ROW_GRADIENT:
            s.Gradient = dialogValue;
            break;
        case ROW_RANDOMNESS:
            s.Randomness = dialogValue;
            break;
        case ROW_RESOLUTION:
            s.Resolution = dialogValue;
            break;
        default:
            break;
    }
}

int32_t DialogValueOf(int row) {
    const SpiralSettings& s = g_spiralSettings;
    switch (row) {
        case ROW_MAX_BK_COLOUR:
            return s.MaxBkColour >> kIntensityShift;  // arithmetic shift
        case ROW_COL_CHANGE_PER:
            return s.ColChangePer / kStepsPerPeriodUnit;
        case ROW_DELTA_THETA:
            return DialogFromAngle(s.DeltaTheta);
        case ROW_GRADIENT:
            return s.Gradient;
        case ROW_RANDOMNESS:
            return s.Randomness;
        case ROW_RESOLUTION:
            return s.Resolution;
        default:
            return 0;
    }
}
