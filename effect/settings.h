// The spiral's settings: six numbers and one switch.
//
// Each number has a dialog value (shown on the Options page and stored in
// CONTROL.INI) and an internal value (what the effect uses). The conversions
// between the two never overflow: a value from the file can be any 32-bit
// integer, and a product that would leave the 32-bit range saturates.
#pragma once

#include <cstdint>

// Rows of the dialog table. A row index is also the parameter index of the
// effect window's set-parameter message.
enum SettingsRowIndex : int {
    ROW_MAX_BK_COLOUR = 0,
    ROW_COL_CHANGE_PER = 1,
    ROW_DELTA_THETA = 2,
    ROW_GRADIENT = 3,
    ROW_RANDOMNESS = 4,
    ROW_RESOLUTION = 5,
};
constexpr int kSettingsRows = 6;

// Key, default and dialog range of each row, declared once for the loader,
// the saver, the dialog and its "Default" button.
struct SettingDefinition {
    const char* key;  // in CONTROL.INI and the registry
    int32_t defaultValue;
    int32_t minimum;
    int32_t maximum;
};
extern const SettingDefinition kSettingDefinitions[kSettingsRows];

constexpr const char* kActiveConfigKey = "ActiveConfig";
constexpr int32_t kActiveConfigDefault = 1;

// How many spiral steps a second the draw worker may make. Today's machines
// would otherwise turn the spiral hundreds of thousands of times a second
// and keep a processor busy; 0 lifts the budget. Kept in the same section,
// but not on the Options page, and never written by it. The saver, the X11
// hack (its option and its settings dialog's slider) and the web page all
// keep to this one range, and a value outside it is taken as its nearest
// bound.
constexpr SettingDefinition kStepsPerSecondDefinition = {"StepsPerSecond", 30000, 0, 1000000};
constexpr int32_t kStepsPerSecondDefault = kStepsPerSecondDefinition.defaultValue;

// The internal values, one copy per process.
struct SpiralSettings {
    int32_t MaxBkColour;   // 1/128 intensity units: dialog value << 7
    int32_t ColChangePer;  // steps between colour changes: dialog value * 1000
    float DeltaTheta;      // radians per step
    int32_t Gradient;      // logical units of pull per step
    int32_t Randomness;    // logical units of jitter
    int32_t Resolution;    // logical block size
    int32_t ActiveConfig;  // 1: the configuration pages run their previews
    int32_t StepsPerSecond;  // the draw worker's budget; 0: none; never negative
};
extern SpiralSettings g_spiralSettings;

// The dialog's view: {maximum, minimum, current} per row, in dialog units.
struct SettingsRow {
    int32_t max;
    int32_t min;
    int32_t current;
};
extern SettingsRow SettingsTable[kSettingsRows];

// Dialog value in twentieths of a degree to radians, computed in extended
// precision with the ten-digit pi and stored as a 32-bit float.
float AngleFromDialog(int32_t dialogValue);
// And back, rounded to the nearest integer; every value 0..255 survives.
int32_t DialogFromAngle(float angle);

// Stores the internal value of one row (0..5) from a dialog value, in the
// given settings or the process's own. Other rows are ignored.
void ApplyDialogValue(SpiralSettings* settings, int row, int32_t dialogValue);
void ApplyDialogValue(int row, int32_t dialogValue);
// The dialog value of one row (0..5) from its internal value; 0 for others.
int32_t DialogValueOf(int row);

// Reads the seven keys and the step budget (defaults where missing),
// converts them, and seeds the random generator with the time in seconds.
// Once the registry holds the section, the seven come from there; the
// budget, which only a user sets by hand, from there or else CONTROL.INI.
void LoadSpiralSettings();
// Writes all seven keys as decimal dialog values to CONTROL.INI, and to the
// registry when the file refuses them or the registry already holds the
// section. False when the settings could be kept in neither place, so that
// a later load would not find them.
bool SaveSpiralSettings();
