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

constexpr int64_t kDefaultDelayMicroseconds = 20000;
constexpr int64_t kMaxDelayMicroseconds = 10000000;

struct HackOptions {
    TargetKind target = TargetKind::OwnWindow;
    unsigned long windowId = 0;  // for WindowId
    int64_t delayMicroseconds = kDefaultDelayMicroseconds;
    bool showFps = false;
    std::string display;  // empty: $DISPLAY
    // In the Options page's units, already brought within its ranges.
    int32_t settings[kSettingsRows];
};

enum class ParseOutcome {
    Run,
    Help,   // the usage text was asked for
    Error,  // *problem says why
};

// Parses argv[1..argc-1]. Unknown options, missing or malformed values are
// errors; a well-formed setting outside its range is replaced by the nearest
// bound, and so is a delay outside 0 .. kMaxDelayMicroseconds.
ParseOutcome ParseHackOptions(int argc, const char* const* argv, HackOptions* options,
                              std::string* problem);

// A window id as the collection writes them: decimal, or hexadecimal after
// 0x. False for anything else, for 0 and for ids beyond 32 bits.
bool ParseWindowId(const char* text, unsigned long* id);

// The option name of a settings row, e.g. "max-bk-colour".
const char* SettingOptionName(int row);

extern const char kHackUsage[];
