#include "x11/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char kHackUsage[] =
    "usage: gyrel [options]\n"
    "\n"
    "The Gyrel spiral as an XScreenSaver hack: the picture on the window is\n"
    "dragged round and in towards a wandering centre.\n"
    "\n"
    "  --window              draw in a window of its own (the default)\n"
    "  --root                draw on the root window, or on the window named by\n"
    "                        $XSCREENSAVER_WINDOW when it is set\n"
    "  --window-id ID        draw in an existing window (decimal or 0x hex)\n"
    "  --display NAME        the X display (default $DISPLAY)\n"
    "  --delay MICROSECONDS  pause between frames (default 20000, 0..10000000)\n"
    "  --fps                 show frames and spiral steps a second\n"
    "  --max-bk-colour N     maximum colour intensity, 0..255 (default 225)\n"
    "  --col-change-per N    colour change period, thousands of steps, 1..50 (5)\n"
    "  --delta-theta N       angular velocity, 1/20 degree a step, 0..255 (94)\n"
    "  --gradient N          centripetal velocity, 0..20 (8)\n"
    "  --randomness N        0..5 (0)\n"
    "  --resolution N        block size, 0..50 (10)\n"
    "  --help                this text\n"
    "\n"
    "Options take one dash or two. A setting outside its range is replaced by\n"
    "the nearest bound.\n";

namespace {

// The Options page's key in lower case with a dash between words, as the
// collection spells its options.
constexpr const char* kSettingOptionNames[kSettingsRows] = {
    "max-bk-colour", "col-change-per", "delta-theta", "gradient", "randomness", "resolution",
};

// A whole argument as a decimal integer; a value beyond 64 bits saturates,
// as it is only ever clamped to a much smaller range afterwards.
bool ParseDecimal(const char* text, int64_t* value) {
    if (text == nullptr || *text == '\0') return false;
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text, &end, 10);
    if (*end != '\0') return false;
    *value = parsed;  // strtoll saturates on ERANGE
    return true;
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

const char* SettingOptionName(int row) {
    return (row >= 0 && row < kSettingsRows) ? kSettingOptionNames[row] : "";
}

bool ParseWindowId(const char* text, unsigned long* id) {
    if (text == nullptr) return false;
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    if (*digits == '\0' || std::strlen(digits) > 10) return false;
    uint64_t value = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') {
            digit = *p - '0';
        } else if (base == 16 && *p >= 'a' && *p <= 'f') {
            digit = *p - 'a' + 10;
        } else if (base == 16 && *p >= 'A' && *p <= 'F') {
            digit = *p - 'A' + 10;
        } else {
            return false;
        }
        value = value * base + digit;
    }
    if (value == 0 || value > UINT32_MAX) return false;
    *id = static_cast<unsigned long>(value);
    return true;
}

ParseOutcome ParseHackOptions(int argc, const char* const* argv, HackOptions* options,
                              std::string* problem) {
    for (int row = 0; row < kSettingsRows; ++row) {
        options->settings[row] = kSettingDefinitions[row].defaultValue;
    }
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            *problem = std::string("unexpected argument '") + arg + "'";
            return ParseOutcome::Error;
        }
        const std::string name = (arg[1] == '-') ? arg + 2 : arg + 1;
        // The value of an option that takes one; null when there is none.
        auto value = [&]() -> const char* { return (i + 1 < argc) ? argv[++i] : nullptr; };
        auto missing = [&](const char* what) {
            *problem = std::string(arg) + " needs " + what;
            return ParseOutcome::Error;
        };

        if (name == "help" || name == "h") return ParseOutcome::Help;
        if (name == "root") {
            options->target = TargetKind::Root;
        } else if (name == "window") {
            options->target = TargetKind::OwnWindow;
        } else if (name == "fps") {
            options->showFps = true;
        } else if (name == "window-id") {
            const char* text = value();
            if (!ParseWindowId(text, &options->windowId)) {
                return missing("a window id, decimal or 0x hexadecimal");
            }
            options->target = TargetKind::WindowId;
        } else if (name == "display") {
            const char* text = value();
            if (text == nullptr || *text == '\0') return missing("a display name");
            options->display = text;
        } else if (name == "delay") {
            int64_t delay;
            if (!ParseDecimal(value(), &delay)) return missing("microseconds, a whole number");
            options->delayMicroseconds = Clamp(delay, 0, kMaxDelayMicroseconds);
        } else {
            int row = 0;
            while (row < kSettingsRows && name != kSettingOptionNames[row]) ++row;
            if (row == kSettingsRows) {
                *problem = std::string("unknown option '") + arg + "'";
                return ParseOutcome::Error;
            }
            int64_t setting;
            if (!ParseDecimal(value(), &setting)) return missing("a whole number");
            const SettingDefinition& definition = kSettingDefinitions[row];
            options->settings[row] =
                static_cast<int32_t>(Clamp(setting, definition.minimum, definition.maximum));
        }
    }
    return ParseOutcome::Run;
}
