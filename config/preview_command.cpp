#include "config/preview_command.h"

std::string PreviewCommandLine(const std::string& modulePath, long long window) {
    std::string commandLine;
    if (modulePath.find_first_of(" \t") != std::string::npos) {
        commandLine = "\"" + modulePath + "\"";
    } else {
        commandLine = modulePath;
    }
    commandLine += " /p ";
    commandLine += std::to_string(window);
    return commandLine;
}
