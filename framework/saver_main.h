// The framework's way in: the record of the saver's callbacks and SaverMain.
//
// The framework is generic: it is handed a saver name and callbacks and knows
// nothing of what the saver draws.
#pragma once

#include <windows.h>

#include <string>

#include "framework/command_line.h"

// Draws a bounded amount in the given host window; called on that window's
// worker only. False when there is nothing to draw in any more: the worker
// then waits for the stop.
using DrawCallback = bool (*)(HWND window);
using ConfigureCallback = int (*)();
// Loads the saver's settings from its section ("Screen Saver." + name) and
// seeds its generator.
using InitialiseCallback = void (*)(const char* sectionName);
// How many draw calls a second the worker may make; 0 or less: back to back.
using DrawRateCallback = double (*)();

// What a saver hands the framework: its name and its callbacks. A null
// window procedure is replaced by DefWindowProcA, a null draw callback
// leaves the worker idle, a null rate draws back to back.
struct SaverDescription {
    const char* saverName = "";
    WNDPROC saverWindowProc = nullptr;
    WNDPROC previewWindowProc = nullptr;
    DrawCallback drawCallback = nullptr;
    DrawRateCallback drawRateCallback = nullptr;
    ConfigureCallback configureCallback = nullptr;
    InitialiseCallback initialiseCallback = nullptr;
};

// The run's record of the saver: its description and where it runs.
struct SaverCallbacks {
    HINSTANCE instance = nullptr;
    HINSTANCE previousInstance = nullptr;  // non-null: the window classes exist
    std::string sectionName;               // "Screen Saver." + saver name
    const char* saverName = "";            // the tail of sectionName
    WNDPROC saverWindowProc = nullptr;
    WNDPROC previewWindowProc = nullptr;
    DrawCallback drawCallback = nullptr;
    DrawRateCallback drawRateCallback = nullptr;
    ConfigureCallback configureCallback = nullptr;
    HWND parentWindow = nullptr;           // the window after "p" or "a"
};

// One record per module, filled by SetSaverCallbacks alone and read by the
// framework and the saver's own dialogs.
extern SaverCallbacks g_saverCallbacks;

// The module instance, recorded by the GUI entry point for window classes
// and resources.
extern HINSTANCE g_instance;

// The saver's settings section: "Screen Saver." + its name.
std::string SaverSectionName(const char* saverName);

// Fills g_saverCallbacks: the one place it is written. SaverMain calls it;
// so do programs that run the host themselves (tests, benchmarks).
void SetSaverCallbacks(const SaverDescription& saver, HINSTANCE instance,
                       HINSTANCE previousInstance, HWND parentWindow);

// Loads the settings, parses the command line and runs the mode. The result
// is the process exit code: -1 for an unrecognised command line.
int SaverMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
              const SaverDescription& saver);
