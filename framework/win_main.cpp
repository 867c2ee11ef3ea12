// The module's GUI entry point: hands the spiral saver to the framework.
#include <windows.h>

#include "config/options_sheet.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_window.h"
#include "framework/dpi_awareness.h"
#include "framework/saver_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int) {
    DeclareDpiAwareness();  // before any window exists
    g_instance = instance;
    return SaverMain(instance, previousInstance, commandLine, "Gyrel",
                     /*saverWindowProc=*/SpiralWindowProc, /*previewWindowProc=*/SpiralWindowProc,
                     /*drawCallback=*/DrawSpiralInWindow, ShowOptionsSheet, LoadSpiralSettings,
                     /*drawRateCallback=*/SpiralDrawCallsPerSecond,
                     /*workerThawCallback=*/ThawSpiralWorker);
}
