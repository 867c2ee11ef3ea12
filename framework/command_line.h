// Splitting the module's command line and deciding which mode to run.
#pragma once

#include <cstdint>
#include <string>

enum class SaverMode : int {
    Unrecognised = 0,
    Saver = 1,
    Configure = 2,
    ChangePassword = 3,
    Preview = 4,
};

// The command line after the program name, cut at its first space.
struct CommandArguments {
    int count = 0;       // 0, 1 or 2
    std::string first;   // the switch
    std::string second;  // everything after the first space; may be empty
};

// An empty line gives no arguments. Otherwise the line is cut at its first
// space character (code 32 only; tabs do not separate): the text before it is
// the first argument, the whole text after it the second, which may be empty
// or hold further spaces. Without a space there is only the first argument.
CommandArguments SplitCommandLine(const char* commandLine);

// Answers whether a number names an existing window. The module asks the
// platform; tests supply their own.
using WindowExistsCheck = bool (*)(intptr_t window);

// Decides the mode from the split command line. *parentWindow is set to 0
// first and receives the window number given after "p" or "a", or after
// "c:" when that number names an existing window.
SaverMode ParseSaverMode(const CommandArguments& arguments, WindowExistsCheck windowExists,
                         intptr_t* parentWindow);
