#include "framework/saver_main.h"

#include "framework/host.h"
#include "framework/password.h"

namespace {

bool PlatformWindowExists(intptr_t window) {
    return IsWindow(reinterpret_cast<HWND>(window)) != FALSE;
}

}  // namespace

int SaverMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
              const SaverDescription& description) {
    const CommandArguments arguments = SplitCommandLine(commandLine);
    // Settings are loaded and the generator seeded in every mode, before the
    // mode is known.
    if (description.initialiseCallback != nullptr) {
        description.initialiseCallback(SaverSectionName(description.saverName).c_str());
    }

    intptr_t parent = 0;
    const SaverMode mode = ParseSaverMode(arguments, PlatformWindowExists, &parent);
    SetSaverCallbacks(description, instance, previousInstance, reinterpret_cast<HWND>(parent));

    switch (mode) {
        case SaverMode::Saver:
            return RunHost(HostKind::Saver);
        case SaverMode::Preview:
            return RunHost(HostKind::Preview);
        case SaverMode::Configure:
            if (description.configureCallback != nullptr) {
                description.configureCallback(g_saverCallbacks.saverName, instance,
                                              g_saverCallbacks.parentWindow);
            }
            return 0;
        case SaverMode::ChangePassword:
            return RunChangePassword();
        case SaverMode::Unrecognised:
        default:
            return -1;
    }
}
