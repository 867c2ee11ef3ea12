#include "x11/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef GYREL_VERSION
#error "x11/CMakeLists.txt defines GYREL_VERSION, the project's version"
#endif
const char kHackVersion[] = "gyrel " GYREL_VERSION "\n";

namespace {

// What each setting means, for the usage text; names, ranges and defaults
// come from kSettingDefinitions.
constexpr const char* kSettingMeanings[kSettingsRows] = {
    "maximum colour intensity", "colour change period, thousands of steps",
    "angular velocity, 1/20 degree a step", "centripetal velocity", "randomness", "block size",
};

// Options and their meanings in two columns, as the collection prints them.
void AddUsageLine(std::string* text, const std::string& option, const std::string& meaning) {
    constexpr size_t kColumn = 24;
    std::string line = "  " + option;
    line += line.size() < kColumn ? std::string(kColumn - line.size(), ' ') : std::string(" ");
    *text += line + meaning + "\n";
}

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

}  // namespace

std::string SettingOptionName(const SettingDefinition& definition) {
    std::string name;
    for (const char* c = definition.key; *c != '\0'; ++c) {
        if (*c >= 'A' && *c <= 'Z') {
            if (!name.empty()) name += '-';
            name += static_cast<char>(*c - 'A' + 'a');
        } else {
            name += *c;
        }
    }
    return name;
}

std::string HackUsage() {
    std::string text =
        "usage: gyrel [options]\n"
        "\n"
        "The Gyrel spiral as an XScreenSaver hack: the picture on the window is\n"
        "dragged round and in towards a wandering centre.\n"
        "\n";
    AddUsageLine(&text, "--window", "draw in a window of its own (the default)");
    AddUsageLine(&text, "--root", "draw on the root window, or on the window named by");
    AddUsageLine(&text, "", "$XSCREENSAVER_WINDOW when it is set");
    AddUsageLine(&text, "--window-id ID", "draw in an existing window (decimal or 0x hex)");
    AddUsageLine(&text, "--display NAME", "the X display (default $DISPLAY)");
    AddUsageLine(&text, "--delay MICROSECONDS",
                 "pause between frames, 0.." + std::to_string(kMaxDelayMicroseconds) + " (" +
                     std::to_string(kDefaultDelayMicroseconds) + ")");
    AddUsageLine(&text, "--steps-per-second N",
                 "spiral steps a second, " + std::to_string(kStepsPerSecondDefinition.minimum) + ".." +
                     std::to_string(kStepsPerSecondDefinition.maximum) + " (" +
                     std::to_string(kStepsPerSecondDefinition.defaultValue) + "); 0: as many");
    AddUsageLine(&text, "", "as fit between two frames");
    AddUsageLine(&text, "--fps", "show frames and spiral steps a second");
    for (int row = 0; row < kSettingsRows; ++row) {
        const SettingDefinition& definition = kSettingDefinitions[row];
        AddUsageLine(&text, "--" + SettingOptionName(definition) + " N",
                     std::string(kSettingMeanings[row]) + ", " + std::to_string(definition.minimum) + ".." +
                         std::to_string(definition.maximum) + " (" + std::to_string(definition.defaultValue) +
                         ")");
    }
    AddUsageLine(&text, "--help", "this text");
    AddUsageLine(&text, "--version", "the version");
    text +=
        "\n"
        "Options take one dash or two. A number outside its range is replaced by\n"
        "the nearest bound.\n";
    return text;
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
        if (name == "version") return ParseOutcome::Version;
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
            options->delayMicroseconds = std::clamp<int64_t>(delay, 0, kMaxDelayMicroseconds);
        } else if (name == "steps-per-second") {
            int64_t steps;
            if (!ParseDecimal(value(), &steps)) return missing("a whole number of steps");
            options->stepsPerSecond = std::clamp<int64_t>(steps, kStepsPerSecondDefinition.minimum,
                                                            kStepsPerSecondDefinition.maximum);
        } else {
            int row = 0;
            while (row < kSettingsRows && name != SettingOptionName(kSettingDefinitions[row])) ++row;
            if (row == kSettingsRows) {
                *problem = std::string("unknown option '") + arg + "'";
                return ParseOutcome::Error;
            }
            int64_t setting;
            if (!ParseDecimal(value(), &setting)) return missing("a whole number");
            const SettingDefinition& definition = kSettingDefinitions[row];
            options->settings[row] =
                static_cast<int32_t>(std::clamp<int64_t>(setting, definition.minimum, definition.maximum));
        }
    }
    return ParseOutcome::Run;
}
