// The module's GUI entry point: the spiral effect and its settings sheet put
// together and handed to the framework.
#include <windows.h>

#include "config/options_sheet.h"
#include "effect/profile.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_window.h"
#include "framework/dpi_awareness.h"
#include "framework/saver_main.h"

namespace {

void LoadSettingsFrom(const char* sectionName) {
    SetProfileSection(sectionName);
    LoadSpiralSettings();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int) {
    DeclareDpiAwareness();  // before any window exists
    SaverDescription gyrel;
    gyrel.saverName = "Gyrel";
    gyrel.saverWindowProc = SpiralWindowProc;
    gyrel.previewWindowProc = SpiralWindowProc;
    gyrel.drawCallback = DrawSpiralInWindow;
    gyrel.drawRateCallback = SpiralDrawCallsPerSecond;
    gyrel.configureCallback = ShowOptionsSheet;
    gyrel.initialiseCallback = LoadSettingsFrom;
    return SaverMain(instance, previousInstance, commandLine, gyrel);
}
