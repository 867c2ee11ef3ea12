// Any command line splits at its first space and decides a mode that agrees
// with its switch, with its number and with the window check's answers.
#include <string>

#include "framework/command_line.h"
#include "base/int_scan.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// A scattering of window numbers, negative ones too, exists.
bool Exists(intptr_t window) { return window % 7 == 3 || window % 7 == -3; }

int g_asks;
intptr_t g_asked;

bool CountingExists(intptr_t window) {
    ++g_asks;
    g_asked = window;
    return Exists(window);
}

bool IsSwitch(const std::string& argument, char letter) {
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] == letter || argument[1] == letter - 'a' + 'A');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader input(data, size);
    const std::string line = input.RestAsText();

    const CommandArguments arguments = SplitCommandLine(line.c_str());
    const std::string& first = arguments.first;
    switch (arguments.count) {
        case 0:
            FUZZ_CHECK(line.empty());
            break;
        case 1:
            FUZZ_CHECK(first == line && line.find(' ') == std::string::npos);
            break;
        case 2:
            FUZZ_CHECK(first.find(' ') == std::string::npos && first + ' ' + arguments.second == line);
            break;
        default:
            FUZZ_CHECK(!"a count other than 0, 1 or 2");
    }

    g_asks = 0;
    intptr_t parent = -1;
    const SaverMode mode = ParseSaverMode(arguments, CountingExists, &parent);
    FUZZ_CHECK(g_asks <= 1);
    FUZZ_CHECK(parent == 0 || (g_asks == 1 && parent == g_asked));

    int32_t number = 0;
    const bool numbered = arguments.count == 2 && ScanInt32(arguments.second.c_str(), ScanBase::Auto, &number);
    const bool windowGiven = numbered && parent == number && Exists(parent);
    const bool configureWithWindow = first.size() >= 3 && IsSwitch(first.substr(0, 2), 'c') && first[2] == ':';
    int32_t panel = 0;
    const bool panelGiven = configureWithWindow && ScanInt32(first.c_str() + 3, ScanBase::Auto, &panel) &&
                            Exists(panel);
    switch (mode) {
        case SaverMode::Saver:
            FUZZ_CHECK(IsSwitch(first, 's'));
            break;
        case SaverMode::Preview:
            FUZZ_CHECK(IsSwitch(first, 'p') && windowGiven);
            break;
        case SaverMode::ChangePassword:
            FUZZ_CHECK(IsSwitch(first, 'a') && (arguments.count == 1 ? parent == 0 : windowGiven));
            break;
        case SaverMode::Configure:
            FUZZ_CHECK(arguments.count == 0 || IsSwitch(first, 'c') || configureWithWindow);
            FUZZ_CHECK(parent == (panelGiven ? panel : 0));
            break;
        case SaverMode::Unrecognised:
            FUZZ_CHECK(arguments.count != 0 && !IsSwitch(first, 's') && !IsSwitch(first, 'c') &&
                       !configureWithWindow && !(IsSwitch(first, 'a') && arguments.count == 1));
            FUZZ_CHECK(!(windowGiven && (IsSwitch(first, 'p') || IsSwitch(first, 'a'))));
            break;
        default:
            FUZZ_CHECK(!"a mode outside the enumeration");
    }
    return 0;
}
