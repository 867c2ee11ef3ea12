// The hack's command line, in the collection's conventions: one or two
// dashes, an option's value in the next argument.
#pragma once

#include <cstdint>
#include <string>

#include "effect/settings.h"

enum class TargetKind {
    OwnWindow,  // --window, the default
    Root,       // --root: the root, or XSCREENSAVER_WINDOW when set
    WindowId,   // --window-id ID
};

// The default delay is one batch of steps at the default speed: a shorter
// one would only show the same picture again.
constexpr int64_t kDefaultDelayMicroseconds = 33333;
constexpr int64_t kMaxDelayMicroseconds = 10000000;

struct HackOptions {
    TargetKind target = TargetKind::OwnWindow;
    unsigned long windowId = 0;  // for WindowId
    int64_t delayMicroseconds = kDefaultDelayMicroseconds;
    // Spiral steps a second, the Windows saver's StepsPerSecond, in its
    // range; 0 draws as many as fit between two frames.
    int64_t stepsPerSecond = kStepsPerSecondDefault;
    bool showFps = false;
    std::string display;  // empty: $DISPLAY
    // In the Options page's units, already brought within its ranges.
    int32_t settings[kSettingsRows];
};

enum class ParseOutcome {
    Run,
    Help,     // the usage text was asked for
    Version,  // the version was asked for
    Error,  // *problem says why
};

// Parses argv[1..argc-1]. Unknown options, missing or malformed values are
// errors; a well-formed setting outside its range is replaced by the nearest
// bound, and so are a delay outside 0 .. kMaxDelayMicroseconds and a speed
// outside kStepsPerSecondDefinition's range.
ParseOutcome ParseHackOptions(int argc, const char* const* argv, HackOptions* options,
                              std::string* problem);

// A window id as the collection writes them: decimal, or hexadecimal after
// 0x. False for anything else, for 0 and for ids beyond 32 bits.
bool ParseWindowId(const char* text, unsigned long* id);

// The option name of a setting: its CONTROL.INI key in lower case with a
// dash before each inner capital, e.g. "max-bk-colour" for MaxBkColour.
std::string SettingOptionName(const SettingDefinition& definition);

// The usage text; the settings' names, ranges and defaults come from the
// one table that the Windows saver uses too.
std::string HackUsage();

// "gyrel <version>", the project's version.
extern const char kHackVersion[];
