#include "framework/command_line.h"

#include <cstring>

#include "base/int_scan.h"

CommandArguments SplitCommandLine(const char* commandLine) {
    CommandArguments arguments;
    if (commandLine == nullptr || commandLine[0] == '\0') return arguments;

    const char* space = std::strchr(commandLine, ' ');
    if (space == nullptr) {
        arguments.count = 1;
        arguments.first = commandLine;
    } else {
        arguments.count = 2;
        arguments.first.assign(commandLine, space);
        arguments.second = space + 1;
    }
    return arguments;
}

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSwitchPrefix(char c) { return c == '-' || c == '/'; }

// The display settings of Windows XP and later start a saver's settings as
// "/c:<window>". Only that form of a longer switch is taken, as Configure.
// The window is written in decimal, as after "/p".
bool IsConfigureWithWindow(const std::string& argument) {
    return argument.size() >= 3 && IsSwitchPrefix(argument[0]) && LowerAscii(argument[1]) == 'c' &&
           argument[2] == ':';
}

}  // namespace

SaverMode ParseSaverMode(const CommandArguments& arguments, WindowExistsCheck windowExists,
                         intptr_t* parentWindow) {
    *parentWindow = 0;
    if (arguments.count == 0) return SaverMode::Configure;

    const std::string& option = arguments.first;
    if (IsConfigureWithWindow(option)) {
        // The sheet is made modal to the display panel's window; a number that
        // names no window leaves it as plain configure, with its own owner.
        int32_t number = 0;
        if (ScanInt32(option.c_str() + 3, ScanBase::Auto, &number) && windowExists(number)) {
            *parentWindow = number;
        }
        return SaverMode::Configure;
    }
    if (option.size() != 2 || !IsSwitchPrefix(option[0])) return SaverMode::Unrecognised;

    char letter = LowerAscii(option[1]);
    switch (letter) {
        case 's':
            return SaverMode::Saver;
        case 'c':
            return SaverMode::Configure;
        case 'a':
            if (arguments.count < 2) return SaverMode::ChangePassword;
            [[fallthrough]];
        case 'p': {
            if (arguments.count < 2) return SaverMode::Unrecognised;
            int32_t number = 0;
            if (!ScanInt32(arguments.second.c_str(), ScanBase::Auto, &number)) {
                return SaverMode::Unrecognised;
            }
            *parentWindow = number;
            if (!windowExists(*parentWindow)) return SaverMode::Unrecognised;
            return letter == 'a' ? SaverMode::ChangePassword : SaverMode::Preview;
        }
        default:
            return SaverMode::Unrecognised;
    }
}
