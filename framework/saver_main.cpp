#include "framework/saver_main.h"

#include "framework/host.h"
#include "framework/password.h"

namespace {

constexpr char kSectionPrefix[] = "Screen Saver.";

bool PlatformWindowExists(intptr_t window) {
    return IsWindow(reinterpret_cast<HWND>(window)) != FALSE;
}

}  // namespace

int SaverMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
              const char* saverName, WNDPROC saverWindowProc, WNDPROC previewWindowProc,
              DrawCallback drawCallback, ConfigureCallback configureCallback,
              InitialiseCallback initialiseCallback, DrawRateCallback drawRateCallback,
              WorkerThawCallback workerThawCallback) {
    SaverCallbacks& saver = g_saverCallbacks;
    saver.sectionName = std::string(kSectionPrefix) + saverName;
    saver.saverName = saver.sectionName.c_str() + (sizeof kSectionPrefix - 1);

    saver.saverWindowProc = saverWindowProc;
    saver.previewWindowProc = previewWindowProc;
    saver.drawCallback = drawCallback;
    saver.drawRateCallback = drawRateCallback;
    saver.workerThawCallback = workerThawCallback;
    saver.configureCallback = configureCallback;
    saver.instance = instance;
    saver.previousInstance = previousInstance;

    saver.arguments = SplitCommandLine(commandLine);

    // Settings are loaded and the generator seeded in every mode, before the
    // mode is known.
    if (initialiseCallback != nullptr) initialiseCallback();

    intptr_t parent = 0;
    SaverMode mode = ParseSaverMode(saver.arguments, PlatformWindowExists, &parent);
    saver.parentWindow = reinterpret_cast<HWND>(parent);

    switch (mode) {
        case SaverMode::Saver:
            return RunHost(HostKind::Saver);
        case SaverMode::Preview:
            return RunHost(HostKind::Preview);
        case SaverMode::Configure:
            if (saver.configureCallback != nullptr) saver.configureCallback();
            return 0;
        case SaverMode::ChangePassword:
            return RunChangePassword();
        case SaverMode::Unrecognised:
        default:
            return -1;
    }
}
